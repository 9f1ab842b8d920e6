// Time from the last byte of a caller-number packet written to the line of
// a sending station to the first complete paint of the popup at a receiving
// desk: both real teloria2 programs on this machine (the station offscreen,
// the desk on a real X server, its popup closed between calls), with a
// mosquitto broker between them; 200 calls. Needs an X server:  xvfb-run -a
// app_share_popup_latency_bench
#include "BenchResult.h"
#include "LogTail.h"
#include "PopupLine.h"
#include "ProgramProcess.h"
#include "base/CodePage.h"
#include "fakes/MosquittoBroker.h"

#include <cstdlib>
#include <filesystem>

namespace {

constexpr int kCalls = 200;

std::string Folder(const std::string& home, const char* name, const std::string& ini) {
  const std::string folder = home + "/" + name;
  std::filesystem::create_directories(folder + "/run");
  std::filesystem::permissions(folder + "/run", std::filesystem::perms::owner_all);
  std::ofstream(folder + "/teloria2.ini", std::ios::binary) << Utf8ToCp932(ini);
  return folder;
}

bool Logged(TLogTail& log, const char* text) {
  for (const std::string& line : log.NewLines())
    if (line.find(text) != std::string::npos)
      return true;
  return false;
}

} // namespace

int main() {
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "needs an X server, e.g. xvfb-run -a %s\n",
                 "app_share_popup_latency_bench");
    return 2;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "teloria2-share-XXXXXX").string();
  const std::string home = ::mkdtemp(pattern.data());
  TMosquittoBroker broker(home + "/broker");
  if (!broker.Start())
    return 1;
  const std::string share =
      "[Settings.Share]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(broker.Port()) + "\r\n";
  const std::string station = Folder(home, "station",
                                     "[Settings]\r\nMirelKT5Port=" + home + "/station/adapter\r\n" +
                                         share + "Mode=1\r\nStation=station\r\n");
  const std::string desk =
      Folder(home, "desk",
             "[Settings]\r\nIncomingDisplayMode=1\r\n" + share + "Mode=2\r\nStation=desk\r\n");
  TAdapterLine line(station + "/adapter");
  ::unsetenv("QT_QPA_PLATFORM");
  TProgramProcess sender(TELORIA2_PROGRAM, {"-arun"},
                         {"QT_QPA_PLATFORM=offscreen", "TELORIA2_HOME=" + station,
                          "XDG_RUNTIME_DIR=" + station + "/run"},
                         station + "/output.txt");
  TProgramProcess receiver(TELORIA2_PROGRAM, {"-arun"},
                           {"TELORIA2_HOME=" + desk, "XDG_RUNTIME_DIR=" + desk + "/run",
                            "TELORIA2_PAINT_STAMP=" + desk + "/paint.txt"},
                           desk + "/output.txt");
  TLogTail senderLog(station + "/logs");
  TLogTail deskLog(desk + "/logs");
  if (!line.ServeUntil([&] { return Logged(senderLog, "MirelUSB/RX2に接続しました。"); }, 30000) ||
      !line.ServeUntil([&] { return Logged(deskLog, "MQTTブローカーに接続しました。"); }, 30000)) {
    std::fprintf(stderr, "the programs did not connect (see %s)\n", home.c_str());
    return 1;
  }

  TStampFile stamps(desk + "/paint.txt");
  const std::vector<double> millis = PlayCalls(line, stamps, kCalls);
  if (millis.empty())
    return 1;
  receiver.Terminate();
  sender.Terminate();
  receiver.WaitExit();
  sender.WaitExit();
  broker.Stop();
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);

  const std::string measure = "share: caller number on a station's line to a desk's popup painted";
  PrintResult(measure + ", median", FigureText(Percentile(millis, 50), "ms"));
  PrintUnder(measure + ", p99", Percentile(millis, 99), 50, "ms");
  return 0;
}

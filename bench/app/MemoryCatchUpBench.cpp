// Time from the session's opening to the last of 30 calls the adapter kept in
// its memory recorded in the history, through the real teloria2 (offscreen).
// The benchmark plays the adapter on a pseudo-terminal with the simulator's
// timing at 9600 baud: each memory record (42 bytes, about 44 ms on the
// wire) answered 20 ms after its command plus its time on the wire. Both
// times are the program's own log stamps.
#include "BenchResult.h"
#include "LogTail.h"
#include "PopupProgram.h"

#include <filesystem>
#include <fstream>
#include <string>

int main() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "teloria2-catchup-XXXXXX").string();
  const std::string home = ::mkdtemp(pattern.data());
  std::filesystem::create_directories(home + "/run");
  std::filesystem::permissions(home + "/run", std::filesystem::perms::owner_all);
  TAdapterLine line(home + "/adapter", kSimulatorReplyMs);
  StoreMemoryCalls(line.Responder());
  std::ofstream(home + "/teloria2.ini", std::ios::binary)
      << Utf8ToCp932("[Settings]\r\nMirelKT5Port=" + home + "/adapter\r\n");
  TProgramProcess program(
      TELORIA2_PROGRAM, {"-arun"},
      {"TELORIA2_HOME=" + home, "XDG_RUNTIME_DIR=" + home + "/run", "QT_QPA_PLATFORM=offscreen"},
      home + "/output.txt");
  TLogTail log(home + "/logs");
  double opened = 0;
  double recorded = 0;
  const auto caughtUp = [&] {
    for (const std::string& text : log.NewLines()) {
      if (text.find("MirelUSB/RX2に接続しました。") != std::string::npos)
        opened = LogLineTime(text);
      if (text.find("本体メモリの着信を確認しました。記録=30, 追加=30") != std::string::npos)
        recorded = LogLineTime(text);
    }
    return recorded != 0;
  };
  if (!line.ServeUntil(caughtUp, 60000) || opened == 0) {
    std::fprintf(stderr, "no catch-up of 30 calls (see %s)\n", home.c_str());
    return 1;
  }
  program.Terminate();
  program.WaitExit();
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  PrintUnder("catch-up of 30 stored calls, session open to the last recorded",
             (recorded - opened) * 86400.0, 4, "s", 2);
  return 0;
}

// Time from a call event entering the controller, as the adapter's session
// raises it, to the call message arriving at a subscriber of a mosquitto
// broker on the same machine: the ring, and the number (registered in a
// database at its limits first). 200 calls.
#include "BenchController.h"
#include "BenchDatabase.h"
#include "BenchHome.h"
#include "BenchResult.h"
#include "core/CallShare.h"
#include "core/MirelKT5CommSim.h"
#include "fakes/MosquittoBroker.h"
#include "fakes/MqttTestClient.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

IKT5GroupEventArgs Event(uint8_t kind, int32_t group, const std::string& number) {
  auto ev = std::make_shared<TKT5GroupEventArgs>();
  ev->PacketKind = kind;
  ev->GroupNo = group;
  ev->KyokuseiHantenReceived = true;
  ev->NumberReceived = kind != 1;
  ev->PhoneNumber = number;
  return ev;
}

// Raises the event and runs the controller until the subscriber has one
// message more; returns the microseconds in between.
double Latency(TMainForm& form, TMqttTestClient& desk, const IKT5GroupEventArgs& ev) {
  const size_t before = desk.Received().size();
  const auto start = TClock::now();
  form.OnSessionGroup(form.CommSim(), ev);
  std::vector<TMqttTestClient::TReceived> received;
  while ((received = desk.Received()).size() == before)
    QCoreApplication::sendPostedEvents(nullptr, 0);
  return std::chrono::duration<double, std::micro>(received[before].At - start).count();
}

void Print(const std::string& what, std::vector<double> micros) {
  std::sort(micros.begin(), micros.end());
  const std::string measure = "share: " + what + " event to a subscriber's message";
  PrintResult(measure + ", median", FigureText(micros[micros.size() / 2] / 1000, "ms", 2));
  PrintUnder(measure + ", p99", micros[micros.size() * 99 / 100] / 1000, 20, "ms", 2);
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::filesystem::path home = PrepareBenchHome("teloria2-bench-share");
  TMosquittoBroker broker((home / "broker").string());
  if (!broker.Start())
    return 1;
  TMqttTestClient desk(broker.Port(), {"bench/+/call"});
  if (!desk.WaitConnected())
    return 1;
  AppSettings.MirelKT5Port = "TEST";
  AppSettings.ExecCmdEnabled = false;
  AppSettings.LogLevel = 0;
  AppSettings.Share.Mode = 1;
  AppSettings.Share.Host = "127.0.0.1";
  AppSettings.Share.Port = broker.Port();
  AppSettings.Share.Topic = "bench";

  TTimingWindows windows;
  TQuietTray tray;
  TMainForm form(QuietDeps(windows, tray));
  if (!QTest::qWaitFor([&] { return form.Ready() && form.Share().BrokerConnected(); }, 10000))
    return 1;
  FillToTheLimits(*CtiDb);

  std::vector<double> ring, number;
  for (int call = 0; call < 200; ++call) {
    const std::string caller = BenchNumber(call * 17 % 12000); // most known, some new
    ring.push_back(Latency(form, desk, Event(1, call, "")));
    number.push_back(Latency(form, desk, Event(2, call, caller)));
    Latency(form, desk, Event(5, call, caller));
    Latency(form, desk, Event(7, call, caller));
  }
  Print("ring", ring);
  Print("number", number);
  return 0;
}

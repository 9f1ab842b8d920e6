#include <benchmark/benchmark.h>

#include "common2/MirelKT5CommBase.h"
#include "common2/MirelKT5CommCompo.h"
#include "fakes/FakeSerialDevice.h"
#include "fakes/PortlessSession.h"

namespace {

// Bytes per second through the receive step: reads from the (fake) driver,
// framing and dispatch of full 1024-byte reads of mixed packets.
void BM_ReceiveStep(benchmark::State& state) {
  auto line = TFakeSerialLine::Create();
  line->HoldEvents(true);
  TMirelKT5CommCompo compo(nullptr, line->Factory());
  compo.SetAsyncHandling(true);
  int64_t packets = 0;
  compo.OnPhoneDetect = [&](TMirelKT5CommCompo&, const TPhoneNumberPacket&) { ++packets; };
  compo.OnKyokuseiHanten = [&](TMirelKT5CommCompo&, const TKyokuseiHantenPacket&) { ++packets; };
  compo.OnOnOffHookEtc = [&](TMirelKT5CommCompo&, const TOnOffHookEtcPacket&) { ++packets; };
  compo.Open();
  std::string call = FakePackets::KyokuseiHanten() +
                     FakePackets::PhoneNumber("030520708", "0312345678") +
                     FakePackets::Hook("030520708", "OF") + FakePackets::Hook("030520710", "ON");
  std::string block;
  while (block.size() + call.size() <= 1024)
    block += call;
  for (auto _ : state) {
    line->Receive(block);
    compo.ReceiveStep(true);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(packets), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceiveStep);

// Packets per second through HandlePacket, a whole answered call at a time.
void BM_HandlePacket(benchmark::State& state) {
  TPortlessSession comm;
  int64_t events = 0;
  comm.OnGroup = [&](TMirelKT5CommBase&, const IKT5GroupEventArgs&) { ++events; };
  std::vector<TKT5MirelKT5ReceivePacket> call(4);
  for (uint8_t kind = 1; kind <= 4; ++kind)
    call[kind - 1].PacketKind = kind;
  call[1].PhoneNumber = "0312345678";
  call[1].NumberKind = 1;
  for (auto _ : state) {
    for (const auto& packet : call)
      comm.Feed(packet);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(call.size()));
  benchmark::DoNotOptimize(events);
}
BENCHMARK(BM_HandlePacket);

} // namespace

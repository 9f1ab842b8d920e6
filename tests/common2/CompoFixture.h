#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/PostTarget.h"
#include "common2/MirelKT5CommCompo.h"
#include "fakes/FakeSerialDevice.h"

// A component on a fake line whose handlers record what reaches the owner.
class CompoFixture : public ::testing::Test {
protected:
  using Ms = std::chrono::milliseconds;

  void SetUp() override {
    compo = std::make_unique<TMirelKT5CommCompo>(post, line->Factory());
    compo->SetPortName("ttyUSB0");
    compo->OnPhoneDetect = [this](TMirelKT5CommCompo&, const TPhoneNumberPacket& p) {
      Record("phone", std::string(p.begin(), p.end()));
    };
    compo->OnKyokuseiHanten = [this](TMirelKT5CommCompo&, const TKyokuseiHantenPacket& p) {
      Record("reversal", std::string(p.begin(), p.end()));
    };
    compo->OnOnOffHookEtc = [this](TMirelKT5CommCompo&, const TOnOffHookEtcPacket& p) {
      Record("hook", std::string(p.begin(), p.end()));
    };
    compo->OnTrace = [this](TMirelKT5CommCompo&, const std::string& msg, uint32_t code) {
      std::lock_guard lock(mutex);
      traces.push_back(code == 0 ? msg : msg + "#" + std::to_string(code));
    };
    compo->OnError = [this](TMirelKT5CommCompo&, const std::string& msg) {
      std::lock_guard lock(mutex);
      errors.push_back(msg);
    };
  }

  void TearDown() override { compo.reset(); }

  void Record(const std::string& kind, const std::string& bytes) {
    std::lock_guard lock(mutex);
    events.push_back(kind + ":" + bytes);
    handlerThreads.push_back(std::this_thread::get_id());
  }

  bool PumpUntil(const std::function<bool()>& done, Ms timeout = Ms(5000)) {
    return post->PumpUntil(
        [&] {
          std::lock_guard lock(mutex);
          return done();
        },
        timeout);
  }
  bool PumpUntilEvents(size_t n) {
    return PumpUntil([&] { return events.size() >= n; });
  }
  bool PumpUntilTrace(const std::string& text) {
    return PumpUntil([&] { return HasTraceLocked(text); });
  }
  bool HasTraceLocked(const std::string& text) const {
    return std::find(traces.begin(), traces.end(), text) != traces.end();
  }
  // Polls a condition that does not need the owner's queue.
  static bool WaitFor(const std::function<bool()>& done, Ms timeout = Ms(5000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      std::this_thread::sleep_for(Ms(1));
    }
    return true;
  }

  std::shared_ptr<TQueuedPostTarget> post = std::make_shared<TQueuedPostTarget>();
  TFakeSerialLinePtr line = TFakeSerialLine::Create();
  std::unique_ptr<TMirelKT5CommCompo> compo;
  std::mutex mutex;
  std::vector<std::string> events;
  std::vector<std::thread::id> handlerThreads;
  std::vector<std::string> traces;
  std::vector<std::string> errors;
};

inline const std::string NumberPacket = FakePackets::PhoneNumber("030520708", "0312345678");
inline const std::string ReversalPacket = FakePackets::KyokuseiHanten();

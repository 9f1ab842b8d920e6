// The MQTT client on libmosquitto. Its thread owns the connection: a fresh
// library handle for every attempt, so that what the library may still hold
// of a lost connection never goes out twice; our outbox alone decides what
// is sent again. Other threads only queue messages and, while a connection
// is up, hand them to the library, which wakes the thread to write them.
#include "share/MqttClient.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <thread>

namespace {

// A stop request is noticed at least this often while the thread waits on
// the network; a publish or a disconnect wakes it at once.
constexpr int kLoopTimeoutMs = 1000;
// How long a stop waits for the broker to take what was given.
constexpr auto kFlushTime = std::chrono::milliseconds(1000);
// How long the owner waits for the thread to end; a thread still caught in a
// name lookup or a connect is left to finish on its own.
constexpr auto kStopWait = std::chrono::milliseconds(3000);

// `err`: errno right after the call that returned `rc`.
std::string ErrorText(int rc, int err) {
  if (rc == MOSQ_ERR_ERRNO)
    return std::strerror(err);
  return mosquitto_strerror(rc);
}

// What the library refuses for the message itself, however often it is
// offered: its topic or payload.
bool Unsendable(int rc) {
  return rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_MALFORMED_UTF8 || rc == MOSQ_ERR_PAYLOAD_SIZE ||
         rc == MOSQ_ERR_OVERSIZE_PACKET || rc == MOSQ_ERR_QOS_NOT_SUPPORTED;
}

template <typename Fn> void Guarded(Fn fn) noexcept {
  try {
    fn();
  } catch (...) {
  }
}

// Everything the network thread works with; shared with the thread, so
// that a thread left to finish on its own never outlives what it uses.
class TMosquittoWorker {
public:
  TMosquittoWorker(TMqttOptions options, TPostTargetPtr owner, TMqttEvents events)
      : options_(std::move(options)), owner_(std::move(owner)), events_(std::move(events)),
        outbox_(options_.QueueLimit) {}

  void Publish(TMqttMessage message) {
    size_t dropped = 0;
    {
      std::lock_guard lock(mutex_);
      if (outbox_.Add(std::move(message)) != 0)
        dropped = ++dropped_;
      if (connected_)
        SendWaiting();
    }
    if (dropped != 0 && events_.OnDropped)
      Post([fn = events_.OnDropped, dropped] { fn(dropped); });
  }

  // Nothing is reported from now on; a connection that is up is closed once
  // the broker has taken what it was given (a station's last "offline"
  // among it), or after kFlushTime.
  void RequestStop() {
    {
      std::lock_guard lock(postMutex_);
      silenced_ = true;
    }
    std::unique_lock lock(mutex_);
    stop_ = true;
    wake_.notify_all();
    wake_.wait_for(lock, kFlushTime, [this] { return !connected_ || outbox_.Empty(); });
    if (mosq_ != nullptr)
      mosquitto_disconnect(mosq_);
  }

  bool WaitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, timeout, [this] { return finished_; });
  }

  // The network thread.
  void Run() {
    try {
      KeepConnected();
    } catch (...) {
      // Nothing may leave the thread; the owner sees the connection as down.
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    wake_.notify_all();
  }

private:
  void KeepConnected() {
    int retryMs = options_.FirstRetryMs;
    while (!stop_) {
      TMqttStatus status;
      const bool accepted = Attempt(status);
      if (stop_)
        break;
      Report(status);
      retryMs = accepted ? options_.FirstRetryMs : retryMs;
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(retryMs), [this] { return stop_.load(); });
      retryMs = std::min(retryMs * 2, options_.MaxRetryMs);
    }
  }

  // One connection from its start to its end; true when the broker accepted it.
  bool Attempt(TMqttStatus& status) {
    mosquitto* mosq = NewHandle(status.Detail);
    if (mosq == nullptr)
      return false;
    bool accepted = false;
    try {
      const int rc = mosquitto_connect_async(mosq, options_.Host.c_str(), options_.Port,
                                             options_.KeepAliveSeconds);
      if (rc == MOSQ_ERR_SUCCESS)
        accepted = Serve(mosq, status);
      else
        status.Detail = ErrorText(rc, errno);
    } catch (const std::exception& e) {
      // This connection ends; the next attempt starts afresh.
      status.Detail = e.what();
    }
    if (!accepted && status.State != TMqttState::Refused)
      status.State = TMqttState::Unreachable;
    {
      std::lock_guard lock(mutex_);
      mosq_ = nullptr;
      connected_ = false;
      outbox_.ConnectionLost();
      wake_.notify_all();
    }
    mosquitto_destroy(mosq);
    return accepted;
  }

  mosquitto* NewHandle(std::string& detail) {
    mosquitto* mosq = mosquitto_new(options_.ClientId.empty() ? nullptr : options_.ClientId.c_str(),
                                    options_.CleanSession, this);
    if (mosq == nullptr) {
      detail = ErrorText(MOSQ_ERR_ERRNO, errno);
      return nullptr;
    }
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Small messages in a row (an answer after a change) go out at once,
    // not after the peer's delayed acknowledgement of the one before.
    mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_threaded_set(mosq, true);
    // Nothing may unwind through the library, which holds its locks while
    // it calls these: a failure loses what the callback was told, and an
    // unacknowledged message goes again on the next connection.
    mosquitto_connect_callback_set(mosq, [](mosquitto*, void* self, int rc) {
      Guarded([&] {
        static_cast<TMosquittoWorker*>(self)->Noted([rc](TNoted& n) { n.Connack = rc; });
      });
    });
    mosquitto_publish_callback_set(mosq, [](mosquitto*, void* self, int mid) {
      Guarded([&] {
        static_cast<TMosquittoWorker*>(self)->Noted([mid](TNoted& n) { n.Acks.push_back(mid); });
      });
    });
    mosquitto_message_callback_set(mosq, [](mosquitto*, void* self, const mosquitto_message* m) {
      Guarded([&] { static_cast<TMosquittoWorker*>(self)->Received(*m); });
    });
    int rc = MOSQ_ERR_SUCCESS;
    if (!options_.User.empty())
      rc = mosquitto_username_pw_set(mosq, options_.User.c_str(),
                                     options_.Password.empty() ? nullptr
                                                               : options_.Password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !options_.CaFile.empty())
      rc = mosquitto_tls_set(mosq, options_.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc == MOSQ_ERR_SUCCESS && options_.Will)
      rc = mosquitto_will_set(mosq, options_.Will->Topic.c_str(),
                              static_cast<int>(options_.Will->Payload.size()),
                              options_.Will->Payload.data(), 1, options_.Will->Retain);
    if (rc != MOSQ_ERR_SUCCESS) {
      detail = ErrorText(rc, errno);
      mosquitto_destroy(mosq);
      return nullptr;
    }
    return mosq;
  }

  // Runs the connection until it ends or a stop is asked for.
  bool Serve(mosquitto* mosq, TMqttStatus& status) {
    {
      std::lock_guard lock(notedMutex_);
      noted_ = {};
    }
    {
      std::lock_guard lock(mutex_);
      mosq_ = mosq;
    }
    bool accepted = false;
    auto flushUntil = std::chrono::steady_clock::time_point::max();
    while (true) {
      const int rc = mosquitto_loop(mosq, kLoopTimeoutMs, 1);
      const int err = errno;
      if (!TakeNoted(mosq, accepted, status) || rc != MOSQ_ERR_SUCCESS) {
        if (status.Detail.empty())
          status.Detail = ErrorText(rc, err);
        break;
      }
      // Stopping: a connection that is up ends with the disconnect that
      // follows the flush; this is only in case it never comes.
      if (stop_ && (!accepted || std::chrono::steady_clock::now() > flushUntil))
        break;
      if (stop_ && flushUntil == std::chrono::steady_clock::time_point::max())
        flushUntil = std::chrono::steady_clock::now() + 2 * kFlushTime;
    }
    if (accepted)
      status.State = TMqttState::Lost;
    return accepted;
  }

  // What the library's callbacks noted during one loop; false when the
  // broker refused the connection.
  bool TakeNoted(mosquitto* mosq, bool& accepted, TMqttStatus& status) {
    TNoted noted;
    {
      std::lock_guard lock(notedMutex_);
      std::swap(noted, noted_);
    }
    if (noted.Connack > 0) {
      status = {TMqttState::Refused, noted.Connack, mosquitto_connack_string(noted.Connack)};
      return false;
    }
    std::lock_guard lock(mutex_);
    for (const int mid : noted.Acks)
      outbox_.Acknowledged(mid);
    if (outbox_.Empty())
      wake_.notify_all();
    if (noted.Connack == 0 && !accepted) {
      accepted = connected_ = true;
      for (const std::string& topic : options_.Subscriptions)
        mosquitto_subscribe(mosq, nullptr, topic.c_str(), 1);
      SendWaiting();
      Report({TMqttState::Connected, 0, {}});
    }
    return true;
  }

  // Under mutex_, while connected. A message the library refuses for good
  // is dropped, never holding up those behind it.
  void SendWaiting() {
    while (const TMqttMessage* next = outbox_.Next()) {
      int mid = 0;
      const int rc = mosquitto_publish(mosq_, &mid, next->Topic.c_str(),
                                       static_cast<int>(next->Payload.size()), next->Payload.data(),
                                       1, next->Retain);
      if (rc == MOSQ_ERR_SUCCESS)
        outbox_.MarkSent(mid);
      else if (Unsendable(rc))
        Refused(outbox_.DropNext());
      else
        return;
    }
  }

  void Refused(TMqttMessage message) {
    if (events_.OnRefused)
      Post([fn = events_.OnRefused, message = std::move(message)] { fn(message); });
  }

  struct TNoted {
    int Connack = -1; // -1: no answer yet
    std::vector<int> Acks;
  };

  // The library's callbacks run inside mosquitto_loop on this thread; they
  // only note what happened, under a lock of their own.
  template <typename Fn> void Noted(Fn fn) {
    std::lock_guard lock(notedMutex_);
    fn(noted_);
  }

  template <typename Fn> void Post(Fn fn) {
    std::lock_guard lock(postMutex_);
    if (!silenced_)
      owner_->Post(std::move(fn));
  }

  void Received(const mosquitto_message& m) {
    if (!events_.OnMessage || m.topic == nullptr)
      return;
    const size_t size = m.payload != nullptr && m.payloadlen > 0 ? m.payloadlen : 0;
    if (!received_->Admit(size, options_)) {
      ReceiveDropped();
      return;
    }
    TMqttMessage message{m.topic, {}, m.retain};
    message.Payload.assign(static_cast<const char*>(m.payload), size);
    Post([fn = events_.OnMessage, message = std::move(message), queue = received_, size] {
      queue->Taken(size);
      fn(message);
    });
  }

  void ReceiveDropped() {
    ++received_->Dropped;
    if (events_.OnReceiveDropped && !received_->ReportWaiting.exchange(true))
      Post([fn = events_.OnReceiveDropped, queue = received_] {
        queue->ReportWaiting = false;
        fn(queue->Dropped);
      });
  }

  void Report(const TMqttStatus& status) {
    if (events_.OnStatus)
      Post([fn = events_.OnStatus, status] { fn(status); });
  }

  const TMqttOptions options_;
  const TPostTargetPtr owner_;
  const TMqttEvents events_;
  std::mutex postMutex_;
  bool silenced_ = false;
  std::atomic<bool> stop_{false};
  bool finished_ = false;
  // Guards the handle, the connection flag and the outbox.
  std::mutex mutex_;
  std::condition_variable wake_;
  mosquitto* mosq_ = nullptr;
  bool connected_ = false;
  TMqttOutbox outbox_;
  size_t dropped_ = 0;
  std::mutex notedMutex_;
  TNoted noted_;
  // Received messages posted to the owner and not yet taken: counted up here,
  // down by the owner's thread; shared with what is posted.
  struct TReceiveQueue {
    std::atomic<size_t> Messages{0};
    std::atomic<size_t> Bytes{0};
    std::atomic<size_t> Dropped{0};
    std::atomic<bool> ReportWaiting{false};

    bool Admit(size_t size, const TMqttOptions& options) {
      if (Messages >= options.ReceiveLimit || Bytes + size > options.ReceiveBytesLimit)
        return false;
      ++Messages;
      Bytes += size;
      return true;
    }
    void Taken(size_t size) {
      --Messages;
      Bytes -= size;
    }
  };
  const std::shared_ptr<TReceiveQueue> received_ = std::make_shared<TReceiveQueue>();
};

class TMosquittoClient final : public IMqttClient {
public:
  TMosquittoClient(TMqttOptions options, TPostTargetPtr owner, TMqttEvents events)
      : worker_(std::make_shared<TMosquittoWorker>(std::move(options), std::move(owner),
                                                   std::move(events))) {
    thread_ = std::thread([worker = worker_] { worker->Run(); });
  }

  ~TMosquittoClient() override {
    worker_->RequestStop();
    if (worker_->WaitFinished(kStopWait))
      thread_.join();
    else
      thread_.detach();
  }

  void Publish(TMqttMessage message) override { worker_->Publish(std::move(message)); }

private:
  std::shared_ptr<TMosquittoWorker> worker_;
  std::thread thread_;
};

} // namespace

std::unique_ptr<IMqttClient> NewMqttClient(const TMqttOptions& options, TPostTargetPtr owner,
                                           TMqttEvents events) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { mosquitto_lib_init(); });
  return std::make_unique<TMosquittoClient>(options, std::move(owner), std::move(events));
}

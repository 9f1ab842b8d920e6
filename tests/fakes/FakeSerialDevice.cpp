#include "fakes/FakeSerialDevice.h"

#include <algorithm>
#include <cerrno>

class TFakeSerialDevice final : public ISerialDevice {
public:
  explicit TFakeSerialDevice(std::shared_ptr<TFakeSerialLine> line) : line_(std::move(line)) {
    std::lock_guard lock(line_->mutex_);
    seenWakes_ = line_->wakes_;
  }

  int Configure(const TDcbRecord&) override {
    return Locked([](auto& l) { return l.configureError_; });
  }

  int Purge() override {
    return Locked([](TFakeSerialLine& l) {
      ++l.purgeCount_;
      l.input_.clear();
      l.withholding_ = false;
      return 0;
    });
  }

  int WaitEvent() override {
    std::unique_lock lock(line_->mutex_);
    line_->waiting_ = true;
    ++line_->waitCount_;
    while (true) {
      line_->MoveDueLocked();
      if (line_->wakes_ != seenWakes_) {
        seenWakes_ = line_->wakes_;
        line_->waiting_ = false;
        return ECANCELED;
      }
      if (line_->hungUp_) {
        line_->waiting_ = false;
        return EIO;
      }
      if (line_->InputVisibleLocked() && !line_->held_) {
        line_->waiting_ = false;
        return 0;
      }
      if (line_->delayed_.empty()) {
        line_->changed_.wait(lock);
      } else {
        const auto due = std::min_element(line_->delayed_.begin(), line_->delayed_.end())->first;
        line_->changed_.wait_until(lock, due);
      }
    }
  }

  void Wake() override {
    {
      std::lock_guard lock(line_->mutex_);
      ++line_->wakes_;
    }
    line_->changed_.notify_all();
  }

  int InQueue(int& count) override {
    return Locked([&count](TFakeSerialLine& l) {
      l.MoveDueLocked();
      count = l.queueError_ != 0 ? 0 : static_cast<int>(l.input_.size());
      return l.queueError_;
    });
  }

  int OutQueue(int& count) override {
    return Locked([&count](TFakeSerialLine& l) {
      count = l.queueError_ != 0 ? 0 : static_cast<int>(l.stalledBytes_);
      return l.queueError_;
    });
  }

  int Cts(bool& on) override {
    return Locked([&on](TFakeSerialLine& l) {
      on = l.cts_;
      return l.hungUp_ ? EIO : 0;
    });
  }

  int TakeLineErrors(uint32_t& flags) override {
    flags = 0;
    return 0;
  }

  int Read(uint8_t* data, size_t count, size_t& done) override {
    return Locked([&](TFakeSerialLine& l) {
      done = 0;
      if (l.hungUp_)
        return EIO;
      l.MoveDueLocked();
      if (l.withholding_)
        return 0;
      size_t limit = std::min(count, l.input_.size());
      if (l.shortRead_ != 0) {
        limit = std::min(limit, l.shortRead_);
        l.shortRead_ = 0;
        l.withholding_ = true;
      }
      std::copy_n(l.input_.begin(), limit, data);
      l.input_.erase(l.input_.begin(), l.input_.begin() + static_cast<std::ptrdiff_t>(limit));
      done = limit;
      return 0;
    });
  }

  int Write(const uint8_t* data, size_t count, size_t& done) override {
    TFakeSerialLine::TWriteHook hook;
    TFakeSerialLine::TBytes written(data, data + count);
    {
      std::lock_guard lock(line_->mutex_);
      done = 0;
      if (line_->hungUp_)
        return EIO;
      line_->writes_.push_back(written);
      if (line_->stalled_)
        line_->stalledBytes_ += count;
      hook = line_->writeHook_;
      done = count;
    }
    if (hook)
      hook(*line_, written);
    return 0;
  }

  int WaitReady(bool forWrite, int) override {
    return Locked([forWrite](TFakeSerialLine& l) {
      if (l.hungUp_)
        return EIO;
      l.MoveDueLocked();
      if (forWrite)
        return 0;
      return l.InputVisibleLocked() ? 0 : ETIMEDOUT;
    });
  }

  bool IsPresent() override {
    return Locked([](TFakeSerialLine& l) { return l.hungUp_ ? 0 : 1; }) == 1;
  }

  int Close() override {
    return Locked([](TFakeSerialLine& l) {
      l.deviceOpen_ = false;
      return 0;
    });
  }

private:
  template <typename F> int Locked(F f) {
    std::lock_guard lock(line_->mutex_);
    return f(*line_);
  }

  std::shared_ptr<TFakeSerialLine> line_;
  uint64_t seenWakes_ = 0;
};

TSerialDeviceFactory TFakeSerialLine::Factory() {
  return [self = shared_from_this()](const std::string& path, int& error) -> TSerialDevicePtr {
    {
      std::lock_guard lock(self->mutex_);
      error = self->openError_;
      if (error != 0)
        return nullptr;
      self->openedPath_ = path;
      ++self->openCount_;
      self->deviceOpen_ = true;
    }
    return std::make_unique<TFakeSerialDevice>(self);
  };
}

void TFakeSerialLine::MoveDueLocked() {
  const auto now = std::chrono::steady_clock::now();
  auto due = std::stable_partition(delayed_.begin(), delayed_.end(),
                                   [now](const auto& item) { return item.first > now; });
  for (auto it = due; it != delayed_.end(); ++it) {
    input_.insert(input_.end(), it->second.begin(), it->second.end());
    withholding_ = false;
  }
  delayed_.erase(due, delayed_.end());
}

bool TFakeSerialLine::InputVisibleLocked() const {
  return !input_.empty() && !withholding_;
}

void TFakeSerialLine::Receive(std::span<const uint8_t> bytes) {
  {
    std::lock_guard lock(mutex_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    withholding_ = false;
  }
  changed_.notify_all();
}

void TFakeSerialLine::Receive(std::string_view bytes) {
  Receive(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

void TFakeSerialLine::ReceiveAfter(std::chrono::milliseconds delay, std::string_view bytes) {
  {
    std::lock_guard lock(mutex_);
    delayed_.emplace_back(std::chrono::steady_clock::now() + delay,
                          TBytes(bytes.begin(), bytes.end()));
  }
  changed_.notify_all();
}

template <typename T>
static void SetLocked(std::mutex& m, std::condition_variable& cv, T& field, T value) {
  {
    std::lock_guard lock(m);
    field = value;
  }
  cv.notify_all();
}

void TFakeSerialLine::SetCts(bool on) {
  SetLocked(mutex_, changed_, cts_, on);
}
void TFakeSerialLine::SetWriteHook(TWriteHook hook) {
  SetLocked(mutex_, changed_, writeHook_, std::move(hook));
}
void TFakeSerialLine::FailOpen(int error) {
  SetLocked(mutex_, changed_, openError_, error);
}
void TFakeSerialLine::FailConfigure(int error) {
  SetLocked(mutex_, changed_, configureError_, error);
}
void TFakeSerialLine::FailQueueCounts(int error) {
  SetLocked(mutex_, changed_, queueError_, error);
}
void TFakeSerialLine::ShortRead(size_t count) {
  SetLocked(mutex_, changed_, shortRead_, count);
}
void TFakeSerialLine::HangUp() {
  SetLocked(mutex_, changed_, hungUp_, true);
}
void TFakeSerialLine::HoldEvents(bool held) {
  SetLocked(mutex_, changed_, held_, held);
}

void TFakeSerialLine::StallWrites(bool stalled) {
  std::lock_guard lock(mutex_);
  stalled_ = stalled;
  if (!stalled)
    stalledBytes_ = 0;
}

TFakeSerialLine::TBytes TFakeSerialLine::Written() const {
  std::lock_guard lock(mutex_);
  TBytes all;
  for (const auto& w : writes_)
    all.insert(all.end(), w.begin(), w.end());
  return all;
}

std::vector<TFakeSerialLine::TBytes> TFakeSerialLine::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::string TFakeSerialLine::OpenedPath() const {
  std::lock_guard lock(mutex_);
  return openedPath_;
}

int TFakeSerialLine::OpenCount() const {
  std::lock_guard lock(mutex_);
  return openCount_;
}

int TFakeSerialLine::PurgeCount() const {
  std::lock_guard lock(mutex_);
  return purgeCount_;
}

bool TFakeSerialLine::DeviceOpen() const {
  std::lock_guard lock(mutex_);
  return deviceOpen_;
}

bool TFakeSerialLine::Waiting() const {
  std::lock_guard lock(mutex_);
  return waiting_;
}

int TFakeSerialLine::WaitCount() const {
  std::lock_guard lock(mutex_);
  return waitCount_;
}

size_t TFakeSerialLine::InQueueBytes() const {
  std::lock_guard lock(mutex_);
  return input_.size();
}

namespace FakePackets {

namespace {
std::string Padded(std::string_view text, size_t width) {
  std::string field(text.substr(0, width));
  field.resize(width, ' ');
  return field;
}
} // namespace

std::string PhoneNumber(std::string_view dateTime, std::string_view number) {
  return "\x02" + std::string(dateTime) + Padded(number, 20) + "\x03";
}

std::string KyokuseiHanten() {
  return std::string("\x02"
                     "00"
                     "\x03",
                     4);
}

std::string Hook(std::string_view dateTime, std::string_view letters) {
  return "\x02" + std::string(dateTime) + std::string(letters) + "\x03";
}

std::string MemoryRecord(std::string_view incoming, std::string_view number, std::string_view event,
                         std::string_view letters) {
  return "\x02" + std::string(incoming) + Padded(number, 20) + std::string(event) +
         std::string(letters) + "\x03";
}

} // namespace FakePackets

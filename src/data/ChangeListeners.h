#pragma once

#include <functional>
#include <map>
#include <utility>
#include <vector>

// A listener's registration, from Listen to its destruction.
class TListening {
public:
  TListening() = default;
  explicit TListening(std::function<void()> stop) : stop_(std::move(stop)) {}
  ~TListening() {
    if (stop_)
      stop_();
  }
  TListening(TListening&& other) noexcept : stop_(std::exchange(other.stop_, nullptr)) {}
  TListening& operator=(TListening&& other) noexcept {
    if (this != &other) {
      if (stop_)
        stop_();
      stop_ = std::exchange(other.stop_, nullptr);
    }
    return *this;
  }
  TListening(const TListening&) = delete;
  TListening& operator=(const TListening&) = delete;

private:
  std::function<void()> stop_;
};

// Those told of every change of one kind of stored data, in the order they
// registered. A listener must not throw: the change is stored already.
template <typename TChange> class TChangeListeners {
public:
  using TListener = std::function<void(const TChange&)>;

  [[nodiscard]] TListening Listen(TListener listener) {
    const int id = nextId_++;
    listeners_.emplace(id, std::move(listener));
    return TListening([this, id] { listeners_.erase(id); });
  }

  void Notify(const TChange& change) const {
    // Copied first: a listener may register or leave while it is told.
    std::vector<TListener> current;
    for (const auto& [id, listener] : listeners_)
      current.push_back(listener);
    for (const TListener& listener : current)
      listener(change);
  }

private:
  std::map<int, TListener> listeners_;
  int nextId_ = 0;
};

#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>

struct TMqttMessage {
  std::string Topic;
  std::string Payload;
  bool Retain = false;
};

// The messages on their way to the broker: those waiting for a connection,
// and those handed to it but not yet acknowledged, which go back to the
// front of the line, in their order, when the connection is lost. At most
// `limit` in all: beyond it the oldest waiting message is dropped.
class TMqttOutbox {
public:
  explicit TMqttOutbox(size_t limit) : limit_(limit) {}

  // Returns how many messages were dropped to make room (0 or 1).
  size_t Add(TMqttMessage message);
  // The oldest waiting message, or null.
  const TMqttMessage* Next() const { return waiting_.empty() ? nullptr : &waiting_.front(); }
  // Next() was handed to the connection under this message id.
  void MarkSent(int mid);
  // Next() can never be sent: it goes.
  TMqttMessage DropNext();
  // Nothing waits and the broker has taken everything handed over.
  bool Empty() const { return waiting_.empty() && unacknowledged_.empty(); }
  void Acknowledged(int mid);
  void ConnectionLost();
  size_t Waiting() const { return waiting_.size(); }
  size_t Unacknowledged() const { return unacknowledged_.size(); }

private:
  size_t limit_;
  std::deque<TMqttMessage> waiting_;
  std::deque<std::pair<int, TMqttMessage>> unacknowledged_;
};

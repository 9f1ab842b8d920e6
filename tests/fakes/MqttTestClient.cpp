#include "fakes/MqttTestClient.h"

#include <algorithm>
#include <mosquitto.h>

TMqttTestClient::TMqttTestClient(int port, std::vector<std::string> subscriptions,
                                 const std::string& clientId, const std::string& user,
                                 const std::string& password)
    : subscriptions_(std::move(subscriptions)) {
  mosquitto_lib_init();
  mosq_ = mosquitto_new(clientId.empty() ? nullptr : clientId.c_str(), clientId.empty(), this);
  mosquitto_connect_callback_set(mosq_, OnConnect);
  mosquitto_subscribe_callback_set(mosq_, OnSubscribe);
  mosquitto_publish_callback_set(mosq_, OnPublish);
  mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
    auto* client = static_cast<TMqttTestClient*>(self);
    TReceived r{m->topic, {}, m->retain, std::chrono::steady_clock::now()};
    if (m->payload != nullptr)
      r.Payload.assign(static_cast<const char*>(m->payload), static_cast<size_t>(m->payloadlen));
    std::lock_guard lock(client->mutex_);
    client->received_.push_back(std::move(r));
    client->changed_.notify_all();
  });
  if (!user.empty())
    mosquitto_username_pw_set(mosq_, user.c_str(), password.c_str());
  mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
  mosquitto_connect_async(mosq_, "127.0.0.1", port, 30);
  mosquitto_loop_start(mosq_);
}

TMqttTestClient::~TMqttTestClient() {
  mosquitto_disconnect(mosq_);
  mosquitto_loop_stop(mosq_, false);
  mosquitto_destroy(mosq_);
}

void TMqttTestClient::OnConnect(mosquitto* mosq, void* self, int rc) {
  auto* client = static_cast<TMqttTestClient*>(self);
  if (rc != 0)
    return;
  for (const std::string& topic : client->subscriptions_)
    mosquitto_subscribe(mosq, nullptr, topic.c_str(), 1);
  if (client->subscriptions_.empty()) {
    std::lock_guard lock(client->mutex_);
    ++client->subscribed_;
    client->changed_.notify_all();
  }
}

void TMqttTestClient::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
  auto* client = static_cast<TMqttTestClient*>(self);
  std::lock_guard lock(client->mutex_);
  ++client->subscribed_;
  client->changed_.notify_all();
}

void TMqttTestClient::OnPublish(mosquitto*, void* self, int mid) {
  auto* client = static_cast<TMqttTestClient*>(self);
  std::lock_guard lock(client->mutex_);
  client->acknowledged_.push_back(mid);
  client->changed_.notify_all();
}

bool TMqttTestClient::WaitConnected(int timeoutMs) {
  std::unique_lock lock(mutex_);
  const size_t wanted = std::max<size_t>(subscriptions_.size(), 1);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return static_cast<size_t>(subscribed_) >= wanted; });
}

bool TMqttTestClient::Publish(const std::string& topic, const std::string& payload, bool retain) {
  int mid = 0;
  if (mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                        payload.data(), 1, retain) != MOSQ_ERR_SUCCESS)
    return false;
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(10), [&] {
    return std::find(acknowledged_.begin(), acknowledged_.end(), mid) != acknowledged_.end();
  });
}

std::vector<TMqttTestClient::TReceived> TMqttTestClient::Received() {
  std::lock_guard lock(mutex_);
  return received_;
}

bool TMqttTestClient::WaitUntil(const std::function<bool(const std::vector<TReceived>&)>& done,
                                int timeoutMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return done(received_); });
}

std::string TMqttTestClient::Last(const std::string& topic) {
  std::lock_guard lock(mutex_);
  for (auto it = received_.rbegin(); it != received_.rend(); ++it)
    if (it->Topic == topic)
      return it->Payload;
  return "<none>";
}

#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

// A plain MQTT client on libmosquitto for tests and benchmarks: it keeps
// everything that arrives on its subscriptions (QoS 1, subscribed again on
// every connection), publishes with QoS 1 and reconnects by itself.
class TMqttTestClient {
public:
  struct TReceived {
    std::string Topic;
    std::string Payload;
    bool Retain = false;
    std::chrono::steady_clock::time_point At;
  };

  // An empty client id with a clean session; a fixed one keeps its session.
  TMqttTestClient(int port, std::vector<std::string> subscriptions,
                  const std::string& clientId = "", const std::string& user = "",
                  const std::string& password = "");
  ~TMqttTestClient();
  TMqttTestClient(const TMqttTestClient&) = delete;
  TMqttTestClient& operator=(const TMqttTestClient&) = delete;

  // Waits until the broker accepted the connection and the subscriptions.
  bool WaitConnected(int timeoutMs = 10000);
  // Waits for the broker's acknowledgement.
  bool Publish(const std::string& topic, const std::string& payload, bool retain = false);
  std::vector<TReceived> Received();
  // Waits until `done` holds for what has arrived.
  bool WaitUntil(const std::function<bool(const std::vector<TReceived>&)>& done,
                 int timeoutMs = 15000);
  // The last payload that arrived on `topic`, or "<none>".
  std::string Last(const std::string& topic);

private:
  static void OnConnect(mosquitto*, void* self, int rc);
  static void OnSubscribe(mosquitto*, void* self, int mid, int count, const int* granted);
  static void OnPublish(mosquitto*, void* self, int mid);

  mosquitto* mosq_ = nullptr;
  std::vector<std::string> subscriptions_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int subscribed_ = 0;
  std::vector<int> acknowledged_;
  std::vector<TReceived> received_;
};

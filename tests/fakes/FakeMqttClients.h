#pragma once

#include "share/MqttClient.h"

#include <memory>
#include <vector>

// Stands in for the MQTT clients the controller makes: keeps their options
// and events, so a test plays the broker's part, and what they published.
class TFakeMqttClients {
public:
  class TClient final : public IMqttClient {
  public:
    explicit TClient(TFakeMqttClients& owner) : owner_(owner) { ++owner_.Live; }
    ~TClient() override { --owner_.Live; }
    void Publish(TMqttMessage message) override { owner_.Published.push_back(std::move(message)); }

  private:
    TFakeMqttClients& owner_;
  };

  TMqttClientFactory Factory() {
    return [this](const TMqttOptions& options, TPostTargetPtr, TMqttEvents events) {
      Options.push_back(options);
      Events = std::move(events);
      return std::make_unique<TClient>(*this);
    };
  }

  // The broker's answer to the client made last.
  void Status(TMqttState state, int code = 0) { Events.OnStatus({state, code, "test"}); }
  // A message from the broker to the client made last.
  void Deliver(const std::string& topic, const std::string& payload, bool retain = false) {
    Events.OnMessage({topic, payload, retain});
  }
  // The messages published on `topic`, oldest first.
  std::vector<std::string> On(const std::string& topic) const {
    std::vector<std::string> payloads;
    for (const TMqttMessage& m : Published)
      if (m.Topic == topic)
        payloads.push_back(m.Payload);
    return payloads;
  }

  std::vector<TMqttOptions> Options; // of every client made, in order
  TMqttEvents Events;                // of the client made last
  std::vector<TMqttMessage> Published;
  int Live = 0;
};

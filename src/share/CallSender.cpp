#include "share/CallSender.h"

#include "share/ShareTopics.h"

#include <fmt/format.h>
#include <random>

namespace {

std::string NewRunId() {
  std::random_device random;
  return fmt::format("{:08x}", random());
}

} // namespace

TCallSender::TCallSender(IMqttClient& client, std::string baseTopic, std::string station,
                         bool homeAssistant)
    : client_(client), base_(std::move(baseTopic)), station_(std::move(station)),
      homeAssistant_(homeAssistant), runId_(NewRunId()) {}

void TCallSender::Send(TCallMessage message) {
  message.Id = fmt::format("{}-{}-{}", station_, runId_, ++sequence_);
  message.Station = station_;
  client_.Publish({CallTopic(base_), EncodeCallMessage(message), false});
  if (homeAssistant_)
    for (TMqttMessage& state : HubStateMessages(base_, message))
      client_.Publish(std::move(state));
}

void TCallSender::Announce(bool adapterConnected) {
  Status(adapterConnected);
  for (TMqttMessage& discovery : DiscoveryMessages(base_, station_, homeAssistant_))
    client_.Publish(std::move(discovery));
}

void TCallSender::Status(bool adapterConnected) {
  client_.Publish(StatusMessage(base_, station_, true, adapterConnected));
}

void TCallSender::Offline() {
  client_.Publish(StatusMessage(base_, station_, false, false));
}

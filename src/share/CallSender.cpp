#include "share/CallSender.h"

#include "base/Clock.h"
#include "settings/Logging.h"
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
  message.Date = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now());
  client_.Publish({CallTopic(base_, station_), EncodeCallMessage(message), false});
  if (Rings(message.Kind) != ringing_) {
    ringing_ = !ringing_;
    PublishStatus(true);
  }
  for (TMqttMessage& state : HubStateMessages(base_, message))
    client_.Publish(std::move(state));
}

void TCallSender::Announce(bool adapterConnected) {
  adapterConnected_ = adapterConnected;
  ringing_ = false;
  PublishStatus(true);
  client_.Publish(NotRingingMessage(base_, station_));
  for (TMqttMessage& discovery : DiscoveryMessages(base_, station_, homeAssistant_))
    client_.Publish(std::move(discovery));
}

void TCallSender::Status(bool adapterConnected) {
  adapterConnected_ = adapterConnected;
  PublishStatus(true);
}

void TCallSender::Offline() {
  PublishStatus(false);
}

void TCallSender::RemoveDiscovery() {
  for (TMqttMessage& discovery : DiscoveryMessages(base_, station_, false))
    client_.Publish(std::move(discovery));
}

void TCallSender::PublishStatus(bool online) {
  client_.Publish(StatusMessage(base_, station_, online, adapterConnected_, ringing_));
}

std::optional<TShareRequest> TCallSender::RequestOf(const TMqttMessage& message) {
  if (message.Topic != RequestTopic(base_, station_) || message.Retain)
    return std::nullopt;
  try {
    TShareRequest request = DecodeShareRequest(message.Payload);
    if (!RequestAllowed(requestLimit_, request))
      return std::nullopt;
    return request;
  } catch (const ECallMessageError& e) {
    LogFmt(llWarning, "共有の依頼を読み取れません。Topic=[%s] [詳細] %s", message.Topic,
           e.Message());
    return std::nullopt;
  }
}

void TCallSender::Answer(const TShareRequest& request, QJsonArray items, bool more) {
  const TShareResponse response{request.Id, station_, request.What, std::move(items), more};
  client_.Publish(
      {ResponseTopic(base_, station_, request.Desk), EncodeShareResponse(response), false});
}

#include "share/CallSender.h"

#include "base/Clock.h"
#include "settings/Logging.h"
#include "share/ShareTopics.h"

#include <fmt/format.h>

TCallSender::TCallSender(IMqttClient& client, std::string baseTopic, const TStationStatus& identity,
                         bool homeAssistant)
    : client_(client), base_(std::move(baseTopic)), station_(identity.Station),
      homeAssistant_(homeAssistant), instance_(identity.Instance), runId_(identity.Run) {}

void TCallSender::Publish(TMqttMessage message) {
  if (!refused_)
    client_.Publish(std::move(message));
}

void TCallSender::Send(TCallMessage message) {
  message.Id = fmt::format("{}-{}-{}", station_, runId_, ++sequence_);
  message.Station = station_;
  message.Run = runId_;
  message.Date = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now());
  Publish({CallTopic(base_, station_), EncodeCallMessage(message), false});
  if (Rings(message.Kind) != ringing_) {
    ringing_ = !ringing_;
    PublishStatus(true);
  }
  for (TMqttMessage& state : HubStateMessages(base_, message))
    Publish(std::move(state));
}

void TCallSender::Announce(bool adapterConnected) {
  adapterConnected_ = adapterConnected;
  ringing_ = false;
  ownSeen_ = cameSecond_ = false;
  PublishStatus(true);
  Publish(NotRingingMessage(base_, station_));
  for (TMqttMessage& discovery : DiscoveryMessages(base_, station_, homeAssistant_))
    Publish(std::move(discovery));
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
    Publish(std::move(discovery));
}

TStationStatus TCallSender::Identity() const {
  return {station_, true, adapterConnected_, ringing_, instance_, runId_};
}

void TCallSender::PublishStatus(bool online) {
  TStationStatus status = Identity();
  status.Online = online;
  Publish(StatusMessage(base_, status));
}

// The broker hands the retained status over before this run's own comes
// back. Another PC's online status then may be stale (its will lost with
// the broker's restart); a PC that is there answers this run's status with
// its own, which settles it: the one that came second sends nothing more.
TCallSender::TNameUse TCallSender::TakeOwnStatus(const TMqttMessage& message) {
  if (message.Topic != StatusTopic(base_, station_))
    return TNameUse::Own;
  TStationStatus status;
  try {
    status = DecodeStationStatus(message.Payload);
  } catch (const ECallMessageError&) {
    return TNameUse::Own;
  }
  if (status.Instance.empty() || status.Instance == instance_) {
    ownSeen_ = ownSeen_ || status.Run == runId_;
    return TNameUse::Own;
  }
  if (refused_ || (!status.Online && !ownSeen_))
    return TNameUse::Own;
  if (status.Online && !ownSeen_) {
    cameSecond_ = true;
    return TNameUse::Own;
  }
  if (status.Online && cameSecond_) {
    refused_ = true;
    return TNameUse::Refused;
  }
  // The retained status is this PC's again.
  PublishStatus(true);
  return status.Online ? TNameUse::Another : TNameUse::Own;
}

std::optional<TShareRequest> TCallSender::RequestOf(const TMqttMessage& message) {
  const TShareTopic topic = ParseShareTopic(base_, message.Topic);
  if (topic.Kind != TShareTopic::TKind::Request || topic.Station != station_ || message.Retain ||
      refused_)
    return std::nullopt;
  try {
    TShareRequest request = DecodeShareRequestFrom(topic.Desk, message.Payload);
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
  const TShareResponse response{request.Id, station_,     request.What,  std::move(items),
                                more,       request.Desk, std::string(), request.Deflate};
  Publish({AnswerTopic(base_, station_, request.Desk), EncodeShareResponse(response), false});
}

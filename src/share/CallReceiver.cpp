#include "share/CallReceiver.h"

#include "base/Text.h"
#include "settings/Logging.h"
#include "share/ShareTopics.h"

TCallReceiver::TCallReceiver(std::string baseTopic, std::string desk, const std::string& stations)
    : base_(std::move(baseTopic)), desk_(std::move(desk)) {
  for (const std::string& station : SplitString(stations, ','))
    if (!Trim(station).empty())
      stations_.insert(Trim(station));
}

TDeskInput TCallReceiver::Take(const TMqttMessage& message) {
  using TKind = TShareTopic::TKind;
  const TShareTopic topic = ParseShareTopic(base_, message.Topic);
  const bool ours = topic.Kind == TKind::Call || topic.Kind == TKind::Status ||
                    (topic.Kind == TKind::Response && topic.Desk == desk_);
  if (!ours || !Allowed(topic.Station, message.Topic))
    return {};
  if (topic.Kind == TKind::Status)
    return TakeStatus(message, topic.Station);
  if (topic.Kind == TKind::Response)
    return TakeResponse(message, topic.Station);
  if (message.Retain) {
    LogFmt(llWarning, "保持された着信情報は受け付けません。Topic=[%s]", message.Topic);
    return {};
  }
  return TakeCall(message, topic.Station);
}

TDeskInput TCallReceiver::TakeCall(const TMqttMessage& message, const std::string& station) {
  TDeskInput input{TDeskInput::TKind::Call, station, {}, false, {}, {}};
  try {
    input.Call = DecodeCallMessage(message.Payload);
  } catch (const ECallMessageError& e) {
    LogFmt(llWarning, "共有された着信情報を読み取れません。Topic=[%s] [詳細] %s", message.Topic,
           e.Message());
    return {};
  }
  if (!SameStation(message.Topic, station, input.Call.Station))
    return {};
  const TStationSequences::TVerdict verdict = sequences_.Check(station, input.Call.Id);
  if (verdict == TStationSequences::TVerdict::Repeated) {
    LogFmt(llDebug, "受信済みの着信情報を無視しました。ID=[%s]", input.Call.Id);
    return {};
  }
  input.Gap = verdict == TStationSequences::TVerdict::Gap;
  LogFmt(llDebug, "共有された着信情報を受信しました。ID=[%s] 種別=%d 番号=[%s]", input.Call.Id,
         input.Call.Kind, input.Call.PhoneNumber);
  return input;
}

TDeskInput TCallReceiver::TakeResponse(const TMqttMessage& message, const std::string& station) {
  TDeskInput input{TDeskInput::TKind::Response, station, {}, false, {}, {}};
  try {
    input.Response = DecodeShareResponse(message.Payload);
  } catch (const ECallMessageError& e) {
    LogFmt(llWarning, "共有された応答を読み取れません。Topic=[%s] [詳細] %s", message.Topic,
           e.Message());
    return {};
  }
  return SameStation(message.Topic, station, input.Response.Station) ? input : TDeskInput{};
}

// One that cannot be read says the station is gone, as an empty one does.
TDeskInput TCallReceiver::TakeStatus(const TMqttMessage& message, const std::string& station) {
  TDeskInput input{TDeskInput::TKind::Status, station, {}, false, {}, {}};
  try {
    if (!message.Payload.empty())
      input.Status = DecodeStationStatus(message.Payload);
  } catch (const ECallMessageError& e) {
    LogFmt(llWarning, "共有された状態を読み取れません。Topic=[%s] [詳細] %s", message.Topic,
           e.Message());
  }
  input.Status.Station = station;
  return input;
}

bool TCallReceiver::Allowed(const std::string& station, const std::string& topic) {
  if (stations_.empty() || stations_.count(station) != 0)
    return true;
  const bool first = refused_.insert(station).second;
  LogFmt(first ? llWarning : llDebug,
         "共有を許可されていない送信元のメッセージを無視しました。送信元=[%s] Topic=[%s]", station,
         topic);
  return false;
}

bool TCallReceiver::SameStation(const std::string& topic, const std::string& station,
                                const std::string& said) const {
  if (said == station)
    return true;
  LogFmt(llWarning, "送信元がトピックと異なるメッセージを無視しました。Topic=[%s] 送信元=[%s]",
         topic, said);
  return false;
}

#include "share/CallReceiver.h"

#include "settings/Logging.h"
#include "share/ShareTopics.h"

TCallReceiver::TCallReceiver(const std::string& baseTopic) : topic_(CallTopic(baseTopic)) {}

std::optional<TCallMessage> TCallReceiver::Take(const TMqttMessage& message) {
  if (message.Topic != topic_)
    return std::nullopt;
  TCallMessage call;
  try {
    call = DecodeCallMessage(message.Payload);
  } catch (const ECallMessageError& e) {
    LogFmt(llWarning, "共有された着信情報を読み取れません。Topic=[%s] [詳細] %s", message.Topic,
           e.Message());
    return std::nullopt;
  }
  if (!handled_.Remember(call.Id)) {
    LogFmt(llDebug, "受信済みの着信情報を無視しました。ID=[%s]", call.Id);
    return std::nullopt;
  }
  LogFmt(llDebug, "共有された着信情報を受信しました。ID=[%s] 種別=%d 番号=[%s]", call.Id, call.Kind,
         call.PhoneNumber);
  return call;
}

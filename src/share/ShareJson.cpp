#include "share/ShareJson.h"

#include "share/CallMessage.h"

#include <QJsonDocument>

std::string ShareJson(QJsonObject object) {
  object["v"] = ShareProtocolVersion;
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

void CheckShareVersion(const QJsonObject& object) {
  const QJsonValue v = object.value("v");
  if (!v.isUndefined() && !(v.isDouble() && v.toDouble() == ShareProtocolVersion))
    throw ECallMessageError("対応していない版のメッセージです (v)");
}

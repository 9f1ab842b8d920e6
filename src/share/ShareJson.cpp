#include "share/ShareJson.h"

#include "share/CallMessage.h"

#include <QJsonDocument>
#include <cmath>

std::string ShareJson(QJsonObject object) {
  object["v"] = ShareProtocolVersion;
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

void CheckShareVersion(const QJsonObject& object) {
  const QJsonValue v = object.value("v");
  if (!v.isUndefined() && !(v.isDouble() && v.toDouble() == ShareProtocolVersion))
    throw ECallMessageError("対応していない版のメッセージです (v)");
}

bool IsJsonInteger(const QJsonValue& value, double low, double high) {
  if (!value.isDouble())
    return false;
  const double d = value.toDouble();
  return std::floor(d) == d && d >= low && d <= high;
}

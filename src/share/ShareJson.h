#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <string>

// Every JSON message of the office's protocol carries its major version, so
// that a program meeting a later, different protocol leaves it alone rather
// than misreading it. A message without one comes from a program older than
// the versions and is read as the first.
inline constexpr int ShareProtocolVersion = 1;

// Compact JSON with the version added.
std::string ShareJson(QJsonObject object);
// Throws ECallMessageError for a message of another major version.
void CheckShareVersion(const QJsonObject& object);
// A JSON number that is a whole number from low to high, checked before any
// cast (a double out of an integer's range does not cast).
bool IsJsonInteger(const QJsonValue& value, double low, double high);

#include "ui/PlatformAbilities.h"

#include <QGuiApplication>

namespace {

bool OnX11() {
  return QGuiApplication::platformName() == QLatin1String("xcb");
}

} // namespace

bool PlatformSetsWindowOpacity() {
  return OnX11();
}

bool PlatformWatchesForATray() {
  return OnX11();
}

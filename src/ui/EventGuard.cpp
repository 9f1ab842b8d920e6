#include "ui/EventGuard.h"

#include "settings/Logging.h"

bool GuardEvent(const char* what, const std::function<void()>& handler,
                const std::function<void(const std::exception&)>& onFailure) {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    LogException(llError, what, e);
    if (onFailure)
      onFailure(e);
  }
  return false;
}

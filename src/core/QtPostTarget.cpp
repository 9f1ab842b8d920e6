#include "core/QtPostTarget.h"

#include "settings/Logging.h"

#include <QMetaObject>

void TQtPostTarget::Post(std::function<void()> fn) {
  QObject* context = context_.data();
  if (context == nullptr)
    return;
  QMetaObject::invokeMethod(
      context,
      [fn = std::move(fn)] {
        try {
          fn();
        } catch (const std::exception& e) {
          LogException(llError, "メッセージ処理でエラーが発生しました。", e);
        } catch (...) {
          Log(llError, "メッセージ処理で不明なエラーが発生しました。");
        }
      },
      Qt::QueuedConnection);
}

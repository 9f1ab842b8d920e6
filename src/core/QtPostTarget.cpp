#include "core/QtPostTarget.h"

#include "settings/Logging.h"

#include <QMetaObject>
#include <memory>

// Qt hands a posted closure to the receiving thread behind a lock of its own,
// which ThreadSanitizer cannot see (Qt is not built with it). The hand-over
// is told to it: what the poster did before posting counts as seen by the
// closure, and Qt's carrier of the call, made inside the call and read by
// the receiver, is left unchecked.
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace {

template <typename TPost> void HandOver(void* closure, const TPost& post) {
#if defined(__SANITIZE_THREAD__)
  __tsan_release(closure);
  __tsan_ignore_thread_begin();
  post();
  __tsan_ignore_thread_end();
#else
  static_cast<void>(closure);
  post();
#endif
}

void TakeOver([[maybe_unused]] void* closure) {
#if defined(__SANITIZE_THREAD__)
  __tsan_acquire(closure);
#endif
}

} // namespace

void TQtPostTarget::Post(std::function<void()> fn) {
  QObject* context = context_.data();
  if (context == nullptr)
    return;
  auto closure = std::make_shared<std::function<void()>>(std::move(fn));
  auto run = [closure] {
    TakeOver(closure.get());
    try {
      (*closure)();
    } catch (const std::exception& e) {
      LogException(llError, "メッセージ処理でエラーが発生しました。", e);
    } catch (...) {
      Log(llError, "メッセージ処理で不明なエラーが発生しました。");
    }
  };
  HandOver(closure.get(),
           [&] { QMetaObject::invokeMethod(context, std::move(run), Qt::QueuedConnection); });
}

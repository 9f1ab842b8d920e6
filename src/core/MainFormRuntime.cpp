// The runtime folder under a running instance: some session cleaners empty
// $XDG_RUNTIME_DIR, taking the lock, the endpoint's socket and the shared
// blocks with it. Without them the instance could not be reached and the
// next start would become a second one; the data folder's lock keeps that
// start out until they are made again here.
#include "core/MainForm.h"

#include "core/NumberSimReceiver.h"
#include "platform/MessageEndpoint.h"
#include "platform/ProgramPaths.h"
#include "settings/Logging.h"
#include "settings/SharedValue.h"

#include <cerrno>
#include <system_error>

bool TMainForm::RuntimeFilesLost() const {
  return deps_.Instance->RuntimeLockLost() || (endpoint_ && endpoint_->Lost()) ||
         SharedValueLost(clientWindowMapping_) || simReceiver_->BlocksLost();
}

void TMainForm::RuntimeCheckTimerTimer() {
  if (!deps_.Instance || !deps_.Instance->Held() || !RuntimeFilesLost())
    return;
  const std::string folder = RuntimeFolder();
  try {
    if (deps_.Instance->RuntimeLockLost() && !deps_.Instance->RetakeRuntimeLock())
      throw std::system_error(errno, std::generic_category(), TSingleInstance::LockFileName);
    if (endpoint_ && endpoint_->Lost())
      endpoint_ = NewEndpoint();
    if (SharedValueLost(clientWindowMapping_)) {
      CloseSharedValue(clientWindowMapping_);
      PublishHandle();
    }
    if (simReceiver_->BlocksLost())
      simReceiver_->MakeBlocksAgain();
  } catch (const std::exception& e) {
    // Tried again on the next tick; told once.
    if (!runtimeLossTold_)
      LogException(llError, "実行時フォルダ [" + folder + "] を作り直せません。", e);
    runtimeLossTold_ = true;
    return;
  }
  runtimeLossTold_ = false;
  LogFmt(llWarning, "実行時フォルダ [%s] のファイルが失われていたため、作り直しました。", folder);
}

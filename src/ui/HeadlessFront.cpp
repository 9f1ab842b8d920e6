#include "ui/HeadlessFront.h"

#include "settings/Logging.h"
#include "ui/DesktopNotifier.h"

namespace {

void NotShown(const char* what) {
  LogFmt(llDebug, "画面がないため表示しません。[%s]", what);
}

} // namespace

void THeadlessWindows::ShowIncomingNotice(const TTableRow&) {
  NotShown("着信通知");
}
void THeadlessWindows::ShowRingAnnouncement() {
  NotShown("着信予告");
}
void THeadlessWindows::ShowNumberDisplay(const TTableRow&) {
  NotShown("番号表示");
}
void THeadlessWindows::OpenNumberEdit(const TTableRow*) {
  NotShown("新規編集");
}
void THeadlessWindows::ShowPhoneList() {
  NotShown("登録一覧");
}
void THeadlessWindows::ShowIncomingList() {
  NotShown("着信履歴");
}
void THeadlessWindows::ShowDeviceMemory() {
  NotShown("Mirelメモリ");
}
void THeadlessWindows::ShowSettings() {
  NotShown("設定");
}
void THeadlessWindows::ShowAbout() {
  NotShown("Teloria II について");
}

void THeadlessTray::ShowBalloon(const std::string& title, const std::string& text,
                                TBalloonIcon icon, int) {
  const TLogLevel level = icon == TBalloonIcon::Error     ? llError
                          : icon == TBalloonIcon::Warning ? llWarning
                                                          : llInfo;
  LogFmt(level, "[通知] %s %s", title, NotificationBody(text).replace('\n', ' ').toStdString());
}

// Reading the adapter's memory for the device memory window: the exchanges
// on a worker thread, the rows built on the window's thread.
#include "ui/MirelMemoryForm.h"

#include "base/Exception.h"
#include "common2/MirelKT5CommBase.h"
#include "core/IController.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "data/TableRow.h"
#include "settings/Logging.h"
#include "ui/GridView.h"
#include "ui/MessageBoxes.h"
#include "ui/UiWindows.h"

#include <QLabel>
#include <QStackedWidget>

namespace {

const char* const FailedText = "読み込みに失敗しました。";
const char* const NotConnectedText = "Mirelに接続していないため、メモリを読み込めません。";

std::string AnswerText(const TKT5MirelKT5ReceivePacket& packet) {
  if (packet.Answered)
    return "応答";
  return packet.Unanswered ? "未応答" : "不明";
}

} // namespace

TMirelMemoryDispRow MirelMemoryDispRow(const TKT5MirelKT5ReceivePacket& packet,
                                       const std::string& name) {
  TMirelMemoryDispRow row;
  if (packet.NoDateTime) {
    row.DateText = "なし";
    return row;
  }
  row.Empty = false;
  row.DateText = FormatDateTime("yyyy/mm/dd hh:nn", packet.IncomingDateTime);
  row.NumberText = NumberDisplayText(packet.PhoneNumber);
  row.NameText = name;
  row.AnswerText = AnswerText(packet);
  return row;
}

std::string MemoryRecordName(const TKT5MirelKT5ReceivePacket& packet) {
  if (packet.NoDateTime || packet.NumberKind != 1 || !CtiDb)
    return {};
  const std::unique_ptr<TTableRow> entry = CtiDb->FindPhoneNumber(packet.PhoneNumber);
  return entry ? entry->GetValue("owner_name") : std::string();
}

void TFormMirelMemory::ReadMirelMemory() {
  if (reading_)
    return;
  JoinWorker();
  reading_ = true;
  CommonMsgLabel->setText(QString::fromUtf8("読み込んでいます..."));
  ViewNotebook->setCurrentIndex(PageMessage);
  CommonMsgLabel->repaint();
  try {
    IController* controller = Windows().Controller();
    if (controller == nullptr)
      throw Exception("メモリ読み出しエラー");
    if (!controller->SimMode() && controller->GetConnectedPort().empty()) {
      reading_ = false;
      ShowFailure(NotConnectedText);
      return;
    }
    StartWorker(controller->MemorySession());
  } catch (...) {
    ReadFailed(std::current_exception());
  }
}

void TFormMirelMemory::StartWorker(TMirelKT5CommBase& session) {
  cancel_ = false;
  TPostTargetPtr target = postTarget_;
  worker_ = std::thread([this, &session, target] {
    try {
      for (int index = 1; index <= RecordCount && !cancel_; ++index) {
        target->Post([this] { ShowProgress(); });
        IKT5MirelKT5ReceivePacket packet;
        session.ReadMemory(static_cast<uint8_t>(index), packet);
        target->Post([this, index, packet] { RecordRead(index, packet); });
      }
      target->Post([this] { ReadDone(); });
    } catch (...) {
      // Nothing leaves the thread: the failure goes to the window.
      target->Post([this, error = std::current_exception()] { ReadFailed(error); });
    }
  });
}

void TFormMirelMemory::JoinWorker() {
  if (worker_.joinable())
    worker_.join();
}

void TFormMirelMemory::ShowProgress() {
  if (reading_)
    CommonMsgLabel->repaint();
}

void TFormMirelMemory::RecordRead(int index, const IKT5MirelKT5ReceivePacket& packet) {
  if (!reading_)
    return;
  try {
    if (!packet)
      throw Exception("メモリ読み出しエラー");
    rows_.at(index - 1) = MirelMemoryDispRow(*packet, MemoryRecordName(*packet));
  } catch (...) {
    cancel_ = true;
    ReadFailed(std::current_exception());
  }
}

void TFormMirelMemory::ReadDone() {
  if (!reading_)
    return;
  reading_ = false;
  JoinWorker();
  ViewNotebook->setCurrentIndex(PageGrid);
  static_cast<TGridModel*>(MemoryListGrid->model())->Refresh();
  MemoryListGrid->repaint();
}

void TFormMirelMemory::ReadFailed(const std::exception_ptr& error) {
  if (!reading_)
    return;
  reading_ = false;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    LogException(llError, "着信履歴データの再読み込みに失敗しました。", e);
  } catch (...) {
    Log(llError, "着信履歴データの再読み込みに失敗しました。");
  }
  ShowFailure(FailedText);
}

void TFormMirelMemory::ShowFailure(const char* text) {
  NoDataMsgLabel->setText(QString::fromUtf8(text));
  ViewNotebook->setCurrentIndex(PageNoData);
  ShowErrorMessage(text);
}

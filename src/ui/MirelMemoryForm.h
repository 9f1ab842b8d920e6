#pragma once

#include "base/PostTarget.h"
#include "common2/MirelKT5ReceivePacket.h"

#include <QWidget>
#include <array>
#include <atomic>
#include <exception>
#include <string>
#include <thread>

class QLabel;
class QStackedWidget;
class TGridView;
class TMirelKT5CommBase;
class TMirelMemoryModel;

// One adapter memory record as the window shows it.
struct TMirelMemoryDispRow {
  bool Empty = true;
  std::string DateText;
  std::string NumberText;
  std::string NameText;
  std::string AnswerText;
};

// A record into its row; `name` is the phone-book name of the number.
TMirelMemoryDispRow MirelMemoryDispRow(const TKT5MirelKT5ReceivePacket& packet,
                                       const std::string& name);
// The phone-book name of an ordinary registered number, else "". Reads CtiDb,
// so it runs on the user-interface thread only.
std::string MemoryRecordName(const TKT5MirelKT5ReceivePacket& packet);

// The device memory window: the 30 calls the adapter keeps, read each time
// the window is shown. One instance, kept; closing hides it.
//
// Threads: the exchanges run on a worker thread so that the program keeps
// taking calls meanwhile; every result is posted back to this window's
// thread, where the rows are built (phone-book lookups included). The worker
// touches nothing but the session's ReadMemory. It relies on the session
// serialising its own port use (the component's lock and busy flag keep the
// watch thread's receive step and any other exchange out), and on the
// session outliving the read: the controller must not free its sessions
// before FreeMirelMemoryForm, which waits for a running read to end.
class TFormMirelMemory final : public QWidget {
  Q_OBJECT
public:
  static constexpr int RecordCount = 30;
  enum TPage { PageNoData = 0, PageGrid = 1, PageMessage = 2 };

  explicit TFormMirelMemory(QWidget* parent = nullptr);
  ~TFormMirelMemory() override;

  // Reads the 30 records (nothing when a read is running already).
  void ReadMirelMemory();
  bool Reading() const { return reading_; }
  // Index 1 to 30.
  const TMirelMemoryDispRow& DispRow(int index) const { return rows_.at(index - 1); }
  int DispSize() const { return dispSize_; }
  void CMSettingsChanged();

  QLabel* TitleLabel = nullptr;
  QStackedWidget* ViewNotebook = nullptr;
  QWidget* NoDataPanel = nullptr;
  QLabel* NoDataMsgLabel = nullptr;
  TGridView* MemoryListGrid = nullptr;
  QLabel* CommonMsgLabel = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void CreateControls();
  void LayoutForSize(int dispSize);
  void StartWorker(TMirelKT5CommBase& session);
  void JoinWorker();
  void ShowProgress();
  void RecordRead(int index, const IKT5MirelKT5ReceivePacket& packet);
  void ReadDone();
  void ReadFailed(const std::exception_ptr& error);
  // The no-data page and the error box, both saying `text`.
  void ShowFailure(const char* text);

  std::array<TMirelMemoryDispRow, RecordCount> rows_;
  TMirelMemoryModel* model_ = nullptr;
  int dispSize_ = -1;
  TPostTargetPtr postTarget_;
  uint32_t listenerHandle_ = 0;
  bool reading_ = false;
  std::atomic<bool> cancel_{false};
  std::thread worker_;
};

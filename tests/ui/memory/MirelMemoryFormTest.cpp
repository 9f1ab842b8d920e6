// The device memory window over the virtual adapter and the number-sending
// simulator: the rows, the layouts, a call during the read and the failures.
#include "ui/settings/UiHarness.h"

#include "data/TableRow.h"
#include "fakes/AdapterSimProcess.h"
#include "settings/SettingsListeners.h"
#include "settings/SharedValue.h"
#include "support/FakeMessageBoxes.h"
#include "ui/GridView.h"
#include "ui/MirelMemoryForm.h"
#include "ui/UiWindows.h"

#include <QLabel>
#include <QStackedWidget>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TKT5MirelKT5ReceivePacket Record(const std::string& number, uint8_t kind, bool answered,
                                 bool unanswered) {
  TKT5MirelKT5ReceivePacket p;
  p.PacketKind = PacketKind::MemoryRecord;
  p.IncomingDateTime = EncodeDateTime({2026, 1, 2, 3, 4, 59, 0});
  p.PhoneNumber = number;
  p.NumberKind = kind;
  p.Answered = answered;
  p.Unanswered = unanswered;
  return p;
}

// `teloria2-number-sim serve` with a memory file; stopped by closing its input.
class TNumberSimServer {
public:
  explicit TNumberSimServer(const std::string& memoryFile) {
    int in[2];
    if (pipe2(in, O_CLOEXEC) != 0)
      return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      const int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, 1);
      const std::string bin = BinFolder() + "/teloria2-number-sim";
      execl(bin.c_str(), bin.c_str(), "serve", "--memory", memoryFile.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    input_ = in[1];
  }
  ~TNumberSimServer() {
    close(input_);
    if (pid_ > 0 && !WaitFor([this] { return waitpid(pid_, nullptr, WNOHANG) == pid_; },
                             std::chrono::seconds(5))) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  TNumberSimServer(const TNumberSimServer&) = delete;
  TNumberSimServer& operator=(const TNumberSimServer&) = delete;

private:
  pid_t pid_ = -1;
  int input_ = -1;
};

} // namespace

class MirelMemoryFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TUiHarness> h;
  std::unique_ptr<TFakeMessageBoxes> boxes;
  std::unique_ptr<TAdapterSimProcess> sim;

  // The controller connected to a virtual adapter answering after `delayMs`.
  void ConnectAdapter(int delayMs) {
    const std::string link = h->Path("ttyMirel");
    sim = std::make_unique<TAdapterSimProcess>(
        std::vector<std::string>{"--link", link, "--reply-delay", std::to_string(delayMs)});
    QVERIFY(sim->WaitFor("ready ").rfind("ready ", 0) == 0);
    AppSettings.MirelKT5Port = link;
    QVERIFY(h->StartController());
    QVERIFY(h->WaitConnected());
  }
  // Twelve stored calls on 7 December: a registered number, a withheld one, the rest plain.
  void StoreTwelveCalls() {
    TTableRow entry;
    entry.SetValue("phone_number", "0312345678");
    entry.SetValue("owner_name", "山田商店");
    CtiDb->InsertPhoneNumber(entry);
    QVERIFY(sim->Run("memory 1 120710901 0312345678 120710902 OF"));
    QVERIFY(sim->Run("memory 2 120710902 P 120710903 UR"));
    for (int i = 3; i <= 12; ++i)
      QVERIFY(sim->Run(fmt::format("memory {} 1207109{:02} 0900000{:04} 120710959 {}", i, i, i,
                                   i % 2 == 0 ? "OF" : "UR")));
  }
  // Shows the window, runs the read it posted itself and waits for its end.
  static TFormMirelMemory* ShowAndWait() {
    Windows().ShowDeviceMemory();
    TFormMirelMemory* form = Windows().DeviceMemory();
    QCoreApplication::sendPostedEvents(form, QEvent::MetaCall);
    if (!QTest::qWaitFor([form] { return !form->Reading(); }, 20000))
      qWarning("the read did not end");
    return form;
  }
  void ExpectFailure(TFormMirelMemory* form, const std::string& cause) {
    QCOMPARE(form->ViewNotebook->currentIndex(), int(TFormMirelMemory::PageNoData));
    QCOMPARE(form->NoDataMsgLabel->text(), QString::fromUtf8("読み込みに失敗しました。"));
    QCOMPARE(boxes->Errors, std::vector<std::string>{"読み込みに失敗しました。"});
    QVERIFY(Contains(h->MainLog(), "[error] 着信履歴データの再読み込みに失敗しました。"));
    QVERIFY(Contains(h->MainLog(), "[原因] " + cause));
  }

private slots:
  void init() {
    h = std::make_unique<TUiHarness>();
    boxes = std::make_unique<TFakeMessageBoxes>();
  }
  void cleanup() {
    Windows().FreeAll();
    sim.reset();
    boxes.reset();
    h.reset();
  }

  void displayRows() {
    TKT5MirelKT5ReceivePacket empty;
    empty.NoDateTime = true;
    const TMirelMemoryDispRow none = MirelMemoryDispRow(empty, "x");
    QVERIFY(none.Empty);
    QCOMPARE(none.DateText, std::string("なし"));
    QVERIFY(none.NumberText.empty() && none.NameText.empty() && none.AnswerText.empty());
    const TMirelMemoryDispRow a = MirelMemoryDispRow(Record("0312345678", 1, true, false), "名");
    QCOMPARE(a.DateText, std::string("2026/01/02 03:04"));
    QCOMPARE(a.NumberText, std::string("0312345678"));
    QCOMPARE(a.NameText, std::string("名"));
    QCOMPARE(a.AnswerText, std::string("応答"));
    QCOMPARE(MirelMemoryDispRow(Record("P", 2, false, true), "").NumberText, std::string("非通知"));
    QCOMPARE(MirelMemoryDispRow(Record("P", 2, false, true), "").AnswerText, std::string("未応答"));
    QCOMPARE(MirelMemoryDispRow(Record("1", 1, false, false), "").AnswerText, std::string("不明"));
    // Without a database no name is looked up.
    QCOMPARE(MemoryRecordName(Record("0312345678", 1, true, false)), std::string());
  }

  void readsTheAdaptersThirtyRecords() {
    ConnectAdapter(40);
    StoreTwelveCalls();
    Windows().ShowDeviceMemory();
    TFormMirelMemory* form = Windows().DeviceMemory();
    QCOMPARE(form->windowTitle(), QString::fromUtf8("MirelKT5メモリ"));
    QTRY_VERIFY(form->Reading());
    QCOMPARE(form->ViewNotebook->currentIndex(), int(TFormMirelMemory::PageMessage));
    QCOMPARE(form->CommonMsgLabel->text(), QString::fromUtf8("読み込んでいます..."));

    // A call meanwhile is taken at once.
    auto call = std::make_shared<TKT5GroupEventArgs>();
    call->PacketKind = PacketKind::PhoneNumber;
    call->GroupNo = 1;
    call->NumberReceived = true;
    call->PhoneNumber = "0451112222";
    h->form->CMGroupEvent(call);
    QTRY_COMPARE(h->windows.Count("ShowIncomingNotice"), 1);
    QVERIFY(form->Reading());

    QTRY_VERIFY_WITH_TIMEOUT(!form->Reading(), 20000);
    QCOMPARE(form->ViewNotebook->currentIndex(), int(TFormMirelMemory::PageGrid));
    QVERIFY(boxes->Errors.empty());
    int filled = 0;
    for (int i = 1; i <= TFormMirelMemory::RecordCount; ++i)
      filled += form->DispRow(i).Empty ? 0 : 1;
    QCOMPARE(filled, 12);
    QCOMPARE(form->DispRow(13).DateText, std::string("なし"));
    QCOMPARE(form->DispRow(30).DateText, std::string("なし"));
    QCOMPARE(form->DispRow(1).DateText, std::string("2026/12/07 09:01"));
    QCOMPARE(form->DispRow(1).NameText, std::string("山田商店"));
    QCOMPARE(form->DispRow(1).AnswerText, std::string("応答"));
    QCOMPARE(form->DispRow(2).NumberText, std::string("非通知"));
    QCOMPARE(form->DispRow(2).NameText, std::string());
    QCOMPARE(form->DispRow(2).AnswerText, std::string("未応答"));
    QCOMPARE(form->DispRow(12).NumberText, std::string("09000000012"));

    const QAbstractItemModel* model = form->MemoryListGrid->model();
    QCOMPARE(model->rowCount(), 30);
    QCOMPARE(model->columnCount(), 5);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("  No."));
    QCOMPARE(model->headerData(4, Qt::Horizontal).toString(), QString::fromUtf8("応答/未応答"));
    QCOMPARE(model->index(29, 0).data().toString(), QString("    30"));
    QCOMPARE(model->index(0, 3).data().toString(), QString::fromUtf8("山田商店"));
    QCOMPARE(sim->WaitFor("recv MT 30"), std::string("recv MT 30"));

    // Shown again: read again.
    QVERIFY(sim->Run("memory-empty 1"));
    form->close();
    ShowAndWait();
    QCOMPARE(form->DispRow(1).DateText, std::string("なし"));
  }

  void layoutsFollowTheDisplaySize() {
    QVERIFY(h->StartController());
    AppSettings.DispSize = 1;
    ShowAndWait();
    TFormMirelMemory* form = Windows().DeviceMemory();
    QCOMPARE(form->width(), 896);
    QCOMPARE(form->MemoryListGrid->columnWidth(3), 330);
    QCOMPARE(form->MemoryListGrid->font().pixelSize(), 20);
    AppSettings.DispSize = 2;
    NotifySettingsChanged();
    QTRY_COMPARE(form->width(), 996);
    QCOMPARE(form->MemoryListGrid->columnWidth(0), 104);
    QCOMPARE(form->MemoryListGrid->rowHeight(0), 32);
    AppSettings.DispSize = 0;
    NotifySettingsChanged();
    QTRY_COMPARE(form->width(), 796);
    QCOMPARE(form->MemoryListGrid->font().pixelSize(), 16);
    Windows().FreeAll();
    QVERIFY(Contains(ReadFile(h->Path("teloria2.states.ini")), "[MirelMemoryWnd]"));
  }

  void notConnectedShowsTheNoDataPage() {
    QVERIFY(h->StartController());
    const std::string text = "Mirelに接続していないため、メモリを読み込めません。";
    QCOMPARE(ShowAndWait()->NoDataMsgLabel->text(), QString::fromStdString(text));
    QCOMPARE(boxes->Errors, std::vector<std::string>{text});
  }

  void theAdapterUnpluggedDuringTheRead() {
    ConnectAdapter(60);
    Windows().ShowDeviceMemory();
    // Unplugged while the fifth record is being read.
    QVERIFY(QTest::qWaitFor([this] { return sim->WaitFor("recv MT 05", 10) == "recv MT 05"; }));
    QVERIFY(sim->Run("unplug"));
    TFormMirelMemory* form = Windows().DeviceMemory();
    QTRY_VERIFY_WITH_TIMEOUT(!form->Reading(), 20000);
    ExpectFailure(form, "メモリ読み出しエラー");
    QTRY_VERIFY(!h->form->Comm().IsOpen());
  }

  void simulatorNotRunning() {
    AppSettings.MirelKT5Port = "TEST";
    QVERIFY(h->StartController());
    QVERIFY(h->form->SimMode());
    ExpectFailure(ShowAndWait(), "シミュレータメモリ読み出しエラー1");
  }

  void recordsFromTheSimulator() {
    if (!std::filesystem::exists(BinFolder() + "/teloria2-number-sim"))
      QSKIP("teloria2-number-sim is not built");
    WriteFile(h->Path("memory.txt"), "1 120710901 0312345678 120710902 OF\n"
                                     "2 120710902 - 120710903 UR\n");
    AppSettings.MirelKT5Port = "TEST";
    QVERIFY(h->StartController());
    TNumberSimServer server(h->Path("memory.txt"));
    QVERIFY(WaitFor([] { return ReadSharedValue("SIM_CLIENT_WINDOW_MMF") != 0; }));
    TFormMirelMemory* form = ShowAndWait();
    QVERIFY(boxes->Errors.empty());
    QCOMPARE(form->ViewNotebook->currentIndex(), int(TFormMirelMemory::PageGrid));
    QCOMPARE(form->DispRow(1).NumberText, std::string("0312345678"));
    QCOMPARE(form->DispRow(1).AnswerText, std::string("応答"));
    QCOMPARE(form->DispRow(2).AnswerText, std::string("未応答"));
    QVERIFY(form->DispRow(3).Empty);
  }
};

QTEST_MAIN(MirelMemoryFormTest)
#include "MirelMemoryFormTest.moc"

#pragma once

#include "base/DateTime.h"
#include "base/PostTarget.h"
#include "common2/KT5EventArgs.h"
#include "core/CallerEntry.h"
#include "core/GroupCalls.h"
#include "core/IController.h"
#include "core/IRingSound.h"
#include "core/ITrayIcon.h"
#include "core/IWindows.h"
#include "core/MemoryRecordMatch.h"
#include "core/MirelKT5Scanner.h"
#include "core/PendingJournal.h"
#include "data/SQLiteError.h"
#include "platform/SerialDevice.h"
#include "platform/ShellOpen.h"
#include "platform/SingleInstance.h"
#include "share/MqttClient.h"

#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class TCallShare;
class TMemoryCatchUp;
class TMessageEndpoint;
class TMirelKT5CommBase;
class TMirelKT5Comm;
class TMirelKT5CommSim;
class TNumberSimReceiver;
class TTableRow;
struct TCallKey;
struct TIncomingCall;

// What the controller is given from outside: the windows and the tray icon
// of the widget layer, and the hooks tests replace.
struct TMainFormDeps {
  IWindows* Windows = nullptr;
  ITrayIcon* Tray = nullptr;
  // Null: the ring sound of the settings through QSoundEffect.
  std::unique_ptr<IRingSound> Sound;
  // Opens what is not a program (documents, URLs); null opens nothing.
  TOpener Opener;
  // Shows the fatal start-up error and waits until it is closed.
  std::function<void(const std::string& text)> ShowFatalError;
  // The single-instance lock, held while the controller lives; a failed
  // start-up lets it go before it shows its error.
  std::unique_ptr<TSingleInstance> Instance;
  // Ends the program (the main window closed); default QCoreApplication::exit(0).
  std::function<void()> Quit;
  // Tests: the ports the scanner probes, the serial devices, the endpoint handle
  // (0: the process id).
  TMirelKT5Scanner::TPortLister ScannerPorts;
  TSerialDeviceFactory DeviceFactory;
  uint32_t EndpointHandle = 0;
  // Tests: the MQTT clients of office sharing (null: libmosquitto).
  TMqttClientFactory ShareClients;
  // The command line: "-arun" anywhere suppresses the start-up balloon.
  std::vector<std::string> Arguments;
};

// The controller of the resident program: its start-up, the reaction to call
// events, the device connection, the daily clock setting, the simulator link
// and the tray commands. It owns the sessions, the scanner and the timers and
// is never shown. Everything runs on the thread that created it; other
// threads and processes reach it through posted closures and its message
// endpoint.
class TMainForm : public QObject, public IController {
  Q_OBJECT
public:
  explicit TMainForm(TMainFormDeps deps);
  ~TMainForm() override;

  // State
  bool Ready() const { return ready_; }
  // Start-up ended in a fatal error.
  bool StartupFailed() const { return startupFailed_; }
  bool SimMode() const override { return simMode_; }
  // The port setting the last search was started for.
  const std::string& TargetPort() const { return targetPort_; }
  const std::string& DebugLastKey() const { return debugLastKey_; }
  TDateTime LastClockSetAt() const { return lastClockSetAt_; }
  // The sessions: the adapter's, the simulator's, and (in Share) the broker's.
  TMirelKT5Comm& Comm() { return *comm_; }
  TMirelKT5CommSim& CommSim() { return *commSim_; }
  // Calls shared through an MQTT broker; in receive mode the source of calls.
  TCallShare& Share() { return *share_; }
  // Made by start-up (null before).
  TMirelKT5Scanner* Scanner() const { return scanner_.get(); }
  const QTimer& DebugCheckTimer() const { return debugCheckTimer_; }
  const QTimer& MirelCheckTimer() const { return mirelCheckTimer_; }
  const QTimer& BalloonHelpHideTimer() const { return balloonHelpHideTimer_; }
  const QTimer& PendingWritesTimer() const { return pendingWritesTimer_; }
  const QTimer& CallPaintTimer() const { return callPaintTimer_; }
  const QTimer& ReplayTimer() const { return replayTimer_; }
  const QTimer& RuntimeCheckTimer() const { return runtimeCheckTimer_; }

  // The queue of this window: what it posts to itself runs in order.
  const TPostTargetPtr& PostTarget() const { return postTarget_; }
  uint32_t Handle() const { return handle_; }

  // Start-up and life
  void CMStartup();
  void CMAlreadyRunning();
  void CMShutdown();
  void SetTrayIconState(bool connected);
  // The runtime folder (lock, endpoint, shared blocks) is made again when
  // it was removed under the running instance.
  void RuntimeCheckTimerTimer();

  // Incoming calls
  void OnSessionGroup(TMirelKT5CommBase& sender, const IKT5GroupEventArgs& args);
  void CMGroupEvent(const IKT5GroupEventArgs& ev);
  // `groupNo`: the call group the number came with (-1: none, debug mode).
  void PostIncoming(const std::string& phoneNumber, int32_t groupNo = -1);
  // Returns the call made of the row (null: no row), whose history row its
  // hook events update.
  std::shared_ptr<TIncomingCall> CMIncomingPhone(std::unique_ptr<TTableRow> incoming);
  void CMIncomingError();
  void PendingWritesTimerTimer();
  // The window that shows the call last has been painted, or CallPaintTimer
  // ran out: the writes held for it go to the database.
  void CallPainted();
  using TCallStep = ::TCallStep;

  // Connection supervision and clock setting
  void MirelCheckTimerTimer();
  // `targetPort`: the port setting the search was started with.
  void OnPortFound(const std::string& targetPort, const std::string& foundPortName);
  // A search for `targetPort` found `foundPort` ("": none).
  void CMPortSearchDone(const std::string& targetPort, const std::string& foundPort);
  void Reconnect() override;
  void CMReconnect() { Reconnect(); }
  void UsbDevCheckTimerTimer();
  void CheckResetMirelTimeTimerTimer();
  void CMSettingsChanged();
  std::string GetConnectedPort() const override;
  // The program ends (its event loop has stopped): the adapter's session
  // closes after handing on what the port already read, and the calls it
  // carried are handled before anything is written for the last time.
  void HandleReadBeforeClosing();
  // Scanner: the user may not open `port`; told once per port, a balloon once.
  void CMPortDenied(const std::string& port);

  // Simulator link
  uint32_t CMSimQuery();
  uint32_t CMSimCall();

  // Tray commands and debug mode
  void RMenuItemMirelMemoryClick();
  void RMenuItemPhoneListClick();
  void RMenuItemIncomingHistoryClick();
  void RMenuItemNewEditClick();
  void RMenuItemSettingClick();
  void RMenuItemAboutClick();
  void RMenuExitItemClick();
  void TrayIcon1DblClick();
  void BalloonHelpHideTimerTimer();
  void DebugCheckTimerTimer();

  // The command line's verbs (a CommandResult): a TProgramWindow to open,
  // once start-up is done (`notify`: a window that cannot open says so in a
  // balloon); the program to close.
  uint32_t CMShowWindow(uint32_t window, bool notify = false);
  uint32_t CMExitProgram();

  // The windows' questions
  bool ReceivingShared() const override;
  bool SetDeviceClock(TDateTime now) override;
  std::string ShareStateText() const override;
  bool ShareConnected() const override;
  TMirelKT5CommBase& MemorySession() override;

private:
  std::unique_ptr<TMessageEndpoint> NewEndpoint();
  void PublishHandle();
  bool RuntimeFilesLost() const;
  void CreateSessions();
  void ConnectTimers();
  bool PrepareFolder();
  bool OpenDatabase();
  void EndStartup(const std::string& logText, const std::string& message);
  void ChooseMode();
  void ShowStartupBalloon();
  void ShowBalloon(const std::string& title, const std::string& text, TBalloonIcon icon);
  // Where the menu is found, for the start and "already running" balloons.
  std::string MenuHintText() const;
  void RestartBalloonHideTimer();
  void EnterSimMode();
  void CreateShare();
  bool ApplyShareSettings();
  void EnterShareReceiveMode();
  void LeaveShareReceiveMode();
  void ShareStateChanged();
  void StartSearchAgain();
  // The adapter's stored calls the history lacks, read after a session opens.
  void StartMemoryCatchUp();
  void MemoryCatchUpRead(const std::vector<TStoredCall>& calls);
  void RecordHeldCatchUp();
  bool SearchOutdated(const std::string& targetPort) const;
  void OnSessionClosed(const IKT5ClosedEventArgs& args);
  void OnSessionTrace(const IKT5TraceEventArgs& args);
  // Busy: the database cannot take the write now (another program holds
  // its lock, the disk is full, an I/O error); the write is kept and tried
  // again, after those kept before it.
  enum class TWriteResult { Done, Failed, Busy };
  struct TPendingWrite {
    std::string What;
    TPendingRecord Record;
    std::function<TWriteResult()> Write;
    // The call a call's write registers; null for a hook event.
    std::shared_ptr<TIncomingCall> Call;
    // Kept in the journal: written at the next start if the program ends first.
    bool Journaled = false;
  };
  void ApplyHookEvent(const IKT5GroupEventArgs& ev);
  TWriteResult WriteHookEvent(const TKT5GroupEventArgs& ev, TIncomingCall& call);
  TWriteResult UpdateCallRow(TIncomingCall& call, const std::string& what,
                             const std::function<void(const TCallKey&)>& update);
  TWriteResult RecordCall(TIncomingCall& call);
  int AddCallRow(const TIncomingCall& call);
  void CallRowAdded(TIncomingCall& call, int order);
  TWriteResult KeepCallRow(TIncomingCall& call, TCallStep step, const std::exception& e);
  TWriteResult Refused(const ESQLiteException& e);
  void FailCall(const TIncomingCall& call, TCallStep step, const std::exception& e);
  void GiveCallKey(TIncomingCall& call);
  std::unique_ptr<TTableRow> WaitingCallRow(const TIncomingCall& call);
  std::function<TWriteResult()> CallWrite(std::shared_ptr<TIncomingCall> call);
  void WithdrawCall(const TIncomingCall& call);
  void PostListReload();
  void WriteInOrder(const std::string& what, const TPendingRecord& record,
                    std::function<TWriteResult()> write);
  void WriteAfterPaint(std::shared_ptr<TIncomingCall> call);
  void Keep(TPendingWrite write);
  void StartCommand(TIncomingCall& call);
  void WaitForDatabase();
  // The pending writes wait for the database; for a call's paint.
  bool Outage() const { return pendingWritesTimer_.isActive(); }
  bool WritesHeld() const { return callPaintTimer_.isActive(); }
  // The journal of an earlier run, written in batches between this run's events.
  void ReplayPendingWrites();
  void ReplayTimerTimer();
  void ReplayBatch(size_t count);
  void ReplayRecord(const TPendingRecord& record, std::vector<TTableRow>& registered,
                    TCallKey& newest);
  void ReplayRefused(const ESQLiteException& e);
  void ReplayFailed(size_t count, const std::exception& e);
  void ReplayDone();
  void ClearJournalWhenDone();
  void TrimHistory();
  void WritePending();
  void WriteBeforeClosing();
  void ShowCall(TIncomingCall& call, const TTableRow& callRow);
  void CallRecorded(const TIncomingCall& call);
  bool ShowLastCall();
  uint32_t Dispatch(uint32_t message, uint32_t wParam, uint32_t lParam);
  void Post(std::function<void()> fn);

  TMainFormDeps deps_;
  bool started_ = false;
  bool ready_ = false;
  bool startupFailed_ = false;
  bool simMode_ = false;
  std::string targetPort_;
  std::string debugLastKey_;
  TDateTime lastClockSetAt_ = 0;
  std::unique_ptr<TNumberSimReceiver> simReceiver_;
  std::unique_ptr<TMirelKT5CommSim> commSim_;
  std::unique_ptr<TMirelKT5Comm> comm_;
  std::unique_ptr<TMirelKT5Scanner> scanner_;
  std::unique_ptr<TCallShare> share_;
  // Reads a session's memory; ended before the sessions go.
  std::unique_ptr<TMemoryCatchUp> catchUp_;
  QTimer debugCheckTimer_;
  QTimer mirelCheckTimer_;
  QTimer balloonHelpHideTimer_;
  QTimer checkResetMirelTimeTimer_;
  QTimer usbDevCheckTimer_;
  // Retries the writes the database refused for now (a lock held by another
  // program, a full disk); runs only while some wait.
  QTimer pendingWritesTimer_;
  // The longest the writes wait for the paint of the call shown last.
  QTimer callPaintTimer_;
  // Writes the next batch of the journal of an earlier run: at once while
  // the database takes them, every second while it refuses them.
  QTimer replayTimer_;
  QTimer runtimeCheckTimer_;
  // A runtime folder that could not be made again was told in the log.
  bool runtimeLossTold_ = false;
  // Calls shown, so that only the paint of the latest releases the writes.
  unsigned callShowings_ = 0;
  // What was put on screen (calls and ring announcements), so that a call
  // refused for good is taken off only while it is still what is shown.
  unsigned screenShowings_ = 0;
  // The records of an earlier run not yet written, oldest first; the
  // next ones written one at a time after a batch failed.
  std::deque<TPendingRecord> replay_;
  size_t replaySingles_ = 0;
  TPendingJournal journal_;
  // The pending writes are being written: a write never runs inside another.
  bool writingPending_ = false;
  // A reload of the history window waits in the queue.
  bool reloadPosted_ = false;
  TPostTargetPtr postTarget_;
  std::unique_ptr<TMessageEndpoint> endpoint_;
  uint32_t handle_ = 0;
  int clientWindowMapping_ = 0;
  uint32_t listenerHandle_ = 0;
  // The calls of the latest call groups, which their hook events update.
  TGroupCalls groupCalls_;
  // Writes held for a call's paint or refused by the database for now,
  // oldest first.
  std::deque<TPendingWrite> pendingWrites_;
  // The adapter's records read while calls shown waited for their writes.
  std::optional<std::vector<TStoredCall>> heldCatchUp_;
  // Why it last refused one, for the log line that starts an outage.
  std::optional<ESQLiteException> refusal_;
  // A pending write of this outage could not be kept in the journal.
  bool journalFailed_ = false;
  // Ports the user was told of not being allowed to open.
  std::set<std::string> deniedPorts_;
};

// The one controller while it exists (null otherwise).
extern TMainForm* MainForm;

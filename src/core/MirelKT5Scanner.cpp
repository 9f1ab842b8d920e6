#include "core/MirelKT5Scanner.h"

#include "common2/MirelKT5CommCompo.h"
#include "common2/MirelKT5CommError.h"
#include "platform/SerialPorts.h"
#include "settings/Logging.h"

#include <cerrno>

TMirelKT5Scanner::TMirelKT5Scanner(TPortLister ports, TSerialDeviceFactory deviceFactory,
                                   TPortDeniedEvent onPortDenied)
    : ports_(std::move(ports)), deviceFactory_(std::move(deviceFactory)),
      onPortDenied_(std::move(onPortDenied)) {
  if (!ports_)
    ports_ = [] {
      std::vector<std::string> list;
      EnumSerialPorts(list);
      return list;
    };
  ScanLog("接続ポート探索スレッド開始");
  thread_ = std::thread([this] { Execute(); });
}

TMirelKT5Scanner::~TMirelKT5Scanner() {
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
    wakeSet_ = true;
  }
  wake_.notify_all();
  thread_.join();
  ScanLog("接続ポート探索スレッド終了");
}

bool TMirelKT5Scanner::StartSearch(const std::string& targetPort, TPortFoundEvent callback) {
  if (busy_)
    return false;
  busy_ = true;
  targetPort_ = targetPort;
  onPortFound_ = std::move(callback);
  {
    std::lock_guard lock(mutex_);
    wakeSet_ = true;
  }
  wake_.notify_all();
  return true;
}

void TMirelKT5Scanner::Execute() {
  while (true) {
    {
      std::unique_lock lock(mutex_);
      if (terminated_)
        break;
      waiting_ = true;
      wake_.wait(lock, [this] { return wakeSet_; });
      waiting_ = false;
      wakeSet_ = false;
      if (terminated_) {
        ScanLog("接続ポート探索スレッドループ中断");
        break;
      }
    }
    std::string found;
    try {
      found = Search();
    } catch (const std::exception& e) {
      NoteIfDenied(e, targetPort_);
      ScanLogFmt("スレッドで指定ポートメモリ読み出しエラーです。Port=[%s]\r\n[例外] %s",
                 targetPort_, e.what());
      found.clear();
    }
    Report(found);
    busy_ = false;
  }
  ScanLog("接続ポート探索スレッドループ終了");
}

std::unique_ptr<TMirelKT5CommCompo> TMirelKT5Scanner::NewCompo() const {
  auto compo = std::make_unique<TMirelKT5CommCompo>(nullptr, deviceFactory_);
  // This thread runs no event loop: whatever the port reports is handled
  // where it happens, and only trace lines have a handler.
  compo->SetAsyncHandling(true);
  compo->OnAsyncTrace = [](TMirelKT5CommCompo&, const std::string& text, uint32_t code) {
    ScanLogFmt("[Trace] %s (W32ErrCode=%d)", text, code);
  };
  return compo;
}

void TMirelKT5Scanner::NoteIfDenied(const std::exception& e, const std::string& portName) {
  const auto* comm = dynamic_cast<const EMirelKT5CommError*>(&e);
  // An automatic search tries every serial port; only a USB one may be the adapter's.
  if (comm != nullptr && comm->ErrCode == CommErrorCode::OpenFailed && comm->W32ErrCode == EACCES &&
      (!targetPort_.empty() || IsUsbSerialPort(portName)))
    denied_.push_back(portName);
}

void TMirelKT5Scanner::Report(const std::string& found) {
  try {
    // Once the adapter answered elsewhere, a port it is not on needs no advice.
    if (found.empty() && onPortDenied_)
      for (const std::string& port : denied_)
        onPortDenied_(port);
    if (onPortFound_)
      onPortFound_(found);
  } catch (const std::exception& e) {
    ScanLogFmt("[Error] %s", e.what());
  }
  denied_.clear();
}

std::string TMirelKT5Scanner::Search() {
  if (targetPort_.empty()) {
    ScanLog("スレッドで接続ポート自動探索します。");
    std::vector<std::string> list;
    ProbeAllPorts(list);
    return list.empty() ? std::string() : list.front();
  }
  ScanLogFmt("スレッドで指定ポートチェックします。Port=[%s]", targetPort_);
  const auto compo = NewCompo();
  compo->SetPortName(targetPort_);
  compo->Open();
  TPhoneNumberPacket reply{};
  compo->ReadMemory(1, reply);
  compo->Close();
  return targetPort_;
}

void TMirelKT5Scanner::ProbeAllPorts(std::vector<std::string>& list) {
  const std::vector<std::string> ports = ports_();
  if (ports.empty())
    return;
  const auto compo = NewCompo();
  for (const std::string& port : ports)
    if (ProbePort(*compo, port))
      list.push_back(port);
}

bool TMirelKT5Scanner::ProbePort(TMirelKT5CommCompo& compo, const std::string& portName) {
  ScanLogFmt("%s ポートチェック開始", portName);
  bool answered = false;
  try {
    compo.SetPortName(portName);
    compo.Open();
    TPhoneNumberPacket reply{};
    compo.ReadMemory(1, reply);
    compo.Close();
    answered = true;
  } catch (const EMirelKT5CommError& e) {
    NoteIfDenied(e, portName);
    ScanLogFmt("[Error] %s (ErrCode=%d, W32ErrCode=%d)", e.what(), e.ErrCode, e.W32ErrCode);
    compo.Close();
  } catch (const std::exception& e) {
    ScanLogFmt("[Error] %s", e.what());
    compo.Close();
  }
  ScanLogFmt("%s ポートチェック終了", portName);
  return answered;
}

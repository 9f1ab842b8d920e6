#pragma once

#include <QMenu>
#include <functional>

class TMainForm;

using TMainFormHandler = void (TMainForm::*)();
// Runs one handler of the controller; tests put a recorder in its place.
using TMainFormInvoker = std::function<void(TMainFormHandler)>;

// Calls the handler on MainForm when it exists; an exception is logged, never
// passed to the event loop.
void InvokeMainForm(TMainFormHandler handler);

// The tray menu PopupMenu1: each item runs its handler of the controller.
class TTrayMenu : public QMenu {
  Q_OBJECT
public:
  explicit TTrayMenu(TMainFormInvoker invoke = InvokeMainForm);
};

class TTrayIcon;

// Makes `tray` the program's TrayIcon1: tip "Teloria II", both buttons open
// `menu`, a double click runs TrayIcon1DblClick.
void AttachTrayMenu(TTrayIcon& tray, TTrayMenu& menu, TMainFormInvoker invoke = InvokeMainForm);

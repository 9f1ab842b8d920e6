#pragma once

#include "common2/MirelKT5Comm.h"
#include "fakes/ControllerHarness.h"
#include "ui/UiWindows.h"

#include <string>

// The controller's harness with the autostart folder inside the test folder
// and the controller started on request with AppSettings as they are, and
// handed to the windows as the program does.
class TUiHarness : public TControllerHarness {
public:
  TUiHarness() { setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1); }
  ~TUiHarness() {
    Windows().SetController(nullptr);
    unsetenv("XDG_CONFIG_HOME");
  }

  std::string Path(const std::string& name) const { return home.Path() + "/" + name; }

  bool StartController() {
    std::filesystem::copy_file(BinFolder() + "/teloria2.db3.init", Path("teloria2.db3.init"),
                               std::filesystem::copy_options::overwrite_existing);
    const bool started = Start({"teloria2", "-arun"});
    Windows().SetController(form.get());
    return started;
  }

  bool WaitConnected(int timeoutMs = 10000) {
    return QTest::qWaitFor([this] { return form->Comm().IsOpen(); }, timeoutMs);
  }
};

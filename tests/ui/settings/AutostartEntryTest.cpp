// The log-on entry of the launcher, in a configuration folder of the test.
#include "ui/AutostartEntry.h"
#include "support/TempFolder.h"

#include "platform/ProgramPaths.h"

#include <QTest>
#include <filesystem>
#include <sys/stat.h>

class AutostartEntryTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TTempFolder> folder;

private slots:
  void init() {
    folder = std::make_unique<TTempFolder>();
    setenv("XDG_CONFIG_HOME", (folder->Path() + "/cfg").c_str(), 1);
  }
  void cleanup() {
    unsetenv("XDG_CONFIG_HOME");
    folder.reset();
  }

  void writtenAndRemoved() {
    const std::string path = folder->Path() + "/cfg/autostart/teloria2.desktop";
    QCOMPARE(AutostartEntryPath(), path);
    UpdateAutostartEntry(true);
    const std::string text = ReadFile(path);
    QVERIFY(text.rfind("[Desktop Entry]\n", 0) == 0);
    QVERIFY(text.find("\nType=Application\n") != std::string::npos);
    QVERIFY(text.find("\nExec=\"" + ExecutableFolder() + "/teloria2-launcher\"\n") !=
            std::string::npos);
    QCOMPARE(mkfifo((path + ".tmp").c_str(), 0600), 0); // a FIFO in the way stalls nothing
    UpdateAutostartEntry(true);                         // again: replaced, not doubled
    QCOMPARE(ReadFile(path), text);
    UpdateAutostartEntry(false);
    QVERIFY(!std::filesystem::exists(path));
    UpdateAutostartEntry(false); // nothing to remove is no failure
  }

  void homeWithoutXdgConfig() {
    setenv("XDG_CONFIG_HOME", "relative/cfg", 1); // not absolute: ignored
    const std::string home = getenv("HOME") != nullptr ? getenv("HOME") : "";
    setenv("HOME", folder->Path().c_str(), 1);
    const std::string path = AutostartEntryPath();
    setenv("HOME", home.c_str(), 1);
    QCOMPARE(path, folder->Path() + "/.config/autostart/teloria2.desktop");
  }

  void specialCharactersInThePathAreQuoted() {
    const std::string text = AutostartEntryText("/opt/my apps/50%\"$x\\/teloria2-launcher");
    QVERIFY(text.find("\nExec=\"/opt/my apps/50%%\\\\\"\\\\$x\\\\\\\\/teloria2-launcher\"\n") !=
            std::string::npos);
    QVERIFY(text.find("\nTryExec=/opt/my apps/50%\"$x\\\\/teloria2-launcher\n") !=
            std::string::npos);
  }

  void aFileInTheWayIsReported() {
    WriteFile(folder->Path() + "/cfg", "not a folder");
    try {
      UpdateAutostartEntry(true);
      QFAIL("no error");
    } catch (const std::exception& e) {
      QCOMPARE(std::string(e.what()), AutostartEntryPath() + " に書き込めません");
    }
  }
};

QTEST_MAIN(AutostartEntryTest)
#include "AutostartEntryTest.moc"

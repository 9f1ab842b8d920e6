// teloria2-launcher: started at log-on; starts teloria2 with "-autorun" when
// automatic start is enabled. It shows nothing, writes nothing and always
// exits 0.
#include "base/IniFile.h"
#include "platform/ProcessStart.h"
#include "platform/ProgramPaths.h"

#include <cstdlib>

int main() {
  try {
    // The program's own folder rule, without creating its data folder.
    const TIniFile ini(ChooseProgramFolder() + "/teloria2.ini");
    if (ini.ReadInteger("Settings", "AutoRun", 0) == 1) {
      const std::string folder = ExecutableFolder();
      StartDetached(folder + "/teloria2", {"-autorun"}, folder);
    }
  } catch (...) {
    // Nothing to report to: a failed start is silent by design.
  }
  return 0;
}

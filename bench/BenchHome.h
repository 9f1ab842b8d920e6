#pragma once

#include <cstdlib>
#include <filesystem>

// A fresh program folder of its own under the temporary folder, with its
// runtime folder and the database template; the program's paths point there.
inline std::filesystem::path PrepareBenchHome(const char* name) {
  const std::filesystem::path home = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home / "run");
  std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
  setenv("TELORIA2_HOME", home.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
  std::filesystem::copy_file(TELORIA_DB_TEMPLATE, home / "teloria2.db3.init");
  return home;
}

#pragma once

#include "ProgramProcess.h"
#include "base/CodePage.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

// The settings section naming the broker on this machine.
inline std::string ShareSettings(int port) {
  return "[Settings.Share]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\n";
}

// A sending station without an adapter, named `name`.
inline std::string StationSettings(const std::string& share, const std::string& name) {
  return "[Settings]\r\nMirelKT5Port=/nonexistent\r\n" + share + "Mode=1\r\nStation=" + name +
         "\r\n";
}

// A program folder with its runtime folder and settings.
inline std::string Folder(const std::filesystem::path& home, const char* name,
                          const std::string& ini) {
  const std::filesystem::path folder = home / name;
  std::filesystem::create_directories(folder / "run");
  std::filesystem::permissions(folder / "run", std::filesystem::perms::owner_all);
  std::ofstream(folder / "teloria2.ini", std::ios::binary) << Utf8ToCp932(ini);
  return folder.string();
}

// The program of that folder, offscreen.
inline std::unique_ptr<TProgramProcess> Start(const std::string& folder) {
  return std::make_unique<TProgramProcess>(
      TELORIA2_PROGRAM, std::vector<std::string>{"-arun"},
      std::vector<std::string>{"QT_QPA_PLATFORM=offscreen", "TELORIA2_HOME=" + folder,
                               "XDG_RUNTIME_DIR=" + folder + "/run"},
      folder + "/output.txt");
}

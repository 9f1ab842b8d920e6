#pragma once

#include "ui/FileDialogs.h"

#include <deque>
#include <string>
#include <vector>

// Answers the file dialogs from a script and records how they were asked.
// Installed for the life of the object.
class TFakeFileDialogs final : public IFileDialogs {
public:
  struct TCall {
    std::string Title, Filter, DefaultExt, FileName;
  };

  TFakeFileDialogs() { SetFileDialogs(this); }
  ~TFakeFileDialogs() override { SetFileDialogs(nullptr); }
  TFakeFileDialogs(const TFakeFileDialogs&) = delete;
  TFakeFileDialogs& operator=(const TFakeFileDialogs&) = delete;

  std::string OpenFile(const std::string& title, const std::string& filter,
                       const std::string& defaultExt) override {
    Calls.push_back({title, filter, defaultExt, ""});
    return Next();
  }
  std::string SaveFile(const std::string& title, const std::string& filter,
                       const std::string& defaultExt, const std::string& fileName) override {
    Calls.push_back({title, filter, defaultExt, fileName});
    return Next();
  }

  // Paths the coming dialogs return, in order; "" (cancel) once they run out.
  std::deque<std::string> Paths;
  std::vector<TCall> Calls;

private:
  std::string Next() {
    if (Paths.empty())
      return "";
    std::string path = Paths.front();
    Paths.pop_front();
    return path;
  }
};

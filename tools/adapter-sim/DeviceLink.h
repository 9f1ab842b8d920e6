#pragma once

#include <string>

// A symbolic link at a fixed path that follows the current device node, so
// that the program can keep one port name across unplug and replug.
class TDeviceLink {
public:
  // An empty path means no link is kept.
  explicit TDeviceLink(std::string path) : path_(std::move(path)) {}
  ~TDeviceLink() { Remove(); }
  TDeviceLink(const TDeviceLink&) = delete;
  TDeviceLink& operator=(const TDeviceLink&) = delete;

  // Replaces an existing link in one step; throws Exception when the path
  // holds something other than a link.
  void PointTo(const std::string& target);
  // Removes the link if it still points where this object put it.
  void Remove();

private:
  std::string path_;
  std::string target_;
};

#include "platform/SerialPorts.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string_view>
#include <sys/stat.h>

namespace {

const char* const UsbPortPrefixes[] = {"/dev/ttyUSB", "/dev/ttyACM", "/dev/serial/"};

struct TPortName {
  std::string Name;
  long Number;
};

// "ttyUSB10" → 10; names with other tails sort after the numbered ones.
long TailNumber(const std::string& name, size_t prefixLength) {
  const std::string tail = name.substr(prefixLength);
  if (tail.empty() || tail.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  return std::strtol(tail.c_str(), nullptr, 10);
}

std::vector<TPortName> NamesWithPrefix(const std::string& folder, const std::string& prefix) {
  std::vector<TPortName> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr)
    return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0)
      names.push_back({name, TailNumber(name, prefix.size())});
  }
  closedir(dir);
  std::sort(names.begin(), names.end(), [](const TPortName& a, const TPortName& b) {
    if ((a.Number < 0) != (b.Number < 0))
      return b.Number < 0;
    return a.Number != b.Number ? a.Number < b.Number : a.Name < b.Name;
  });
  return names;
}

// The kernel creates ttyS nodes for every legacy port slot; only a slot whose
// UART type is known has hardware behind it.
bool HasUart(const std::string& sysTtyFolder, const std::string& name) {
  std::ifstream typeFile(sysTtyFolder + "/" + name + "/type");
  int type = 0;
  return typeFile >> type && type != 0;
}

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The run of digits at `pos` without its leading zeros; moves `pos` past it.
std::string_view NumberAt(const std::string& text, size_t& pos) {
  size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos]))
    ++pos;
  while (start + 1 < pos && text[start] == '0')
    ++start;
  return std::string_view(text).substr(start, pos - start);
}

// Names compared with runs of digits taken as numbers.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const std::string_view x = NumberAt(a, i);
      const std::string_view y = NumberAt(b, j);
      if (x.size() != y.size())
        return x.size() < y.size();
      if (x != y)
        return x < y;
    } else if (a[i] != b[j]) {
      return a[i] < b[j];
    } else {
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

// A link whose device node is there (an unplugged adapter's link may linger).
bool DeviceBehind(const std::string& link) {
  struct stat st {};
  return ::stat(link.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace

bool IsUsbSerialPort(const std::string& path) {
  return std::any_of(std::begin(UsbPortPrefixes), std::end(UsbPortPrefixes),
                     [&](const char* prefix) { return path.rfind(prefix, 0) == 0; });
}

void EnumSerialPortsIn(const std::string& devFolder, const std::string& sysTtyFolder,
                       const std::string& extraPorts, std::vector<std::string>& list) {
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    const bool legacy = std::string(prefix) == "ttyS";
    for (const TPortName& port : NamesWithPrefix(devFolder, prefix)) {
      if (!legacy || HasUart(sysTtyFolder, port.Name))
        list.push_back(devFolder + "/" + port.Name);
    }
  }
  size_t start = 0;
  while (start <= extraPorts.size()) {
    const size_t end = std::min(extraPorts.find(':', start), extraPorts.size());
    if (end > start)
      list.push_back(extraPorts.substr(start, end - start));
    start = end + 1;
  }
}

void EnumSerialPorts(std::vector<std::string>& list) {
  const char* extra = std::getenv("TELORIA2_EXTRA_PORTS");
  EnumSerialPortsIn("/dev", "/sys/class/tty", extra != nullptr ? extra : "", list);
}

void AppendStablePortNamesIn(const std::string& byIdFolder, std::vector<std::string>& list) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(byIdFolder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string path = byIdFolder + "/" + entry->d_name;
      if (entry->d_name[0] != '.' && DeviceBehind(path))
        names.push_back(path);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  for (const std::string& name : names)
    if (std::find(list.begin(), list.end(), name) == list.end())
      list.push_back(name);
}

void EnumSerialPortChoices(std::vector<std::string>& list) {
  EnumSerialPorts(list);
  AppendStablePortNamesIn("/dev/serial/by-id", list);
}

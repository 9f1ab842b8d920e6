#include "settings/SharedValue.h"

#include "platform/SharedMemory.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

std::mutex tableMutex;
std::map<int, std::unique_ptr<TSharedMemory>> published;
int lastHandle = 0;

void StoreLittleEndian(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t LoadLittleEndian(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | p[i];
  return v;
}

} // namespace

int PublishSharedValue(uint32_t value, const std::string& name) {
  auto block = std::make_unique<TSharedMemory>(name, 4, TSharedMemory::TMode::Create);
  if (!block->Valid())
    return 0;
  StoreLittleEndian(block->Data(), value);
  std::lock_guard lock(tableMutex);
  const int handle = ++lastHandle;
  published.emplace(handle, std::move(block));
  return handle;
}

void CloseSharedValue(int handle) {
  std::lock_guard lock(tableMutex);
  published.erase(handle);
}

bool SharedValueLost(int handle) {
  std::lock_guard lock(tableMutex);
  const auto it = published.find(handle);
  return it != published.end() && it->second->Lost();
}

uint32_t ReadSharedValue(const std::string& name) {
  const TSharedMemory block(name, 4, TSharedMemory::TMode::Open);
  uint8_t bytes[4];
  if (!block.CopyOut(bytes))
    return 0;
  return LoadLittleEndian(bytes);
}

#include "core/NumberSimReceiver.h"

#include "common2/GroupEventRecord.h"
#include "common2/ReceivePacketRecord.h"
#include "platform/SharedMemory.h"

#include <algorithm>
#include <cerrno>
#include <fmt/printf.h>

namespace {

std::unique_ptr<TSharedMemory> CreateBlock(const char* name, size_t size, const char* failure,
                                           std::string& lastError) {
  errno = 0;
  auto block = std::make_unique<TSharedMemory>(name, size, TSharedMemory::TMode::Create);
  if (block->Valid() && block->Size() >= size)
    return block;
  lastError = fmt::sprintf(failure, errno);
  return nullptr;
}

} // namespace

TNumberSimReceiver::TNumberSimReceiver() {
  groupBlock_ = CreateBlock(GroupBlockName, TGroupEventRecord::Size,
                            "ファイル作成できません。(Error=%d)", lastError_);
  memoryBlock_ = CreateBlock(MemoryBlockName, TReceivePacketRecord::Size,
                             "ファイル作成できません。2(Error=%d)", lastError_);
}

TNumberSimReceiver::~TNumberSimReceiver() = default;

std::string TNumberSimReceiver::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

bool TNumberSimReceiver::ReadGroupEvent(IKT5GroupEventArgs& event) {
  std::lock_guard lock(mutex_);
  if (!groupBlock_)
    return false;
  TGroupEventRecord record;
  std::copy_n(groupBlock_->Data(), record.Bytes.size(), record.Bytes.begin());
  event = std::make_shared<TKT5GroupEventArgs>();
  UnpackGroupEvent(record, *event);
  lastError_.clear();
  return true;
}

bool TNumberSimReceiver::ReadMemoryRecord(IKT5MirelKT5ReceivePacket& packet) {
  std::lock_guard lock(mutex_);
  if (!memoryBlock_)
    return false;
  TReceivePacketRecord record;
  std::copy_n(memoryBlock_->Data(), record.Bytes.size(), record.Bytes.begin());
  packet = NewReceivePacket();
  UnpackReceivePacket(record, *packet);
  lastError_.clear();
  return true;
}

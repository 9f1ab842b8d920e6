#include "core/NumberSimReceiver.h"

#include "common2/GroupEventRecord.h"
#include "common2/ReceivePacketRecord.h"
#include "platform/SharedMemory.h"
#include "settings/Logging.h"

#include <cerrno>
#include <fmt/printf.h>

namespace {

// A block that cannot be made ours (another user's block holds the name)
// leaves the receiver without it, as the design allows; said in the log.
std::unique_ptr<TSharedMemory> CreateBlock(const char* name, size_t size, const char* failure,
                                           std::string& lastError) {
  auto block = std::make_unique<TSharedMemory>(name, size, TSharedMemory::TMode::Create);
  if (block->Valid())
    return block;
  lastError = fmt::sprintf(failure, block->Error());
  LogFmt(llError, "共有メモリを使用できません。[%s] %s", name, lastError);
  return nullptr;
}

// The simulator may have cut or grown the block: its bytes are read only
// when it still has the record's size.
template <typename TRecord>
bool CopyRecord(const TSharedMemory& block, TRecord& record, const char* failure,
                std::string& lastError) {
  if (block.CopyOut(record.Bytes.data()))
    return true;
  lastError = fmt::sprintf(failure, errno);
  return false;
}

} // namespace

TNumberSimReceiver::TNumberSimReceiver() {
  CreateBlocks();
}

void TNumberSimReceiver::CreateBlocks() {
  groupBlock_ = CreateBlock(GroupBlockName, TGroupEventRecord::Size,
                            "ファイル作成できません。(Error=%d)", lastError_);
  memoryBlock_ = CreateBlock(MemoryBlockName, TReceivePacketRecord::Size,
                             "ファイル作成できません。2(Error=%d)", lastError_);
}

bool TNumberSimReceiver::BlocksLost() const {
  std::lock_guard lock(mutex_);
  return (groupBlock_ && groupBlock_->Lost()) || (memoryBlock_ && memoryBlock_->Lost());
}

void TNumberSimReceiver::MakeBlocksAgain() {
  std::lock_guard lock(mutex_);
  CreateBlocks();
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
  if (!CopyRecord(*groupBlock_, record, "格納データ取得に失敗しました。(Error=%d)", lastError_))
    return false;
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
  if (!CopyRecord(*memoryBlock_, record, "格納データ取得に失敗しました。2(Error=%d)", lastError_))
    return false;
  packet = NewReceivePacket();
  UnpackReceivePacket(record, *packet);
  lastError_.clear();
  return true;
}

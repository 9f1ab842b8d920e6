#pragma once

#include "base/UniqueFd.h"
#include "core/PendingRecord.h"

#include <cstddef>
#include <string>
#include <vector>

// The pending writes kept on disk, so that the program ending before the
// database takes them loses none: "teloria2.pending" in the program folder,
// private to the user, one line per record, each on the disk before Append
// returns. The file keeps room for its records ahead of need (zeros that
// later records overwrite), so that a disk that fills up, refusing the
// database its writes, can still keep them. Only a regular file of the
// user's own that nobody else may write is read; another is moved aside.
class TPendingJournal {
public:
  // The room kept: some thousands of records.
  static constexpr size_t ReserveBytes = 256 * 1024;

  // Reads what an earlier run left and keeps room for this run's records.
  // A file that cannot be read now is left as it is for the next start and
  // keeps no record of this run.
  std::vector<TPendingRecord> Open();
  // False when the record could not be kept.
  bool Append(const TPendingRecord& record);
  // Every record kept has been written: the file keeps only its room.
  void Clear();

private:
  std::vector<TPendingRecord> Read(const std::string& path);
  std::vector<TPendingRecord> Replace(const std::string& path, const std::string& why);
  void Create(const std::string& path);
  void Reserve();
  void CleanAfter(size_t end, size_t dirtyEnd);

  TUniqueFd fd_;
  // Where the next record goes.
  size_t end_ = 0;
};

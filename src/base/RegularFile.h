#pragma once

#include "base/UniqueFd.h"

#include <string>
#include <sys/types.h>

// The one way the program opens its own files (settings, window states,
// logs, shipped files, debug.txt, the lock and the shared blocks): only a
// regular file is opened, and opening never blocks, so a FIFO or a device in
// a file's place can neither stall the program nor be acted on by it.
// `flags` are open(2) flags; O_CLOEXEC and O_NOCTTY are always added. On
// failure the result is invalid and errno tells why: EISDIR for a folder,
// EINVAL for anything else that is no regular file.
TUniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode = 0600);
// The same for `name` in the folder open as `folder`.
TUniqueFd OpenRegularFileAt(int folder, const std::string& name, int flags, mode_t mode = 0600);

// Reads what is left of an open file, at most `limit` bytes in all; false,
// with errno set, when it cannot be read.
bool ReadOpenFile(int fd, std::string& bytes, size_t limit = std::string::npos);
// Reads a regular file from its start, at most `limit` bytes; false, with
// errno set, when it cannot be opened or read.
bool ReadRegularFile(const std::string& path, std::string& bytes, size_t limit = std::string::npos);

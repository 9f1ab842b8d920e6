#pragma once

#include <cstdint>
#include <string>

// One 32-bit value that other processes of the user can read by name.
// Publish returns a handle (0 on failure) that keeps the value visible until
// CloseSharedValue; it replaces a block of ours left by a crash and fails on
// a block of another user. A name nobody published, or that another user
// holds, reads as 0.
int PublishSharedValue(uint32_t value, const std::string& name);
void CloseSharedValue(int handle);
// The published value can no longer be read by name (its folder was
// removed): publish it anew.
bool SharedValueLost(int handle);
uint32_t ReadSharedValue(const std::string& name);

#pragma once

// Removes from RuntimeFolder() the socket files of endpoints whose process
// is gone (a crash, kill -9) and that nobody answers at. A file of a live
// process stays, even when it does not answer yet (it may be starting).
// Called by the holder of the single-instance lock, which owns the folder.
void RemoveDeadEndpoints();

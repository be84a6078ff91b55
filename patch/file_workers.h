#pragma once
// Work on an archive's file entries, fanned out to worker threads. The coordinator (the caller's
// thread) lists the entries, starts the workers, and joins every one of them before it returns;
// each worker opens an archive handle of its own over the same bytes (a handle keeps a cursor and
// an output buffer, so it is never shared) and takes whole entries, largest first, from a shared
// counter. Workers only report each file's result; the coordinator combines them.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "archive/archive.h"

namespace patch {

// Works on one file with the handle of the thread that does it; false notes a failure.
using FileWork = std::function<bool(ArchiveHandle archive, int32_t index, const std::u16string& target)>;

// One worker per core for inflating, and as many again to overlap files that a scanner holds
// (waits, not work); never more than kMostWorkers.
inline constexpr uint32_t kMostWorkers = 8;
uint32_t DefaultWorkerCount();

// Runs work on every file entry of `archive` (the bytes it was opened from), with WalkFileEntries'
// rules and result. One worker: in index order on the caller's thread, over `archive` itself.
// More: on that many threads (fewer when there are fewer files); entries whose paths would meet
// (one name twice, or a name and its backup's) keep the one-worker order instead.
bool WorkOnFileEntries(ArchiveHandle archive, std::span<const uint8_t> bytes, const std::u16string& gameDirectory,
                       uint32_t workers, const FileWork& work);

}  // namespace patch

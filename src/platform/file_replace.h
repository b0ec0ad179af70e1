// Replacing a whole file safely (a copy beside it, written through and renamed over it) and telling
// whether a file changed since it was last seen: the system-dependent half of the INI files. Any thread;
// callers serialise the replacements of one file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora {

// The identity of a file's state: a change of any field means the file was written or replaced.
struct TFileStamp {
    bool Exists = false;
    uint64_t Device = 0, Inode = 0, Size = 0; // Device and Inode: the volume and file ids on Windows
    int64_t ModifiedNs = 0;
    bool operator==(const TFileStamp&) const = default;
};

TFileStamp FileStamp(const std::filesystem::path& file);

// Writes `bytes` to a new file beside `target` (keeping the target's permissions), flushes it to the disk
// and renames it over `target`, so that a reader sees either the old file or the new one, never a part.
// Copies left behind by saves of processes that no longer run are removed first. False when any step
// failed; the target is then as it was.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);

// The temporary copies beside `target` are named ".<name>.<pid>.<counter>.tmp".
std::string TempCopyPrefix(const std::filesystem::path& target);
// The process id in the name of a temporary copy of `prefix`, or 0 when the name is not one.
long TempCopyOwner(std::string_view name, std::string_view prefix);

} // namespace velmora

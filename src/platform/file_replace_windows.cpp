// Replacing a file and its stamp through the Windows file API: the copy is written through
// (FlushFileBuffers) and moved over the target with MoveFileExW, which replaces an existing file.
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/file_replace.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

bool ProcessRuns(long pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but another user's
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Removes the temporary copies that saves of processes no longer running left behind.
void RemoveStaleTemps(const fs::path& target) {
    const std::string prefix = TempCopyPrefix(target);
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(target.parent_path(), error)) {
        const long pid = TempCopyOwner(entry.path().filename().string(), prefix);
        if (pid != 0 && pid != long(GetCurrentProcessId()) && !ProcessRuns(pid))
            DeleteFileW(entry.path().c_str());
    }
}

// A new file beside `target` that no one else uses; INVALID_HANDLE_VALUE on failure.
HANDLE CreateTempBeside(const fs::path& target, fs::path& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target;
        temp.replace_filename(Utf8Path(TempCopyPrefix(target) + std::to_string(GetCurrentProcessId()) + "." +
                                       std::to_string(counter++) + ".tmp"));
        HANDLE handle =
            CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return handle;
    }
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace

TFileStamp FileStamp(const fs::path& file) {
    HANDLE handle = CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    if (!known)
        return {};
    const auto join = [](DWORD high, DWORD low) { return (uint64_t(high) << 32) | low; };
    // FILETIME counts 100 ns.
    return {true, info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
            join(info.nFileSizeHigh, info.nFileSizeLow),
            int64_t(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)) * 100};
}

bool ReplaceFileContents(const fs::path& target, std::string_view bytes) {
    RemoveStaleTemps(target);
    fs::path temp;
    HANDLE handle = CreateTempBeside(target, temp);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool written = WriteAll(handle, bytes) && FlushFileBuffers(handle);
    written = CloseHandle(handle) && written;
    if (!written ||
        !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

} // namespace velmora

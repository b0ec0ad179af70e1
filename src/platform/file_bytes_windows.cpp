// Whole files as bytes through the Windows file API (wide names, so that any folder name works).
#include <windows.h>

#include "platform/text_encoding.h"

namespace velmora {

std::optional<std::string> ReadFileBytes(const std::filesystem::path& file) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<std::string> bytes;
    // A folder or a device is not a file to read.
    if (GetFileType(handle) == FILE_TYPE_DISK) {
        bytes.emplace();
        char buffer[65536];
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(handle, buffer, sizeof(buffer), &got, nullptr)) {
                bytes.reset();
                break;
            }
            if (got == 0)
                break;
            bytes->append(buffer, got);
        }
    }
    CloseHandle(handle);
    return bytes;
}

} // namespace velmora

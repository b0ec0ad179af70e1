// The system's folders on Windows: the module file name for the executable, %LOCALAPPDATA% (the
// per-user, per-machine application data) for the user's files.
#include <windows.h>

#include <shlobj.h>
#include <string>

#include "platform/system_folders.h"

namespace velmora {

namespace fs = std::filesystem;

fs::path ExecutablePath() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (length == 0)
            return {};
        if (length < name.size()) {
            name.resize(length);
            return fs::path(name);
        }
        name.resize(name.size() * 2); // cut off: a longer name than MAX_PATH
    }
}

// Access rights alone do not tell (folders under Program Files look writable to an administrator's
// token yet are redirected): a file is made and removed.
bool IsWritableFolder(const fs::path& folder) {
    if (folder.empty())
        return false;
    const fs::path probe = folder / (".velmora-write-test-" + std::to_string(GetCurrentProcessId()));
    HANDLE handle = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

// %LOCALAPPDATA%\Velmora, or the temporary folder when the system names none.
fs::path UserDataFolder() {
    PWSTR folder = nullptr;
    fs::path result;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder) == S_OK)
        result = fs::path(folder) / "Velmora";
    CoTaskMemFree(folder);
    if (result.empty())
        result = fs::temp_directory_path() / "Velmora";
    return result;
}

} // namespace velmora

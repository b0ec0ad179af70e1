// The system's folders on Linux: /proc for the executable, the XDG data folder for the user.
#include <cstdlib>
#include <unistd.h>

#include "platform/system_folders.h"

namespace velmora {

namespace fs = std::filesystem;

fs::path ExecutablePath() {
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self;
}

bool IsWritableFolder(const fs::path& folder) {
    return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
}

// $XDG_DATA_HOME/velmora, or ~/.local/share/velmora.
fs::path UserDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return fs::path(xdg) / "velmora";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".local" / "share" / "velmora";
    return fs::temp_directory_path() / "velmora";
}

} // namespace velmora

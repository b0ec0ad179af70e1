#include "platform/program_folders.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace velmora {

namespace fs = std::filesystem;

namespace {

std::mutex folderLock;
fs::path programFolder;

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

// Takes "--home DIR" or "--home=DIR" out of argv; returns DIR or "".
std::string TakeHomeOption(int& argc, char** argv) {
    std::string home;
    int out = 1;
    for (int in = 1; in < argc; ++in) {
        if (std::strcmp(argv[in], "--home") == 0 && in + 1 < argc) {
            home = argv[++in];
        } else if (std::strncmp(argv[in], "--home=", 7) == 0) {
            home = argv[in] + 7;
        } else {
            argv[out++] = argv[in];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    return home;
}

fs::path DefaultFolder() {
    fs::path exeFolder = ExecutablePath().parent_path();
    if (IsWritableFolder(exeFolder))
        return exeFolder;
    return UserDataFolder();
}

} // namespace

bool CopyMissingFiles(const fs::path& from, const fs::path& to) {
    std::error_code error;
    bool allCopied = true;
    for (fs::recursive_directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        fs::path target = to / fs::relative(it->path(), from, error);
        if (fs::exists(target, error))
            continue;
        fs::create_directories(target.parent_path(), error);
        if (!fs::copy_file(it->path(), target, fs::copy_options::skip_existing, error))
            allCopied = false;
    }
    return allCopied && !error;
}

void InitProgramFolder(int& argc, char** argv) {
    fs::path folder = TakeHomeOption(argc, argv);
    if (folder.empty()) {
        if (const char* env = std::getenv("VELMORA_HOME"); env && *env)
            folder = env;
    }
    if (folder.empty())
        folder = DefaultFolder();
    std::error_code error;
    fs::create_directories(folder, error);
    SetProgramFolder(fs::absolute(folder, error));

    // A program folder of its own starts with the shipped screens, access data and dictionaries.
    fs::path shipped = ExecutablePath().parent_path() / "DATA";
    if (fs::is_directory(shipped, error) && !fs::equivalent(shipped, ProgramFolder() / "DATA", error))
        CopyMissingFiles(shipped, ProgramFolder() / "DATA");
}

fs::path ProgramFolder() {
    std::lock_guard guard(folderLock);
    if (programFolder.empty())
        programFolder = DefaultFolder();
    return programFolder;
}

void SetProgramFolder(const fs::path& folder) {
    std::lock_guard guard(folderLock);
    programFolder = folder;
}

fs::path SettingsFile() {
    return ProgramFolder() / SettingsFileName;
}

} // namespace velmora

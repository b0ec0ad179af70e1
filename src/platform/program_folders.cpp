#include "platform/program_folders.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/system_folders.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

std::mutex folderLock;
fs::path programFolder;

// Takes "--home DIR" or "--home=DIR" out of argv; returns DIR, or nothing when the option is not
// given.
std::optional<std::string> TakeHomeOption(int& argc, char** argv) {
    std::optional<std::string> home;
    int out = 1;
    for (int in = 1; in < argc; ++in) {
        if (std::strcmp(argv[in], "--home") == 0 && in + 1 < argc) {
            home = argv[++in];
        } else if (std::strncmp(argv[in], "--home=", 7) == 0) {
            home = std::string(argv[in] + 7);
        } else {
            argv[out++] = argv[in];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    return home;
}

// An installed copy (its DATA under ../share/velmora) keeps the user's files in the user's folder even
// when it could write beside itself (as root): /usr/bin is no place for LOGS.
fs::path DefaultFolder() {
    fs::path exeFolder = ExecutablePath().parent_path();
    std::error_code error;
    bool installed = !fs::is_directory(exeFolder / "DATA", error) && !ShippedDataFolder(exeFolder).empty();
    if (!installed && IsWritableFolder(exeFolder))
        return exeFolder;
    return UserDataFolder();
}

} // namespace

fs::path ShippedDataFolder(const fs::path& exeFolder) {
    std::error_code error;
    for (fs::path candidate : {exeFolder / "DATA", exeFolder.parent_path() / "share" / "velmora" / "DATA"}) {
        if (fs::is_directory(candidate, error))
            return candidate;
    }
    return {};
}

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

std::string InitProgramFolder(int& argc, char** argv) {
    const std::optional<std::string> home = TakeHomeOption(argc, argv);
    // An empty folder name would silently mean the executable's folder: the user asked for another one.
    if (home && home->empty())
        return "--home wants a folder, not an empty name";
    fs::path folder = home ? Utf8Path(*home) : fs::path();
    if (folder.empty()) {
        if (const char* env = std::getenv("VELMORA_HOME"); env && *env)
            folder = Utf8Path(env);
    }
    if (folder.empty())
        folder = DefaultFolder();
    std::error_code error;
    fs::create_directories(folder, error);
    SetProgramFolder(fs::absolute(folder, error));

    // A program folder of its own starts with the shipped screens, access data and dictionaries.
    fs::path shipped = ShippedDataFolder(ExecutablePath().parent_path());
    if (!shipped.empty() && !fs::equivalent(shipped, ProgramFolder() / "DATA", error))
        CopyMissingFiles(shipped, ProgramFolder() / "DATA");
    return {};
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

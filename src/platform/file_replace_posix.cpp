// Replacing a file and its stamp through the POSIX calls (Linux).
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_replace.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(size_t(written));
    }
    return true;
}

// Removes the temporary copies that saves of processes no longer running left behind (a save cut short
// between writing the copy and renaming it). Copies of running processes may be in use and stay.
void RemoveStaleTemps(const fs::path& target) {
    const std::string prefix = TempCopyPrefix(target);
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(target.parent_path(), error)) {
        const long pid = TempCopyOwner(entry.path().filename().string(), prefix);
        if (pid == 0 || pid == long(getpid()))
            continue;
        if (kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            unlink(entry.path().c_str());
    }
}

// Opens a new file beside `target` that no one else uses; -1 on failure.
int CreateTempBeside(const fs::path& target, fs::path& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target;
        temp.replace_filename(Utf8Path(TempCopyPrefix(target) + std::to_string(getpid()) + "." +
                                       std::to_string(counter++) + ".tmp"));
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

TFileStamp FileStamp(const fs::path& file) {
    struct stat info;
    if (stat(file.c_str(), &info) != 0)
        return {};
    return {true, uint64_t(info.st_dev), uint64_t(info.st_ino), uint64_t(info.st_size),
            int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

bool ReplaceFileContents(const fs::path& target, std::string_view bytes) {
    RemoveStaleTemps(target);
    fs::path temp;
    int fd = CreateTempBeside(target, temp);
    if (fd < 0)
        return false;
    struct stat info;
    bool written = (stat(target.c_str(), &info) != 0 || fchmod(fd, info.st_mode & 07777) == 0) &&
                   WriteAll(fd, bytes) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temp.c_str(), target.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace velmora

// Whole files as bytes through the POSIX calls (Linux).
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text_encoding.h"

namespace velmora {

std::optional<std::string> ReadFileBytes(const std::filesystem::path& file) {
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> bytes;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        bytes.emplace();
        char buffer[65536];
        for (;;) {
            ssize_t got = read(fd, buffer, sizeof(buffer));
            if (got > 0) {
                bytes->append(buffer, size_t(got));
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                bytes.reset();
                break;
            }
        }
    }
    close(fd);
    return bytes;
}

} // namespace velmora

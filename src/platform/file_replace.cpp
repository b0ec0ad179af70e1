#include "platform/file_replace.h"

#include <charconv>

namespace velmora {

std::string TempCopyPrefix(const std::filesystem::path& target) {
    return "." + target.filename().string() + ".";
}

long TempCopyOwner(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || !name.ends_with(".tmp"))
        return 0;
    long pid = 0;
    const char* digits = name.data() + prefix.size();
    const auto [end, parsed] = std::from_chars(digits, name.data() + name.size(), pid);
    if (parsed != std::errc() || *end != '.' || pid <= 0)
        return 0;
    return pid;
}

} // namespace velmora

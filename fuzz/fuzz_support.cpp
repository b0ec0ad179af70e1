#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <unistd.h>

#include "fuzz_target.h"

#include "platform/program_folders.h"

namespace velmora::fuzz {

namespace {

std::map<std::string, TFuzzEntry, std::less<>>& Targets() {
    static std::map<std::string, TFuzzEntry, std::less<>> targets;
    return targets;
}

struct TFolder {
    std::filesystem::path Path;
    TFolder() {
        Path = std::filesystem::temp_directory_path() / ("velmora-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(Path);
        SetProgramFolder(Path);
    }
    ~TFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
};

} // namespace

bool RegisterTarget(const char* name, TFuzzEntry entry) {
    Targets()[name] = entry;
    return true;
}

TFuzzEntry FindTarget(std::string_view name) {
    auto found = Targets().find(name);
    return found == Targets().end() ? nullptr : found->second;
}

void PropertyFailed(const char* what, const char* file, int line, std::string_view detail) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n  %.*s\n", file, line, what, int(detail.size()),
                 detail.data());
    std::fflush(stderr);
    std::abort();
}

const std::filesystem::path& FuzzFolder() {
    static TFolder folder;
    return folder.Path;
}

std::filesystem::path WriteFuzzFile(const std::filesystem::path& relative, std::string_view bytes) {
    const std::filesystem::path full = FuzzFolder() / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return full;
}

std::string_view TFuzzInput::Field() {
    const size_t end = Rest.find('\0');
    std::string_view field = Rest.substr(0, end);
    Rest.remove_prefix(end == std::string_view::npos ? Rest.size() : end + 1);
    return field;
}

uint8_t TFuzzInput::Byte() {
    if (Rest.empty())
        return 0;
    const auto value = static_cast<uint8_t>(Rest.front());
    Rest.remove_prefix(1);
    return value;
}

std::deque<std::string> TFuzzInput::Chunks() {
    std::deque<std::string> chunks;
    while (!Empty()) {
        const size_t length = Byte();
        const size_t taken = std::min(length, Rest.size());
        chunks.emplace_back(Rest.substr(0, taken));
        Rest.remove_prefix(taken);
    }
    return chunks;
}

} // namespace velmora::fuzz

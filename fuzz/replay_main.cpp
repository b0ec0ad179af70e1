// Replays stored inputs through one fuzz target with the normal compiler, so that every finding and
// every seed stays a regression test: replay <target> <file or folder>... Exit 0 when all ran.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_target.h"

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
    } else if (std::filesystem::is_regular_file(path)) {
        files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <target> <file or folder>...\n", argv[0]);
        return 2;
    }
    velmora::fuzz::TFuzzEntry entry = velmora::fuzz::FindTarget(argv[1]);
    if (!entry) {
        std::fprintf(stderr, "no fuzz target %s\n", argv[1]);
        return 2;
    }
    size_t count = 0;
    for (int i = 2; i < argc; ++i) {
        for (const std::filesystem::path& file : InputsOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            // The name as UTF-8: on Windows the path's own characters are wide.
            const std::u8string name = file.u8string();
            std::fprintf(stderr, "%s\n", reinterpret_cast<const char*>(name.c_str()));
            entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++count;
        }
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], count);
    return count > 0 ? 0 : 1;
}

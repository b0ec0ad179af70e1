#include "temp_folder.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/program_folders.h"

namespace velmora::testing {

TTempFolder::TTempFolder() {
    // A name no one else has: create_directory fails on one that exists.
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 100 && Root.empty(); ++attempt) {
        std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("velmora-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, error))
            Root = candidate;
    }
    if (Root.empty())
        throw std::runtime_error("cannot create a temporary folder");
    PreviousProgramFolder = ProgramFolder();
    SetProgramFolder(Root);
}

TTempFolder::~TTempFolder() {
    SetProgramFolder(PreviousProgramFolder);
    std::error_code ignored;
    std::filesystem::remove_all(Root, ignored);
}

std::filesystem::path TTempFolder::WriteFile(const std::filesystem::path& relative,
                                             const std::string& bytes) const {
    std::filesystem::path file = Root / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    return file;
}

std::string TTempFolder::ReadFile(const std::filesystem::path& relative) const {
    std::ifstream in(Root / relative, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace velmora::testing

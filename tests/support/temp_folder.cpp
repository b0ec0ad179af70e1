#include "temp_folder.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>

#include "platform/program_folders.h"

namespace velmora::testing {

TTempFolder::TTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    Root = pattern;
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

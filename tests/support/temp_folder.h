// A fresh folder under the system's temporary folder, removed with everything in it at the end of the
// test; it becomes the program folder while the object lives.
#pragma once

#include <filesystem>
#include <string>

namespace velmora::testing {

class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return Root; }
    // Writes `bytes` to <folder>/<relative>, creating the folders on the way.
    std::filesystem::path WriteFile(const std::filesystem::path& relative, const std::string& bytes) const;
    // The file's bytes, or "" when it does not exist.
    std::string ReadFile(const std::filesystem::path& relative) const;

private:
    std::filesystem::path Root;
    std::filesystem::path PreviousProgramFolder;
};

} // namespace velmora::testing

// What the program folder is decided from, as the system tells it: the executable's path, whether a
// folder can be written, the user's data folder (internal to src/platform). Any thread.
#pragma once

#include <filesystem>

namespace velmora {

// The running executable, or an empty path when the system does not say.
std::filesystem::path ExecutablePath();
// Whether new files can be made in `folder`.
bool IsWritableFolder(const std::filesystem::path& folder);
// The folder for the user's own files of this program, when the executable's folder is not one.
std::filesystem::path UserDataFolder();

} // namespace velmora

// The program folder: where the settings INI and the folders DATA, LOGS, CLIENTS and IMAGES live.
// By default the executable's folder; `--home DIR` on the command line or VELMORA_HOME overrides it;
// an installed copy (or one whose folder cannot be written) uses the user's data folder.
// Set once at start-up from the main thread; read from any thread afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace velmora {

// Decides the program folder from the command line and the environment, removing `--home DIR`
// (or `--home=DIR`) from argc/argv. Creates the folder if needed and gives it the files of the DATA
// shipped beside the executable that it lacks. Call first thing in main(). Returns what is wrong with
// the command line's folder (an empty `--home`), and then sets nothing; empty when all is well.
std::string InitProgramFolder(int& argc, char** argv);

// The DATA shipped with the program: beside the executable (a build or an unpacked copy), or
// <prefix>/share/velmora/DATA for an executable in <prefix>/bin (an installed copy). Empty when neither.
std::filesystem::path ShippedDataFolder(const std::filesystem::path& exeFolder);

// Copies every file below `from` that is missing below `to`, keeping the sub-folders; files already in
// `to` are the user's and stay as they are. Returns false when a copy failed (the rest are still tried).
bool CopyMissingFiles(const std::filesystem::path& from, const std::filesystem::path& to);

std::filesystem::path ProgramFolder();
// For tests and embedding: sets the folder directly.
void SetProgramFolder(const std::filesystem::path& folder);

// The window program's settings file, which the command-line tool reads too: one file for both.
inline constexpr const char* SettingsFileName = "velmora.ini";
// <program folder>/velmora.ini
std::filesystem::path SettingsFile();

} // namespace velmora

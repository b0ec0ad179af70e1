#include <filesystem>

#include "lang/dictionary.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

struct TAdapterName {
    char Kind;
    const char* Name;
};

// 'S' is the settings' default before a port dialog chose a kind; it drives a plain K-line cable.
constexpr TAdapterName AdapterNames[] = {
    {'E', "ELM327 velmora"},
    {'C', "CarSoft 7.4"},
    {'K', "K-Line"},
    {'S', "K-Line"},
};

// A client name is one folder: separators and the names "." and ".." would lead out of CLIENTS or
// LOGS, so they become '_'.
std::string ClientFolderName(std::string_view client) {
    if (client == "." || client == "..")
        return std::string(client.size(), '_');
    std::string name(client);
    for (char& c : name) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    return name;
}

} // namespace

std::string BuildPath(std::string_view fileName, std::string_view folder, std::string_view client,
                      bool create) {
    fs::path path = ProgramFolder();
    if (!folder.empty())
        path /= Utf8Path(folder);
    if (!client.empty())
        path /= Utf8Path(ClientFolderName(client));
    if (create && (!folder.empty() || !client.empty()) && !DirectoryExists(path.string())) {
        // Missing parents too (LOGS before its first client folder); a failure shows when the file is
        // written.
        std::error_code ignored;
        fs::create_directories(path, ignored);
    }
    if (!fileName.empty())
        path /= Utf8Path(fileName);
    return path.string();
}

bool DirectoryExists(std::string_view path) {
    std::error_code ignored;
    return fs::is_directory(Utf8Path(path), ignored);
}

std::string AdapterDisplayName(char adapterKind) {
    for (const TAdapterName& row : AdapterNames) {
        if (row.Kind == adapterKind)
            return row.Name;
    }
    return "Unknown";
}

std::string LanguageCode() {
    switch (Language()) {
    case 'R':
        return "ru";
    case 'D':
        return "de";
    default:
        return "en";
    }
}

} // namespace velmora

#include <cctype>
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

// Names Windows keeps for its devices, whatever follows a dot ("NUL.txt" is NUL too).
constexpr std::string_view DeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                            "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                            "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

bool IsDeviceName(std::string_view name) {
    const std::string_view base = name.substr(0, name.find('.'));
    for (std::string_view device : DeviceNames) {
        if (base.size() != device.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < base.size() && same; ++i)
            same = std::toupper(static_cast<unsigned char>(base[i])) == device[i];
        if (same)
            return true;
    }
    return false;
}

} // namespace

std::string ClientFolderName(std::string_view client) {
    std::string name(client);
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    }
    // Windows drops dots and blanks at the end of a name ("..", "a." would be another folder, or its
    // parent): they become '_'.
    for (size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i)
        name[i - 1] = '_';
    if (IsDeviceName(name))
        name.insert(0, "_");
    return name;
}

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

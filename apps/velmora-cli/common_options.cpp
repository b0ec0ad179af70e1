#include "common_options.h"

#include <iostream>
#include <string_view>

#include "lang/dictionary.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "settings/program_settings.h"

namespace velmora {

namespace {

struct TLanguageRow {
    std::string_view Name;
    char Letter;
};
constexpr TLanguageRow Languages[] = {{"ru", 'R'}, {"en", 'E'}, {"de", 'D'}};

} // namespace

std::string ApplyCommonOptions(std::vector<char*>& args) {
    char language = ReadProgramSettings(TIniFile(SettingsFile())).Language;
    for (size_t i = 0; i < args.size();) {
        if (std::string_view(args[i]) != "--lang") {
            ++i;
            continue;
        }
        char chosen = 0;
        if (i + 1 < args.size()) {
            for (const TLanguageRow& row : Languages)
                chosen = row.Name == args[i + 1] ? row.Letter : chosen;
        }
        if (chosen == 0)
            return "--lang needs ru, en or de";
        language = chosen;
        args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
    }
    SetLanguage(language);
    try {
        LoadDictionary();
    } catch (const DictionaryError& error) {
        std::cerr << "velmora-cli: " << error.what() << "\n";
    }
    return {};
}

} // namespace velmora

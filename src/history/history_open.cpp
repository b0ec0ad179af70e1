// The history's settings and the store they choose.
#include <algorithm>

#include "history/history_store.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"
#ifdef VELMORA_HISTORY_SQLITE
#include "history/sqlite_store.h"
#endif
#ifdef VELMORA_HISTORY_PG
#include "history/pg_store.h"
#endif

namespace velmora {

THistorySettings ReadHistorySettings() {
    const TIniFile ini(SettingsFile());
    THistorySettings settings;
    settings.Backend = ini.ReadString("OPTIONS", HistoryBackendKey, "SQLITE");
    std::transform(settings.Backend.begin(), settings.Backend.end(), settings.Backend.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    settings.File = ini.ReadString("OPTIONS", HistoryFileKey, "");
    settings.Connection = ini.ReadString("OPTIONS", HistoryPgKey, "");
    return settings;
}

std::unique_ptr<THistoryStore> MakeHistoryStore(const THistorySettings& settings, std::string& problem) {
    if (settings.Backend == "OFF")
        return nullptr;
    if (settings.Backend == "POSTGRESQL") {
#ifdef VELMORA_HISTORY_PG
        return std::make_unique<TPgStore>(settings.Connection);
#else
        problem = "PostgreSQL is not available in this build";
        return nullptr;
#endif
    }
    if (settings.Backend != "SQLITE") {
        problem = "unknown HISTORY_BACKEND \"" + settings.Backend + "\"";
        return nullptr;
    }
#ifdef VELMORA_HISTORY_SQLITE
    std::filesystem::path file =
        settings.File.empty() ? ProgramFolder() / "history.sqlite" : Utf8Path(settings.File);
    if (file.is_relative())
        file = ProgramFolder() / file;
    return std::make_unique<TSqliteStore>(file);
#else
    problem = "SQLite is not available in this build";
    return nullptr;
#endif
}

} // namespace velmora

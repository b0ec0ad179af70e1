#include "settings/program_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "links/port_factory.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

constexpr size_t MaxClientBytes = 255;
constexpr int MaxWord = 65535;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

// Yes/no keys: "Y" after trimming and upper-casing is yes, anything else no.
bool ReadYes(const TIniFile& ini, const char* key, const char* def) {
    return Upper(ini.ReadString(SettingsSection, key, def)) == "Y";
}

int ReadWord(const TIniFile& ini, const char* key) {
    return std::clamp(ini.ReadInteger(SettingsSection, key, 0), 0, MaxWord);
}

// Cuts at most 255 bytes without splitting a UTF-8 character.
std::string CutClient(std::string name) {
    if (name.size() <= MaxClientBytes)
        return name;
    size_t end = MaxClientBytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    name.resize(end);
    return name;
}

} // namespace

TProgramSettings ReadProgramSettings(const TIniFile& ini) {
    TProgramSettings s;
    s.FontSize = ini.ReadInteger(SettingsSection, "FONT_SIZE", 10);
    s.PrmFontSize = ini.ReadInteger(SettingsSection, "PRM_FONT_SIZE", 12);
    s.ValueFontSize = ini.ReadInteger(SettingsSection, "VALUE_FONT_SIZE", 12);
    s.StatusFontSize = ini.ReadInteger(SettingsSection, "STATUS_FONT_SIZE", 12);
    s.StatusSmartShow = ini.ReadBool(SettingsSection, "STATUS_SMART_SHOW", true);
    s.Port = ini.ReadString(SettingsSection, "PORT", "");
    s.ComLastNum = ini.ReadInteger(SettingsSection, "COM_LASTNUM", 20);
    s.ConnectLostTime = ReadWord(ini, "CONNECTLOST_TIME");
    s.IdleTime = ReadWord(ini, "IDLE_TIME");
    s.IdleCmd = ini.ReadString(SettingsSection, "IDLE_CMD", "");
    s.CheckWord = ReadYes(ini, "CHECK_WORD", "N");
    s.Client = CutClient(ini.ReadString(SettingsSection, "CLIENT", ""));
    s.RusTextErr = ReadYes(ini, "RUSTEXTERR", "N");
    s.SmartEcuScan = ReadYes(ini, "SMART_ECU_SCAN", "N");
    std::string adapter = ini.ReadString(SettingsSection, "ADAPTER", "S");
    s.Adapter = adapter.empty() ? 'S' : adapter[0];
    std::string language = Upper(ini.ReadString(SettingsSection, "LANGUAGE", "R"));
    if (language == "E" || language == "D" || language == "R")
        s.Language = language[0];
    s.WiFiAddress = ini.ReadString(SettingsSection, "WIFI_IP", s.WiFiAddress);
    s.WiFiPort = ini.ReadInteger(SettingsSection, "WIFI_PORT", s.WiFiPort);
    return s;
}

bool SaveSessionSettings(TIniFile& ini, const TSessionSettings& session, bool closing) {
    bool ok = true;
    if (!closing) {
        ok &= ini.WriteInteger(SettingsSection, "COM", PortNameToNumber(session.Port));
        ok &= ini.WriteString(SettingsSection, "PORT", session.Port);
        ok &= ini.WriteString(SettingsSection, "ADAPTER", std::string(1, session.Adapter));
    }
    ok &= ini.WriteString(SettingsSection, "FILE", session.LogFile);
    ok &= ini.WriteString(SettingsSection, "CLIENT", CutClient(session.Client));
    ok &= ini.WriteString(SettingsSection, "RUSTEXTERR", session.RusTextErr ? "Y" : "N");
    return ok;
}

bool SaveDisplaySettings(TIniFile& ini, const TProgramSettings& settings) {
    bool ok = true;
    ok &= ini.WriteInteger(SettingsSection, "PRM_FONT_SIZE", settings.PrmFontSize);
    ok &= ini.WriteInteger(SettingsSection, "VALUE_FONT_SIZE", settings.ValueFontSize);
    ok &= ini.WriteInteger(SettingsSection, "STATUS_FONT_SIZE", settings.StatusFontSize);
    ok &= ini.WriteBool(SettingsSection, "STATUS_SMART_SHOW", settings.StatusSmartShow);
    ok &= ini.WriteString(SettingsSection, "LANGUAGE", std::string(1, settings.Language));
    return ok;
}

bool SaveWiFiSettings(TIniFile& ini, const std::string& address, int port) {
    return ini.WriteString(SettingsSection, "WIFI_IP", address) &&
           ini.WriteInteger(SettingsSection, "WIFI_PORT", port);
}

bool SystemLocaleIsRussian() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return std::string_view(value).starts_with("ru");
    }
    return false;
}

} // namespace velmora

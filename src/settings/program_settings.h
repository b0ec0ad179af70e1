// The program's settings: the section OPTIONS of the settings file beside the program, read once at
// start-up and written by the port dialog, the settings dialog and at close. Plain data, no GUI, so the
// window and the command-line tool share it. Window thread (or the tool's one thread).
#pragma once

#include <string>

namespace velmora {

class TIniFile;

inline constexpr const char* SettingsSection = "OPTIONS";
inline constexpr const char* NoPortName = "Port ?";

struct TProgramSettings {
    int FontSize = 10;
    int PrmFontSize = 12;
    int ValueFontSize = 12;
    int StatusFontSize = 12;
    bool StatusSmartShow = true;
    std::string Port;        // "COMn", "FTDI", "WIFI", "SIM..."; empty when never chosen
    int ComLastNum = 20;     // highest COM number the port dialog offers
    int ConnectLostTime = 0; // ms, 0..65535; the worker replaces values outside 700-1500
    int IdleTime = 0;        // ms, 0..65535
    std::string IdleCmd;
    bool CheckWord = false;
    std::string Client; // at most 255 bytes
    bool RusTextErr = false;
    bool SmartEcuScan = false;
    char Adapter = 'S'; // 'K', 'C', 'E'; the default 'S' counts as a plain K-line cable
    char Language = 'R';
    std::string WiFiAddress = "192.168.0.10"; // the WiFi ELM327's IPv4 address
    int WiFiPort = 35000;                     // and its TCP port
};

// Reads every key in the order the window reads them; a missing key (or file) takes its default.
TProgramSettings ReadProgramSettings(const TIniFile& ini);

// What the window writes back: the port choice (not when closing) and the session state (always).
struct TSessionSettings {
    std::string Port; // caption of the port button
    char Adapter = 'S';
    std::string LogFile; // name of the current exchange log
    std::string Client;
    bool RusTextErr = false;
};
// Writes COM, PORT and ADAPTER unless `closing`, then FILE, CLIENT and RUSTEXTERR. False when the file
// cannot be written.
bool SaveSessionSettings(TIniFile& ini, const TSessionSettings& session, bool closing);
// The settings dialog's values: PRM_FONT_SIZE, VALUE_FONT_SIZE, STATUS_FONT_SIZE, STATUS_SMART_SHOW,
// LANGUAGE.
bool SaveDisplaySettings(TIniFile& ini, const TProgramSettings& settings);

// WIFI_IP and WIFI_PORT, chosen in the port dialog.
bool SaveWiFiSettings(TIniFile& ini, const std::string& address, int port);

// Whether the user's locale (LC_ALL, LC_MESSAGES, LANG in that order) is Russian. Russian texts are
// shown only on a Russian system; elsewhere the language falls back to English.
bool SystemLocaleIsRussian();

} // namespace velmora

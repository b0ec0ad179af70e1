#include "connection/client_check.h"

#include <filesystem>
#include <fstream>

#include "engine_link/ecu_ident.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/unit_codes.h"
#include "platform/host.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

constexpr const char* ClientsFolder = "CLIENTS";
// Last identification address the line covers.
constexpr size_t LastIdentAddress = 0x31;
constexpr size_t LastIdentAddressLh = 0x1F;

} // namespace

std::string ClientCheckLine(const TEcuIdent& ident) {
    const size_t limit = ident.UnitType == UnitLh ? LastIdentAddressLh : LastIdentAddress;
    size_t count = 0;
    for (size_t address = 0; address <= limit && address < ident.IdentBuf.size(); ++address)
        if (ident.IdentBuf[address] != 0)
            count = address + 1;
    std::string line;
    auto add = [&line](uint8_t value) {
        if (!line.empty())
            line += ' ';
        line += FormatText("%.2X", unsigned(value));
    };
    for (size_t address = 0; address < count; ++address)
        add(ident.IdentBuf[address]);
    for (uint8_t value : ident.VinBuf)
        add(value);
    return line;
}

TClientCheck CheckClient(std::string_view client, const std::string& line) {
    if (client.empty())
        return TClientCheck::NoClient;
    const std::string folder = BuildPath("", ClientsFolder, client, false);
    if (!DirectoryExists(folder))
        return TClientCheck::NoClient;
    const std::filesystem::path file = Utf8Path(folder) / ClientCheckFileName;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::ofstream out(file, std::ios::binary);
        out << line << "\r\n";
        if (out.flush())
            return TClientCheck::Created;
        AddLog(TranslateFormat("Не могу записать файл %s", file.string().c_str()));
        return TClientCheck::Unwritable;
    }
    std::string stored;
    std::getline(in, stored);
    while (!stored.empty() && (stored.back() == '\r' || stored.back() == ' '))
        stored.pop_back();
    return stored == line ? TClientCheck::Matches : TClientCheck::Differs;
}

} // namespace velmora

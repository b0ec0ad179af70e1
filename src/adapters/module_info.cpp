#include "adapters/module_info.h"

#include <algorithm>

#include "adapters/module_frame.h"
#include "lang/dictionary.h"
#include "platform/host.h"

namespace velmora {

namespace {

struct TSupplier {
    uint8_t Code;
    const char* Name;
};

constexpr TSupplier Suppliers[] = {
    {1, "Becker"},     {3, "Bosch"},  {6, "Kammerer"}, {7, "Kostal"},  {8, "Siemens"},
    {17, "VDO"},       {20, "TSG"},   {21, "Hella"},   {23, "GKR"},    {24, "MBB"},
    {25, "Motometer"}, {33, "Temic"}, {34, "Teves"},   {50, "Alpine"}, {67, "Marquardt"},
};

struct TModuleNameRow {
    uint8_t Address;
    const char* Name;
};

constexpr TModuleNameRow ModuleNames[] = {{0x18, "E-GAS"}, {0x20, "EGS"}, {0x41, "SRS"}};

struct TRefusalText {
    uint16_t Result;
    const char* Text;
};

constexpr TRefusalText RefusalTexts[] = {
    {0x72, "Ошибка контрольной суммы запроса."},
    {0x74, "Неправильный таймаут между байтами запроса."},
};
constexpr const char* OtherRefusal = "Ошибка обмена по протоколу.";

constexpr uint8_t IdentCode = 0x8F;
constexpr uint8_t FaultCode = 0x90;
constexpr uint8_t ClosedCode = 0xF0;
constexpr uint8_t AckCode = 0xD0;
constexpr uint8_t FaultRecord = 0x01;
constexpr uint8_t FaultEnd = 0x28;
constexpr uint16_t ResultOk = 1;
// The identification's payload: code, part number (5), byte 7, diagnosis index, supplier, hardware (2),
// software (2), diagnosis index continued (2).
constexpr size_t IdentLength = 15;

const std::string Stars(49, '*');

std::string Unrecognised(std::string_view lastRequest, std::string_view payload) {
    return std::string(lastRequest) + "=" + std::string(payload) + " - " +
           Translate("формат ответа не распознан");
}

} // namespace

std::string ModuleSupplierName(uint8_t code) {
    for (const TSupplier& supplier : Suppliers)
        if (supplier.Code == code)
            return supplier.Name;
    return "not known (" + HexByte(code) + "h)";
}

std::string ModuleName(uint8_t address) {
    for (const TModuleNameRow& row : ModuleNames)
        if (row.Address == address)
            return std::string("          Module: ") + row.Name;
    return "          Module: " + HexByte(address);
}

void TModuleInfo::ClearFaults() {
    FaultCodes.clear();
    FaultsRead = 0;
}

void TModuleInfo::Show(std::string_view payload, std::string_view lastRequest, uint8_t address, bool& more,
                       bool& failed) {
    more = false;
    failed = false;
    std::vector<uint8_t> bytes;
    if (!ParseHexText(payload, bytes) || bytes.empty()) {
        if (ShowRaw)
            AddLog(std::string(lastRequest) + "=" + std::string(payload));
        return;
    }
    switch (bytes[0]) {
    case IdentCode:
        ShowIdent(bytes, address);
        break;
    case FaultCode:
        ShowFault(bytes, payload, lastRequest, more);
        break;
    case ClosedCode:
        AddLog(Translate("Коннект закрыт"));
        break;
    case AckCode:
        ShowAcknowledge(bytes, payload, more, failed);
        break;
    default:
        if (ShowRaw)
            AddLog(std::string(lastRequest) + "=" + std::string(payload));
        break;
    }
}

void TModuleInfo::ShowIdent(const std::vector<uint8_t>& bytes, uint8_t address) {
    // A short identification is shown as far as it goes; missing bytes read as 0.
    std::vector<uint8_t> b(bytes);
    b.resize(std::max(b.size(), IdentLength), 0);
    // Payload byte k (1-based) is b[k - 1].
    const auto pair = [&](size_t first) { return HexByte(b[first - 1]) + "/" + HexByte(b[first]); };
    Part = HexText(std::span<const uint8_t>(b.data() + 1, 5));
    SupplierCode = b[8];
    AddLog("");
    AddLog(Stars);
    AddLog(ModuleName(address));
    AddLog("        Supplier: " + ModuleSupplierName(SupplierCode));
    AddLog("          ECU Nr: " + Part.substr(0, 3) + " " + Part.substr(3, 3) + " " + Part.substr(6, 2) +
           " " + Part.substr(8, 2));
    AddLog("Hardware version: " + pair(10));
    AddLog("Software version: " + pair(12));
    AddLog("Diagnosis  index: " + HexByte(b[7]) + "/" + HexByte(b[13]) + HexByte(b[14]));
    AddLog(Stars);
}

void TModuleInfo::ShowFault(const std::vector<uint8_t>& bytes, std::string_view payload,
                            std::string_view lastRequest, bool& more) {
    const uint8_t kind = bytes.size() > 1 ? bytes[1] : 0;
    if (kind == FaultRecord && bytes.size() >= 4) {
        if (ListFaults && FaultsRead == 0)
            AddLog(Translate("Чтение памяти неисправностей"));
        const uint16_t code = uint16_t(bytes[2] << 8 | bytes[3]);
        if (FaultCodes.size() < MaxFaults)
            FaultCodes.push_back(code);
        ++FaultsRead;
        if (ListFaults)
            AddLog("   " + std::to_string(code));
        more = FaultsRead < FaultsAsked;
        return;
    }
    if (kind == FaultEnd) {
        if (FaultsRead == 0 && ListFaults)
            AddLog(Translate("Память неисправностей пуста!"));
        if (!payload.starts_with("902800"))
            AddLog(Unrecognised(lastRequest, payload));
        return;
    }
    AddLog(Unrecognised(lastRequest, payload));
}

void TModuleInfo::ShowAcknowledge(const std::vector<uint8_t>& bytes, std::string_view payload, bool& more,
                                  bool& failed) {
    const uint16_t result = bytes.size() >= 3 ? uint16_t(bytes[1] << 8 | bytes[2]) : 0;
    failed = result != ResultOk;
    if (result == ResultOk) {
        RefusalsInRow = 0;
        return;
    }
    ++RefusalsInRow;
    const char* text = OtherRefusal;
    for (const TRefusalText& row : RefusalTexts)
        if (row.Result == result)
            text = row.Text;
    AddLog(Translate(text) + " " + std::string(payload));
    more = RefusalsInRow < MaxRefusals;
}

} // namespace velmora

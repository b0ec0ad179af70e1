#include "engine_link/ident_report.h"

#include <array>
#include <iterator>
#include <span>

#include "lang/translated_format.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr const char* StarLine = " ********************************";

// Character counts after which a blank goes; 0 for none.
using TBlanks = std::array<int, 3>;

enum class TLayout {
    Supplier,   // the supplier's name, or UNKNOWN and the two bytes
    Characters, // the bytes as characters, blanks after the given positions
    HexSlash,   // each byte as two hexadecimal digits, joined by "/"
};

struct TIdentRow {
    uint8_t Source; // 0xF0 the identification block, 0xF9 the VIN
    uint8_t First, Last;
    const char* Label;
    TLayout Layout;
    TBlanks BlanksAfter;
};

const TIdentRow IdentRows[] = {
    {0xF0, 0x00, 0x01, "Manufactured: ", TLayout::Supplier, {}},
    {0xF0, 0x02, 0x0B, "Ident: ", TLayout::Characters, {2, 7}},
    {0xF0, 0x0C, 0x15, "ECU Nr: ", TLayout::Characters, {3, 6, 8}},
    {0xF0, 0x16, 0x17, "Hardware date: ", TLayout::HexSlash, {}},
    {0xF0, 0x18, 0x19, "Software date: ", TLayout::HexSlash, {}},
    {0xF0, 0x1A, 0x1B, "Diagnosis index: ", TLayout::HexSlash, {}},
    {0xF9, 0x00, 0x0D, "VIN: ", TLayout::Characters, {6, 8}},
};
constexpr int VinLine = 6;

struct TSupplierName {
    uint8_t Supplier;
    const char* Name;
};
constexpr TSupplierName SupplierNames[] = {
    {SupplierBosch, "  BOSCH"}, {SupplierVdo, "  VDO"}, {SupplierSiemens, "  SIEMENS"}};

std::string Hex2(uint8_t value) {
    return FormatText("%.2X", unsigned(value));
}

// A byte as a character of a report line; bytes that are not printable ASCII show as '.'.
char Printable(uint8_t value) {
    return value >= 0x20 && value < 0x7F ? char(value) : '.';
}

// Inserts a blank after each of the given character counts of `text`.
std::string WithBlanks(const std::string& text, TBlanks after) {
    std::string spaced;
    for (size_t i = 0; i < text.size(); ++i) {
        spaced += text[i];
        for (int count : after) {
            if (count > 0 && size_t(count) == i + 1)
                spaced += ' ';
        }
    }
    return spaced;
}

std::string Characters(std::span<const uint8_t> bytes, TBlanks blanksAfter) {
    std::string text;
    for (uint8_t b : bytes)
        text += Printable(b);
    return WithBlanks(text, blanksAfter);
}

std::string HexSlash(std::span<const uint8_t> bytes) {
    std::string text;
    for (uint8_t b : bytes)
        text += (text.empty() ? "" : "/") + Hex2(b);
    return text;
}

// Ten hexadecimal digits in groups of 3, 3, 2 and 2 (the MB part number of LH and EZ units).
std::string PartNumber(std::span<const uint8_t> fiveBytes) {
    std::string digits;
    for (uint8_t b : fiveBytes)
        digits += Hex2(b);
    return WithBlanks(digits, {3, 6, 8});
}

std::span<const uint8_t> Bytes(const TEcuIdent& ident, size_t first, size_t last) {
    return std::span<const uint8_t>(ident.IdentBuf).subspan(first, last - first + 1);
}

std::string SupplierText(const TEcuIdent& ident) {
    for (const TSupplierName& row : SupplierNames) {
        if (row.Supplier == ident.Supplier)
            return row.Name;
    }
    return "  UNKNOWN " + Hex2(ident.IdentBuf[0]) + Hex2(ident.IdentBuf[1]);
}

// Splits a text at its CR LF pairs into log lines.
void AddLines(std::vector<std::string>& lines, const std::string& text) {
    size_t from = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    lines.push_back(text.substr(from));
}

std::vector<std::string> HfmPmsReport(const TEcuIdent& ident, bool codingPending) {
    std::vector<std::string> lines = {StarLine};
    for (int n = 0; n <= VinLine; ++n) {
        if (n == VinLine && codingPending)
            continue;
        const std::string line = IdentLine(ident, n);
        if (n != VinLine || !line.empty())
            AddLines(lines, line);
    }
    lines.push_back(StarLine);
    return lines;
}

std::string LhFlags(uint8_t flags) {
    std::string text = "    ";
    text += (flags & 0x01) ? "NO CAT" : "CAT";
    text += (flags & 0x02) ? " AG" : " MG";
    for (int bit = 2; bit < 8; ++bit) {
        if (flags & (1 << bit))
            text += " 0x" + Hex2(uint8_t(1 << bit));
    }
    return text;
}

// Two BCD bytes as a year and a week ("94/12" made in week 12 of 1994) when they can be one; an LH
// unit's pair that cannot (year 52, week 08) is a version code, shown as the status it is.
std::string LhDateLine(const char* what, uint8_t first, uint8_t second) {
    const auto bcd = [](uint8_t b) {
        return (b >> 4) < 10 && (b & 0x0F) < 10 ? (b >> 4) * 10 + (b & 0x0F) : -1;
    };
    const int year = bcd(first), week = bcd(second);
    const std::string pair = Hex2(first) + "/" + Hex2(second);
    if (year >= 80 && week >= 1 && week <= 53)
        return std::string(what) + " date: " + pair + FormatText(" (19%.2d, week %d)", year, week);
    return std::string(what) + " status: " + pair;
}

std::vector<std::string> LhReport(const TEcuIdent& ident) {
    const auto& b = ident.IdentBuf;
    const std::string cylinders = Hex2(b[0x10]);
    const std::string displacement = Hex2(b[0x11]);
    return {
        StarLine,
        "",
        "System: LH",
        "ECU Nr: " + PartNumber(Bytes(ident, 1, 5)),
        std::string("Supplier: ") + (b[8] == 3 ? "Bosch" : "?"),
        LhDateLine("Hardware", b[9], b[10]),
        LhDateLine("Software", b[11], b[12]),
        "Diagnosis index: " + Hex2(b[13]),
        "Displacement: " + displacement.substr(0, 1) + "." + displacement.substr(1) + " l",
        "Cylinders/Valves: " + cylinders.substr(0, 1) + "/" + cylinders.substr(1),
        "Program status: " + Hex2(b[0x12]),
        "Data status: " + Hex2(b[0x13]),
        "National variant: " + Hex2(b[0x20]),
        LhFlags(b[0x21]),
        StarLine,
    };
}

std::string EzSupplier(uint8_t code) {
    if (code == 3)
        return "Bosch";
    if (code == 8)
        return "Siemens";
    return "Unknown " + Hex2(code);
}

// The EZ block runs to 0x0C; its map number is the text of bytes 1-10.
constexpr size_t EzMapFirst = 0x01, EzMapLast = 0x0A, EzBlockLast = 0x0C;

std::vector<std::string> EzReport(const TEcuIdent& ident) {
    const auto& b = ident.IdentBuf;
    std::string data = "Identification bytes 00-0C: ";
    for (size_t i = 0; i <= EzBlockLast; ++i)
        data += (i == 0 ? "" : " ") + Hex2(b[i]);
    return {
        StarLine,
        "Control unit: EZ" + Characters(Bytes(ident, 0x10, 0x11), {}),
        "MB number: " + PartNumber(Bytes(ident, 0x12, 0x16)),
        "Supplier: " + EzSupplier(b[0x17]),
        "Hardware status: " + HexSlash(Bytes(ident, 0x18, 0x19)),
        "Software status: " + HexSlash(Bytes(ident, 0x1A, 0x1B)),
        "Diagnosis ident: 0/" + Hex2(b[0x1C]),
        "  ",
        "Displacement: " + Characters(Bytes(ident, 2, 2), {}) + "." + Characters(Bytes(ident, 3, 3), {}),
        "Bank: not given by the unit",
        "Map No: " + Characters(Bytes(ident, EzMapFirst, EzMapLast), {3}),
        "",
        "   CAT/NO CAT",
        data,
        StarLine,
    };
}

} // namespace

std::string IdentLine(const TEcuIdent& ident, int n) {
    if (n < 0 || n > VinLine)
        return {};
    const TIdentRow& row = IdentRows[n];
    if (n == VinLine && (!ident.IsVinSupported() || ident.VinBuf[0] == 0x00 || ident.VinBuf[0] == 0xFF))
        return {};
    const std::span<const uint8_t> source = row.Source == 0xF9 ? std::span<const uint8_t>(ident.VinBuf)
                                                               : std::span<const uint8_t>(ident.IdentBuf);
    const std::span<const uint8_t> bytes = source.subspan(row.First, row.Last - row.First + 1);
    switch (row.Layout) {
    case TLayout::Supplier: {
        const char* system = ident.UnitType == UnitHfm   ? "System: HFM\r\n"
                             : ident.UnitType == UnitPms ? "System: PMS\r\n"
                                                         : "";
        return system + std::string(row.Label) + SupplierText(ident);
    }
    case TLayout::Characters:
        return row.Label + Characters(bytes, row.BlanksAfter);
    case TLayout::HexSlash:
        return row.Label + HexSlash(bytes);
    }
    return {};
}

std::vector<std::string> PrintInfo(const TEcuIdent& ident, bool codingPending) {
    switch (ident.UnitType) {
    case UnitHfm:
    case UnitPms:
        return HfmPmsReport(ident, codingPending);
    case UnitLh:
        return LhReport(ident);
    case UnitEz:
        return EzReport(ident);
    default:
        return {};
    }
}

std::string UnitSummary(const TEcuIdent& ident) {
    static constexpr const char* Families[] = {"", "HFM", "PMS", "LH", "EZ"};
    static constexpr const char* Suppliers[] = {"", " Bosch", " VDO", " Siemens"};
    if (ident.UnitType == UnitUnknown || ident.UnitType >= std::size(Families))
        return {};
    std::string text = Families[ident.UnitType];
    if (ident.UnitType == UnitLh || ident.UnitType == UnitEz) {
        const size_t first = ident.UnitType == UnitLh ? 1 : 0x12;
        if (ident.UnitType == UnitLh && ident.IdentBuf[8] == 3)
            text += " Bosch";
        return text + ", MB " + PartNumber(Bytes(ident, first, first + 4));
    }
    if (ident.Supplier < std::size(Suppliers))
        text += Suppliers[ident.Supplier];
    std::string number = ident.IdentText;
    number.erase(0, number.find_first_not_of(' '));
    number.erase(number.find_last_not_of(' ') + 1);
    if (!number.empty())
        text += ", Ident " + number;
    return text;
}

std::string CarSummary(const std::string& client, const TEcuIdent& ident) {
    std::string vin;
    if (ident.IsVinSupported() && ident.VinBuf[0] != 0x00 && ident.VinBuf[0] != 0xFF)
        vin = "VIN " + Characters(std::span<const uint8_t>(ident.VinBuf).first(14), {});
    return client.empty() ? vin : vin.empty() ? client : client + ", " + vin;
}

} // namespace velmora

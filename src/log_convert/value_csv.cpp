#include "log_convert/value_csv.h"

#include "params/display_unit.h"
#include "params/ecu_param.h"

namespace velmora {

std::string CsvValueText(const TECUparam& param) {
    if (param.ParamType == 'X') {
        std::string bits = param.BitText();
        const size_t first = bits.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : bits.substr(first);
    }
    std::string text;
    try {
        text = param.FormatValue();
    } catch (const std::exception& error) {
        return error.what();
    }
    if (param.Mask.empty() && !param.Izm.empty() && text.ends_with(param.Izm))
        text.resize(text.size() - param.Izm.size());
    return text;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string field = "\"";
    for (char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + "\"";
}

bool TValueCsv::Open(const std::filesystem::path& file, std::string_view firstColumn) {
    Stream.close();
    Stream.clear();
    File = file;
    Stream.open(file, std::ios::binary | std::ios::trunc);
    if (!Stream)
        return false;
    Stream << "\xEF\xBB\xBF" << firstColumn << ",number,name,value,unit\r\n";
    return bool(Stream);
}

bool TValueCsv::Add(uint64_t when, const TECUparam& param) {
    if (!Stream.is_open())
        return false;
    Stream << when << ',' << param.Number << ',' << CsvField(param.Name) << ','
           << CsvField(CsvValueText(param)) << ',' << CsvField(ValueUnit(param)) << "\r\n";
    return bool(Stream);
}

bool TValueCsv::Close() {
    if (!Stream.is_open())
        return true;
    Stream.flush();
    const bool good = bool(Stream);
    Stream.close();
    return good;
}

} // namespace velmora

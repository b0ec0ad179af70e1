#include "json_output.h"

#include <algorithm>
#include <charconv>
#include <iostream>

#include "adapters/module_info.h"
#include "faults/fault_display.h"
#include "lang/translated_format.h"
#include "params/display_unit.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr const char* UnitNames[] = {"unknown", "HFM", "PMS", "LH", "EZ"};
constexpr const char* SupplierNames[] = {"unknown", "Bosch", "VDO", "Siemens"};

template <size_t N> const char* NameOf(const char* const (&names)[N], int code) {
    return code >= 0 && code < int(N) ? names[code] : names[0];
}

std::string Hex(std::span<const uint8_t> bytes) {
    std::string text;
    for (uint8_t byte : bytes)
        text += FormatText("%.2X", unsigned(byte));
    return text;
}

} // namespace

TJson ValueJson(const TECUparam& param) {
    if (!param.IsFloat())
        return param.AsInteger();
    // The float's shortest digits, read back as the double that prints the same.
    char digits[32];
    const float value = param.AsSingle();
    double widened = value;
    if (const auto written = std::to_chars(digits, digits + sizeof digits, value); written.ec == std::errc())
        std::from_chars(digits, written.ptr, widened);
    return widened;
}

TJson PortJson(std::string_view port, char adapter) {
    return {
        {"port", port},
        {"adapter", std::string(1, adapter == 'S' ? 'K' : adapter)},
    };
}

TJson UnitJson(const TEcuIdent& ident, std::string_view port, char adapter) {
    TJson document = PortJson(port, adapter);
    document["unit"] = NameOf(UnitNames, ident.UnitType);
    document["unit_type"] = ident.UnitType;
    document["supplier"] = NameOf(SupplierNames, ident.Supplier);
    document["supplier_code"] = ident.Supplier;
    document["diagnosis_index"] = ident.DiagIndex;
    return document;
}

bool TakeJsonOption(std::vector<std::string_view>& args) {
    const auto end = std::remove(args.begin(), args.end(), std::string_view("--json"));
    const bool found = end != args.end();
    args.erase(end, args.end());
    return found;
}

TJson IdentJson(const TEcuIdent& ident, std::string_view port, char adapter) {
    TJson document = UnitJson(ident, port, adapter);
    document["variant"] = ident.VariantLetter ? TJson(std::string(1, ident.VariantLetter)) : nullptr;
    document["ident"] = ident.IdentText;
    document["signature"] = FormatText("%.8X", unsigned(ident.Signature));
    document["ident_bytes"] = Hex(ident.IdentBuf);
    // The vehicle identification's characters up to the first zero byte; null when the unit gave none.
    std::string vin;
    for (uint8_t byte : ident.VinBuf) {
        if (byte == 0)
            break;
        vin += byte >= 0x20 && byte < 0x7F ? char(byte) : '?';
    }
    document["vin"] = vin.empty() ? TJson(nullptr) : TJson(vin);
    document["ms_per_request"] = ident.MsPerRequest;
    return document;
}

TJson FaultsJson(const TEcuIdent& ident, std::string_view port, char adapter,
                 const std::vector<TFault>& faults, const TFaultTexts& texts, bool storedOnly,
                 const THistoryRecorder* history) {
    TJson document = UnitJson(ident, port, adapter);
    document["stored_only"] = storedOnly;
    const std::string notice = FaultTextsNotice(texts);
    document["texts_notice"] = notice.empty() ? TJson(nullptr) : TJson(notice);
    TJson list = TJson::array();
    for (const TFault& fault : faults) {
        if (storedOnly && !fault.Stored)
            continue;
        list.push_back({
            {"code", fault.Code},
            {"cell", fault.Cell},
            {"stored", fault.Stored},
            {"current", fault.Current},
            {"known", !fault.Unknown},
            {"text", fault.Unknown ? UnknownFaultText(fault.Cell) : texts.Text(fault.Code)},
        });
        // The earlier visits of this car that read the code: erased then and here again means it recurs.
        TJson seen = TJson::array();
        const std::vector<TSeenBefore> before =
            history && !fault.Unknown ? history->SeenBefore(fault.Code) : std::vector<TSeenBefore>{};
        for (const TSeenBefore& visit : before)
            seen.push_back({{"date", visit.Date}, {"erased", visit.Erased}, {"remained", visit.Remained}});
        list.back()["seen_before"] = std::move(seen);
        list.back()["recurring"] = IsRecurring(before);
    }
    document["faults"] = std::move(list);
    return document;
}

TJson WatchJson(uint32_t ms, const TECUparam& param) {
    std::string text;
    try {
        text = param.FormatValue();
    } catch (const std::exception& error) {
        text = error.what();
    }
    return {
        {"ms", ms},
        {"number", param.Number},
        {"name", param.Name},
        {"value", ValueJson(param)},
        {"unit", ValueUnit(param)},
        {"text", text},
    };
}

TJson ModuleJson(const TModuleDialogue& dialogue, std::string_view port, char adapter,
                 std::string_view module, uint8_t address, bool erase) {
    const TModuleInfo& info = dialogue.ModuleInfo();
    TJson faults = TJson::array();
    for (const TModuleFault& fault : dialogue.Faults())
        faults.push_back({{"code", fault.Code}, {"text", fault.Text}});
    const std::string& log = dialogue.ProtocolLogPath();
    return {
        {"port", port},
        {"adapter", std::string(1, adapter == 'S' ? 'K' : adapter)},
        {"module", module},
        {"address", address},
        {"identified", info.Identified()},
        {"part_number", info.Identified() ? TJson(info.PartNumber()) : TJson(nullptr)},
        {"supplier", info.Identified() ? TJson(ModuleSupplierName(info.Supplier())) : TJson(nullptr)},
        {"supplier_code", info.Supplier()},
        {"faults", std::move(faults)},
        {"fault_records", info.FaultCount()},
        {"bad_checksum_frames", dialogue.BadSumFrames()},
        {"erase", erase},
        {"protocol_log", log.empty() ? TJson(nullptr) : TJson(log)},
    };
}

TJson TripJson(std::string_view port, char adapter, int seconds, const TTripValues& values,
               const std::vector<std::string>& log) {
    return {
        {"port", port},
        {"adapter", std::string(1, adapter == 'S' ? 'K' : adapter)},
        {"seconds", seconds},
        {"trip_time_s", values.TripTime},
        {"idle_time_s", values.IdleTime},
        {"distance_m", values.Distance},
        {"fuel_l", values.Fuel / 100.0},
        {"idle_fuel_l", values.IdleFuel / 100.0},
        {"idle_consumption_l_h", values.IdleConsumption / 100.0},
        {"current_consumption_l_h", values.CurrentConsumption / 100.0},
        {"average_speed_km_h", values.AverageSpeed / 10.0},
        {"trip_consumption_l_100km", values.TripConsumption / 100.0},
        {"log", log},
    };
}

TJson AdapterTestJson(std::string_view port, char adapter, bool carSoft, bool sound,
                      const std::vector<std::string>& log) {
    return {
        {"port", port},
        {"adapter", std::string(1, adapter == 'S' ? 'K' : adapter)},
        {"test", carSoft ? "carsoft" : "echo"},
        {"sound", sound},
        {"log", log},
    };
}

TJsonLogHost::TJsonLogHost() : Replaced(Host()) {
    SetHost(this);
}

TJsonLogHost::~TJsonLogHost() {
    SetHost(&Replaced);
}

void TJsonLogHost::AddLog(std::string_view line) {
    Lines.emplace_back(line);
    std::cerr << line << '\n' << std::flush;
}

TMsgResult TJsonLogHost::MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) {
    return Replaced.MessageBox(text, kind, buttons);
}

void TJsonLogHost::PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    Replaced.PostMessage(msg, wParam, lParam);
}

void PrintJsonLine(std::ostream& out, const TJson& document) {
    out << document.dump(-1, ' ', false, TJson::error_handler_t::replace) << "\n" << std::flush;
}

void PrintJsonDocument(std::ostream& out, const TJson& document) {
    out << document.dump(2, ' ', false, TJson::error_handler_t::replace) << "\n" << std::flush;
}

} // namespace velmora

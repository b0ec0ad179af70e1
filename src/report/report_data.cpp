#include "report/report_data.h"

#include <ctime>

#include "faults/fault_display.h"
#include "faults/fault_report.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/color_rules.h"
#include "params/display_unit.h"
#include "params/ecu_param.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"

namespace velmora {

namespace {

TReportFault MakeFault(int code, bool unknown, bool stored, bool current, const TFaultTexts& texts) {
    TReportFault fault;
    fault.Code = unknown ? "? " + std::to_string(code) : FormatText("%.3d", code);
    if (stored)
        fault.State = Translate("Сохраненный");
    if (current)
        fault.State += (fault.State.empty() ? "" : ", ") + Translate("АКТУАЛЬНЫЙ");
    fault.Text = unknown ? UnknownFaultText(code) : texts.Text(code);
    return fault;
}

void AddSeenBefore(TReportFault& fault, int code, bool unknown, const TReportFaultSource& source) {
    if (unknown || !source.SeenBefore)
        return;
    const std::vector<TSeenBefore> seen = source.SeenBefore(code);
    for (const TSeenBefore& visit : seen) {
        if (!fault.SeenBefore.empty())
            fault.SeenBefore += "; ";
        fault.SeenBefore += visit.Date.substr(0, 10);
        if (visit.Erased)
            fault.SeenBefore += " (" + Translate("стерта") + ")";
    }
    fault.Recurring = IsRecurring(seen);
}

} // namespace

TWorkshop ReadWorkshop() {
    const TIniFile ini(SettingsFile());
    return {ini.ReadString("OPTIONS", WorkshopNameKey, ""), ini.ReadString("OPTIONS", WorkshopAddressKey, ""),
            ini.ReadString("OPTIONS", WorkshopPhoneKey, "")};
}

bool SaveWorkshop(const TWorkshop& workshop) {
    TIniFile ini(SettingsFile());
    return ini.WriteString("OPTIONS", WorkshopNameKey, workshop.Name) &&
           ini.WriteString("OPTIONS", WorkshopAddressKey, workshop.Address) &&
           ini.WriteString("OPTIONS", WorkshopPhoneKey, workshop.Phone);
}

void FillReportFaults(TCustomerReportData& data, const TReportFaultSource& source) {
    const std::vector<TFault> now = CollectFaults(source.Buffer, source.Context, MaxDisplayedFaults);
    if (!source.Visit || source.Visit->Faults.empty()) {
        for (const TFault& f : now) {
            data.Faults.push_back(
                MakeFault(f.Unknown ? f.Cell : f.Code, f.Unknown, f.Stored, f.Current, source.Texts));
            AddSeenBefore(data.Faults.back(), f.Code, f.Unknown, source);
        }
    } else {
        for (const TVisitFault& f : source.Visit->Faults) {
            data.Faults.push_back(MakeFault(f.Code, f.Unknown, f.Stored, f.Current, source.Texts));
            AddSeenBefore(data.Faults.back(), f.Code, f.Unknown, source);
        }
    }
    if (!source.Visit)
        return;
    for (const TVisitEvent& event : source.Visit->Events)
        data.EraseDone = data.EraseDone || event.Kind == "erase";
    if (!data.EraseDone)
        return;
    for (size_t i = 0; i < source.Visit->Faults.size() && i < data.Faults.size(); ++i)
        (source.Visit->Faults[i].Erased ? data.Erased : data.Remaining).push_back(data.Faults[i]);
}

TReportValue ReportValue(const TECUparam& param, bool marked) {
    TReportValue value;
    value.Name = param.Name;
    try {
        value.Value = param.FormatValue();
    } catch (const std::exception&) {
        value.Value = "?";
    }
    value.Unit = DisplayUnit(param);
    value.Marked = marked;
    return value;
}

bool IsWarningColour(uint32_t colour) {
    return colour == Pale(ColorRed) || colour == Pale(ColorYellow) || colour == Pale(ColorBlue) ||
           colour == ColorRed || colour == ColorYellow || colour == ColorBlue;
}

std::string ReportTimeNow() {
    const std::tm local = LocalTimeNow();
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M", &local);
    return text;
}

} // namespace velmora

#include "report_pdf.h"

#include "engine_link/ident_report.h"
#include "faults/fault_texts.h"
#include "lang/dictionary.h"
#include "params/color_rules.h"
#include "params/ecu_param.h"
#include "params/param_list.h"
#include "platform/utf8_path.h"
#ifdef VELMORA_HAVE_REPORT
#include <QGuiApplication>

#include "report/customer_report.h"
#endif

namespace velmora {

#ifdef VELMORA_HAVE_REPORT

bool PdfReportAvailable() {
    return true;
}

struct TPdfReport {
    TCustomerReportData Data;
};

std::shared_ptr<TPdfReport> CollectCustomerReport(TCliSession& session, const TConnectSettings& settings,
                                                  const TPdfReportOptions& options) {
    // The values of the snapshot: whatever the worker's own polling reads meanwhile.
    session.StepUntil([](const TSessionMessage&) { return false; }, uint32_t(options.Seconds) * 1000);
    const TComReader& reader = session.Reader;

    auto report = std::make_shared<TPdfReport>();
    TCustomerReportData& data = report->Data;
    data.Workshop = ReadWorkshop();
    data.When = ReportTimeNow();
    data.Client = settings.Client;
    const TEcuIdent ident = reader.Ident();
    data.Vin = VinText(ident);
    data.Identification = PrintInfo(ident, false);
    data.Mileage = options.Mileage;
    data.Notes = options.Notes;
    const char language = Language();
    const TFaultTexts texts = LoadFaultTexts(reader.FaultContext().UnitType, language == 'R', language);
    const std::optional<TVisit> visit = session.History ? session.History->Visit() : std::nullopt;
    const TFaultBuf buffer = reader.FaultBuffer();
    const TFaultContext context = reader.FaultContext();
    TReportFaultSource source{buffer, context, texts, visit, {}};
    if (session.History)
        source.SeenBefore = [&](int code) { return session.History->SeenBefore(code); };
    FillReportFaults(data, source);
    if (const std::shared_ptr<const TListParams> params = reader.Params()) {
        for (const auto& param : *params) {
            // The numbers a screen shows; status bytes and coding entries say nothing to the customer.
            if (param->LastTick == 0 || param->Name.empty() || param->ParamType == 'X' ||
                param->Name.starts_with("CODE"))
                continue;
            const bool marked =
                param->ColorRule != 0 && IsWarningColour(ColorOf(param->ColorRule, param->AsSingle()));
            data.Values.push_back(ReportValue(*param, marked));
        }
    }

    return report;
}

std::string WriteCustomerPdf(const TPdfReport& report, const TConnectSettings& settings,
                             const TPdfReportOptions& options, THistoryRecorder* history,
                             std::string& error) {
    // Fonts and the PDF writer want a Gui application; no window is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "velmora-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    const std::optional<std::filesystem::path> file =
        SaveReportPdf(report.Data, QImage(), settings.Client, Utf8Path(options.File), error);
    if (!file)
        return {};
    const std::u8string path = file->u8string();
    const std::string text(path.begin(), path.end());
    if (history) {
        history->AddFile("report", text);
        history->AddMileage(report.Data.Mileage);
    }
    return text;
}

#else

bool PdfReportAvailable() {
    return false;
}

struct TPdfReport {};

std::shared_ptr<TPdfReport> CollectCustomerReport(TCliSession&, const TConnectSettings&,
                                                  const TPdfReportOptions&) {
    return std::make_shared<TPdfReport>();
}

std::string WriteCustomerPdf(const TPdfReport&, const TConnectSettings&, const TPdfReportOptions&,
                             THistoryRecorder*, std::string& error) {
    error = "PDF reports are not available in this build (built without Qt)";
    return {};
}

#endif

} // namespace velmora

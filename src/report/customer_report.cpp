#include "report/customer_report.h"

#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <ctime>

#include "faults/fault_report.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

QString Html(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toHtmlEscaped();
}
QString T(const char* russian) {
    return Html(Translate(russian));
}

// The report font, from the system's font files when the font database does not know it (a minimal
// platform plugin, a bare system).
QString ReportFont() {
    static const QString family = [] {
        if (QFontDatabase::families().contains(ReportFontFamily))
            return QString(ReportFontFamily);
        QString loaded;
        for (const char* file : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                 "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"}) {
            const int id = QFontDatabase::addApplicationFont(file);
            if (id >= 0 && loaded.isEmpty())
                loaded = QFontDatabase::applicationFontFamilies(id).value(0);
        }
        return loaded.isEmpty() ? QString("Arial") : loaded;
    }();
    return family;
}

void Row(QString& html, const char* label, std::string_view value) {
    if (value.empty())
        return;
    html += "<tr><td width='28%'><b>" + T(label) + "</b></td><td>" + Html(value) + "</td></tr>";
}

void FaultTable(QString& html, const std::vector<TReportFault>& faults) {
    html += "<table width='100%' border='1' cellspacing='0' cellpadding='4'><tr><th width='9%'>" + T("Код") +
            "</th><th width='21%'>" + T("Состояние") + "</th><th>" + T("Описание") + "</th></tr>";
    for (const TReportFault& fault : faults) {
        html +=
            "<tr><td>" + Html(fault.Code) + "</td><td>" + Html(fault.State) + "</td><td>" + Html(fault.Text);
        if (fault.Recurring)
            html += "<br><b><font color='#b00000'>" + T("Повторная ошибка: была стерта при прошлом визите") +
                    "</font></b>";
        if (!fault.SeenBefore.empty())
            html += "<br><i>" + T("Встречалась ранее:") + " " + Html(fault.SeenBefore) + "</i>";
        html += "</td></tr>";
    }
    html += "</table>";
}

void FaultList(QString& html, const char* title, const std::vector<TReportFault>& faults) {
    html += "<p><b>" + T(title) + "</b> ";
    if (faults.empty())
        html += T("нет");
    for (size_t i = 0; i < faults.size(); ++i)
        html += (i ? ", " : "") + Html(faults[i].Code) + " " + Html(faults[i].Text);
    html += "</p>";
}

} // namespace

std::unique_ptr<QTextDocument> BuildReportDocument(const TCustomerReportData& data, const QImage& graph) {
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(QFont(ReportFont(), 10));
    QString html = "<html><body>";
    const std::string workshop = data.Workshop.Name.empty() ? Translate("Мастерская") : data.Workshop.Name;
    html += "<table width='100%'><tr><td><span style='font-size:15pt'><b>" + Html(workshop) +
            "</b></span><br>" + Html(data.Workshop.Address) +
            (data.Workshop.Phone.empty() ? "" : "<br>" + T("Тел.") + " ") + Html(data.Workshop.Phone) +
            "</td><td align='right'>" + Html(data.When) + "</td></tr></table>";
    html += "<h2>" + T("Отчёт о диагностике") + "</h2>";

    html += "<h3>" + T("Клиент и автомобиль") + "</h3><table width='100%' cellpadding='2'>";
    Row(html, "Клиент", data.Client);
    Row(html, "VIN", data.Vin);
    std::string ident;
    for (const std::string& line : data.Identification)
        if (line.find("***") == std::string::npos)
            ident += (ident.empty() ? "" : "\n") + line;
    html += "<tr><td width='28%'><b>" + T("Блок управления") + "</b></td><td>" +
            Html(ident).replace("\n", "<br>") + "</td></tr>";
    Row(html, "Пробег автомобиля", data.Mileage);
    Row(html, "Примечания", data.Notes);
    html += "</table>";

    html += "<h3>" + T("Найденные ошибки") + "</h3>";
    if (data.Faults.empty())
        html += "<p>" + T("ОШИБОК НЕТ!") + "</p>";
    else
        FaultTable(html, data.Faults);

    html += "<h3>" + T("Стирание ошибок") + "</h3>";
    if (!data.EraseDone) {
        html += "<p>" + T("Ошибки в этом визите не стирались.") + "</p>";
    } else {
        FaultList(html, "Стерто:", data.Erased);
        FaultList(html, "Осталось после стирания:", data.Remaining);
    }

    if (!data.Values.empty()) {
        html += "<h3>" + T("Текущие значения") +
                (data.ValuesTitle.empty() ? "" : ": " + Html(data.ValuesTitle)) +
                "</h3><table width='100%' border='1' cellspacing='0' cellpadding='3'><tr><th width='60%'>" +
                T("Параметр") + "</th><th width='25%'>" + T("Значение") + "</th><th width='15%'>" + T("Ед.") +
                "</th></tr>";
        for (const TReportValue& value : data.Values) {
            // A value outside its normal range: a red field and a word saying so, for a black-and-white
            // print.
            const QString mark = value.Marked ? " bgcolor='#ffc0c0'" : "";
            html += "<tr><td" + mark + ">" + Html(value.Name) + "</td><td" + mark + ">" +
                    (value.Marked ? "<b>! " + Html(value.Value) + "</b> (" + T("вне нормы") + ")"
                                  : Html(value.Value)) +
                    "</td><td" + mark + ">" + Html(value.Unit) + "</td></tr>";
        }
        html += "</table>";
    }
    if (!graph.isNull()) {
        document->addResource(QTextDocument::ImageResource, QUrl("velmora://graph.png"), graph);
        html += "<h3>" + T("График") + "</h3><p><img src='velmora://graph.png' width='600'></p>";
    }
    html += "</body></html>";
    document->setHtml(html);
    return document;
}

void RenderReport(const TCustomerReportData& data, const QImage& graph, QPagedPaintDevice& device) {
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageMargins(QMarginsF(0, 0, 0, 0));
    const std::unique_ptr<QTextDocument> document = BuildReportDocument(data, graph);
    // An unpaginated document is printed with 2 cm margins and the page number at the foot.
    document->print(&device);
}

std::string ReportFileName(const std::tm& when, int copy) {
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &when);
    return "REPORT_" + std::string(stamp) + (copy > 1 ? "_" + std::to_string(copy) : std::string()) + ".pdf";
}

std::filesystem::path ReportFolder(std::string_view client) {
    return client.empty() ? ProgramFolder() / "LOGS" : ProgramFolder() / "CLIENTS" / Utf8Path(client);
}

std::optional<std::filesystem::path> SaveReportPdf(const TCustomerReportData& data, const QImage& graph,
                                                   std::string_view client, const std::filesystem::path& file,
                                                   std::string& error) {
    std::error_code failed;
    std::filesystem::path target = file;
    QFile out;
    if (!target.empty()) {
        out.setFileName(QString::fromStdU16String(target.u16string()));
        // NewOnly: a file of that name, whoever made it meanwhile, is never written over.
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            error = out.exists() ? "the file exists already: " + target.string()
                                 : "cannot write " + target.string() + ": " + out.errorString().toStdString();
            return std::nullopt;
        }
    } else {
        const std::filesystem::path folder = ReportFolder(client);
        std::filesystem::create_directories(folder, failed);
        const std::tm local = LocalTimeNow();
        for (int copy = 1; copy < 1000 && !out.isOpen(); ++copy) {
            target = folder / Utf8Path(ReportFileName(local, copy));
            out.setFileName(QString::fromStdU16String(target.u16string()));
            if (out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                break;
            if (!out.exists()) {
                error = "cannot write " + target.string() + ": " + out.errorString().toStdString();
                return std::nullopt;
            }
        }
        if (!out.isOpen()) {
            error = "no free report name in " + folder.string();
            return std::nullopt;
        }
    }
    {
        QPdfWriter writer(&out);
        writer.setTitle(QString::fromUtf8(Translate("Отчёт о диагностике")));
        writer.setCreator("Velmora");
        writer.setResolution(300);
        RenderReport(data, graph, writer);
    }
    out.close();
    if (out.error() != QFileDevice::NoError) {
        error = "cannot write " + target.string() + ": " + out.errorString().toStdString();
        return std::nullopt;
    }
    return target;
}

} // namespace velmora

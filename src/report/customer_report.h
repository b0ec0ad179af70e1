// The customer report as a document: Qt's text document lays it out on A4 (margins of 2 cm, the page
// number at the foot of each page) with DejaVu Sans, whose glyphs cover Cyrillic and umlauts and are
// embedded in the PDF; Qt's PDF writer or a printer renders it. Qt Gui only, no widgets: the window
// and the command-line tool share it. The thread that owns the (Gui) application.
#pragma once

#include <QImage>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "report/report_data.h"

class QPagedPaintDevice;
class QTextDocument;

namespace velmora {

// The font family the report asks for; loaded from the system's font files when the font database
// lacks it.
inline constexpr const char* ReportFontFamily = "DejaVu Sans";

// The report's document in the current language (texts through the dictionary); `graph` may be null.
std::unique_ptr<QTextDocument> BuildReportDocument(const TCustomerReportData& data, const QImage& graph);

// Renders the report onto a printer or PDF writer (its page size is set to A4 first).
void RenderReport(const TCustomerReportData& data, const QImage& graph, QPagedPaintDevice& device);

// "REPORT_<yyyymmdd>_<hhmmss>.pdf", with "_2", "_3" ... before the extension for `copy` > 1.
std::string ReportFileName(const std::tm& when, int copy);
// CLIENTS/<client>/ when a client is chosen, else LOGS/.
std::filesystem::path ReportFolder(std::string_view client);

// Writes the PDF: to `file` when given (an existing file is not overwritten), else into ReportFolder
// under the first free ReportFileName. The file written, or nullopt with `error` set.
std::optional<std::filesystem::path> SaveReportPdf(const TCustomerReportData& data, const QImage& graph,
                                                   std::string_view client, const std::filesystem::path& file,
                                                   std::string& error);

} // namespace velmora

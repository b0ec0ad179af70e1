// velmora-cli report --pdf: the customer report of the session as a PDF (Qt Gui on the offscreen
// platform when no other is chosen). Main thread only.
#pragma once

#include <memory>
#include <string>

#include "session.h"

namespace velmora {

struct TPdfReportOptions {
    std::string File; // empty: the client's folder, a new name with date and time
    std::string Mileage;
    std::string Notes;
    int Seconds = 3; // how long values are read for the snapshot
};

// Reads values for a while and gathers the report's content from the running session.
struct TPdfReport;
std::shared_ptr<TPdfReport> CollectCustomerReport(TCliSession& session, const TConnectSettings& settings,
                                                  const TPdfReportOptions& options);
// Writes the gathered report (after the session has ended: rendering takes a while, and the link is not
// kept awake meanwhile); the file written, or empty with `error` set.
std::string WriteCustomerPdf(const TPdfReport& report, const TConnectSettings& settings,
                             const TPdfReportOptions& options, THistoryRecorder* history, std::string& error);
bool PdfReportAvailable();

} // namespace velmora

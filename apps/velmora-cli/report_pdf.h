// velmora-cli report --pdf: the customer report of the session as a PDF (Qt Gui on the offscreen
// platform when no other is chosen). Main thread only.
#pragma once

#include <string>

#include "session.h"

namespace velmora {

struct TPdfReportOptions {
    std::string File; // empty: the client's folder, a new name with date and time
    std::string Mileage;
    std::string Notes;
    int Seconds = 3; // how long values are read for the snapshot
};

// Reads values for a while, builds the report and writes it; the file written, or empty with
// `error` set. Whether this build has it at all: PdfReportAvailable().
std::string WriteCustomerPdf(TCliSession& session, const TConnectSettings& settings,
                             const TPdfReportOptions& options, std::string& error);
bool PdfReportAvailable();

} // namespace velmora

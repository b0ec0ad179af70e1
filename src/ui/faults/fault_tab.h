// The tab "Ошибки": the fault table of the engine unit (code, state, short text) with the details of the
// selected fault under it (what it means, what to check, the component), the switches for Russian texts
// and for stored faults only, the erase command and the report (shown in a window and saved under LOGS).
// The table is drawn from the fault memory the worker read (WM_USER+10). Window thread only.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "faults/fault_display.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTableWidget;

namespace velmora {

class TConnectionControl;

class TFaultTab : public QWidget {
    Q_OBJECT
public:
    // WM_USER+10 arguments.
    static constexpr intptr_t ShowFaults = 0;
    static constexpr intptr_t ClearFaults = 0xFFFF;

    // `languageLetter` picks the text files (Part of the settings: 'R', 'E' or 'D'); `client` names the
    // client whose folder takes the reports.
    TFaultTab(TConnectionControl& connection, std::function<char()> languageLetter,
              std::function<std::string()> client, QWidget* parent = nullptr);

    // The tab was opened: the list says it is reading and the worker is asked for the faults.
    void StartView();
    // WM_USER+10: ShowFaults draws the list from the worker's fault memory (nothing when it holds none
    // yet), ClearFaults empties it.
    void HandleFaultMessage(intptr_t wParam);
    // The connection ended: no answer will come, so the wait mark goes.
    void StopWaiting();
    // "Удаление ошибок" (only while the link is alive).
    void btnEraseClick();
    // "Сохранить отчет в файл": the report in its window and in its file; false (with a log line) when
    // the worker holds no fault memory yet or the file could not be written.
    bool btnReportClick();

    QCheckBox* RussianTexts() const { return cbErrRus; }
    // The report window of the last report, or nullptr.
    QPlainTextEdit* ReportView() const { return Report; }

private:
    void cbPostOnlyClick();
    void SetWaiting(bool waiting);
    void ShowRows(std::vector<TFaultRow> rows);
    // The details pane for the selected row (empty for none or for a line of its own).
    void ShowDetails();

    TConnectionControl& Connection;
    std::function<char()> LanguageLetter;
    std::function<std::string()> Client;
    QTableWidget* lbPostErr = nullptr;
    QPlainTextEdit* memoFaultDetails = nullptr;
    std::vector<TFaultRow> Rows; // what the table shows, row by row
    QCheckBox* cbErrRus = nullptr;
    QCheckBox* cbPostOnly = nullptr;
    QLabel* pnlWait = nullptr;
    QPlainTextEdit* Report = nullptr;
    bool EraseAsked = false; // the next list is the one read after an erase
};

} // namespace velmora

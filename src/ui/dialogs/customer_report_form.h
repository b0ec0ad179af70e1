// "Отчёт для клиента": the mechanic types the mileage and notes, chooses whether the graph goes in,
// edits the workshop's details ("Мастерская…") and saves the report as PDF into the client's folder or
// prints it through the system's print dialog. Window thread only.
#pragma once

#include <QDialog>
#include <QImage>
#include <string>

#include "report/report_data.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace velmora {

class THistoryRecorder;

class TCustomerReportForm : public QDialog {
    Q_OBJECT
public:
    // `data` holds everything read from the unit; `graph` may be null (no graph shown).
    TCustomerReportForm(TCustomerReportData data, QImage graph, std::string client, THistoryRecorder* history,
                        QWidget* parent = nullptr);

    // "Сохранить PDF": the file written, or empty (the reason shown in a box).
    std::string SavePdf();
    void Print();
    void EditWorkshop();

    QLineEdit* Mileage() const { return edMileage; }
    QPlainTextEdit* Notes() const { return edNotes; }
    QCheckBox* WithGraph() const { return cbGraph; }

private:
    // The data with what was typed in.
    TCustomerReportData Completed() const;
    QImage ChosenGraph() const;

    TCustomerReportData Data;
    QImage Graph;
    std::string Client;
    THistoryRecorder* History;
    QLineEdit* edMileage = nullptr;
    QPlainTextEdit* edNotes = nullptr;
    QCheckBox* cbGraph = nullptr;
};

// The workshop's name, address and phone in a small modal dialog; true when saved.
bool EditWorkshopDetails(QWidget* parent);

} // namespace velmora

// "История автомобиля": the visits the history holds, chosen by car (VIN or identification) or by
// client with a search field, newest first, each with its faults (the ones back after an erase marked),
// erases, functions and files; a visit's reports open in the desktop's viewer, its exchange log is
// handed on as a recording (OpenRecordingRequested). A history that cannot be read is said so in the
// window, never shown as an empty list. Window thread only; the store is read on that thread.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "ui/history/visit_rows.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace velmora {

class THistoryForm : public QDialog {
    Q_OBJECT
public:
    // `store` null: `problem` says why there is none (empty: the history is switched off). The window
    // starts with `key` of kind `by` chosen when it is given.
    THistoryForm(std::unique_ptr<THistoryStore> store, std::string problem, THistoryKey by, std::string key,
                 QWidget* parent = nullptr);
    ~THistoryForm() override;

    // Reads the history again; false (with the reason in the window) when it cannot be read.
    bool Reload();
    // Opens the file of a file line; false (with the reason in the window) when it does not exist or
    // the viewer refuses it.
    bool OpenItem(QTreeWidgetItem* item);

    // Opens a report; the desktop's viewer unless a test replaces it. True when it was opened.
    std::function<bool(const QString& path)> OpenFile;

    QComboBox* By() const { return cbBy; }
    QLineEdit* Search() const { return edSearch; }
    QListWidget* Keys() const { return lbKeys; }
    QTreeWidget* Visits() const { return tvVisits; }
    QLabel* Message() const { return labMessage; }

signals:
    // An exchange log or recording to replay.
    void OpenRecordingRequested(const QString& path);

private:
    void FillKeys();
    void FillVisits();
    void ShowMessage(const std::string& text, bool problem);
    std::string FaultText(const std::string& unit, int code);
    THistoryKey Kind() const;

    std::unique_ptr<THistoryStore> Store;
    std::string Problem;
    std::string Wanted; // the key to choose when the list is filled
    std::vector<TVisit> All;
    bool Readable = false;
    std::vector<std::pair<uint8_t, std::vector<std::string>>> TextCache; // unit type -> texts

    QComboBox* cbBy = nullptr;
    QLineEdit* edSearch = nullptr;
    QListWidget* lbKeys = nullptr;
    QTreeWidget* tvVisits = nullptr;
    QLabel* labMessage = nullptr;
    QPushButton* btnOpen = nullptr;
};

} // namespace velmora

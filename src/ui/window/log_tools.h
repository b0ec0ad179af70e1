// The window's tools for exchange logs and values: the menu command "Преобразовать лог файл" (a file
// or a folder, run off the window thread with a progress box, the result opened afterwards) and the
// CSV recording of the values the shown screen or graph polls, switched by one menu item, its file
// name shown in the status bar. Window thread only; the conversion itself runs on a thread of its own.
#pragma once

#include <QObject>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "log_convert/log_converter.h"
#include "log_convert/value_csv.h"

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QProgressDialog;

namespace velmora {

class TListPrm;

class TLogTools : public QObject {
    Q_OBJECT
public:
    // Adds "Преобразовать лог файл" and the CSV switch to `fileMenu` and the CSV label to the window's
    // status bar.
    TLogTools(QMainWindow* window, QMenu* fileMenu);
    // Cancels a conversion still running and waits for it.
    ~TLogTools() override;

    // Starts the conversion of `path` (false when one is running already).
    bool StartConversion(const std::filesystem::path& path, const TConvertOptions& options);
    bool ConversionRunning() const { return Worker.joinable(); }

    // Starts recording to `file` (false, with a log line, when it cannot be written); StopCsv ends it.
    bool StartCsv(const std::filesystem::path& file);
    void StopCsv();
    bool CsvRecording() const { return Csv.IsOpen(); }
    // A value of the shown list was updated (WM_USER+8 with its number).
    void ValueUpdated(const TListPrm* list, int number);

    // Opens a converted text or folder; the desktop's viewer unless a test replaces it.
    std::function<void(const std::filesystem::path&)> OpenResult;
    // Called on the window thread when a conversion has ended.
    std::function<void(const TConvertResult&)> OnConverted;

private:
    void ConvertClick();
    void CsvClick();
    void ConversionEnded(const TConvertResult& result, const std::filesystem::path& path);

    QMainWindow* Window;
    QAction* mnuConvertLog = nullptr;
    QAction* mnuCsvRecord = nullptr;
    QLabel* labCsvFile = nullptr;
    QProgressDialog* Progress = nullptr;
    std::thread Worker;
    std::atomic<bool> Cancel{false};
    TValueCsv Csv;
    uint32_t CsvStartTick = 0;
};

} // namespace velmora

#include "ui/window/log_tools.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QProgressDialog>
#include <QStatusBar>
#include <QUrl>

#include "lang/dictionary.h"
#include "params/list_prm.h"
#include "params/visual_param.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"
#include "ui/dialogs/convert_log_form.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

QString Tr(const char* russian) {
    return QString::fromStdString(Translate(russian));
}

constexpr int ProgressSteps = 1000;

} // namespace

TLogTools::TLogTools(QMainWindow* window, QMenu* fileMenu) : QObject(window), Window(window) {
    OpenResult = [](const fs::path& result) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(result.string())));
    };
    mnuConvertLog = fileMenu->addAction("Преобразовать лог файл");
    mnuConvertLog->setObjectName("mnuConvertLog");
    connect(mnuConvertLog, &QAction::triggered, this, [this] { ConvertClick(); });
    mnuCsvRecord = fileMenu->addAction("Запись значений в CSV");
    mnuCsvRecord->setObjectName("mnuCsvRecord");
    mnuCsvRecord->setCheckable(true);
    connect(mnuCsvRecord, &QAction::triggered, this, [this] { CsvClick(); });
    labCsvFile = new QLabel(window);
    labCsvFile->setObjectName("labCsvFile");
    window->statusBar()->addPermanentWidget(labCsvFile);
}

TLogTools::~TLogTools() {
    Cancel = true;
    if (Worker.joinable())
        Worker.join();
    Csv.Close();
}

void TLogTools::ConvertClick() {
    TConvertLogForm form(Utf8Path(BuildPath("", "LOGS", "", false)), Window);
    if (form.exec() != QDialog::Accepted || form.Path().empty())
        return;
    StartConversion(form.Path(), form.Options());
}

bool TLogTools::StartConversion(const fs::path& path, const TConvertOptions& options) {
    if (Worker.joinable())
        return false;
    Cancel = false;
    mnuConvertLog->setEnabled(false);
    Progress =
        new QProgressDialog(Tr("Преобразование лог файлов в текст"), Tr("Отмена"), 0, ProgressSteps, Window);
    Progress->setObjectName("ConvertProgress");
    Progress->setWindowModality(Qt::WindowModal);
    Progress->setMinimumDuration(300);
    connect(Progress, &QProgressDialog::canceled, this, [this] { Cancel = true; });

    TConvertOptions run = options;
    run.Cancel = &Cancel;
    QProgressDialog* progress = Progress;
    run.OnProgress = [this, progress](const TConvertProgress& step) {
        const int value = step.BytesTotal == 0 ? 0 : int(step.BytesDone * ProgressSteps / step.BytesTotal);
        const QString text = Tr("Преобразование лог файлов в текст") +
                             QString(" %1/%2").arg(step.FileIndex + 1).arg(step.FileCount);
        QMetaObject::invokeMethod(
            this,
            [progress, value, text] {
                progress->setValue(value);
                progress->setLabelText(text);
            },
            Qt::QueuedConnection);
    };
    Worker = std::thread([this, path, run] {
        const TConvertResult result = ConvertLogs(path, run);
        QMetaObject::invokeMethod(
            this, [this, result, path] { ConversionEnded(result, path); }, Qt::QueuedConnection);
    });
    return true;
}

void TLogTools::ConversionEnded(const TConvertResult& result, const fs::path& path) {
    Worker.join();
    Progress->deleteLater();
    Progress = nullptr;
    mnuConvertLog->setEnabled(true);
    if (!result.Cancelled && !result.Written.empty()) {
        std::error_code error;
        OpenResult(fs::is_directory(path, error) ? path : result.Written.front());
    }
    if (OnConverted)
        OnConverted(result);
}

bool TLogTools::StartCsv(const fs::path& file) {
    if (!Csv.Open(file, TValueCsv::TimeColumn)) {
        AddLog(Translate("Не удалось записать файл:") + " " + file.string());
        mnuCsvRecord->setChecked(false);
        labCsvFile->clear();
        return false;
    }
    CsvStartTick = Clock().TickCount();
    mnuCsvRecord->setChecked(true);
    labCsvFile->setText("CSV: " + QString::fromStdString(file.string()));
    return true;
}

void TLogTools::StopCsv() {
    if (Csv.IsOpen() && !Csv.Close())
        AddLog(Translate("Не удалось записать файл:") + " " + Csv.FileName().string());
    mnuCsvRecord->setChecked(false);
    labCsvFile->clear();
}

void TLogTools::CsvClick() {
    if (Csv.IsOpen()) {
        StopCsv();
        return;
    }
    const fs::path folder = Utf8Path(BuildPath("", "LOGS", "", true));
    const QString suggested = QString::fromStdString((folder / "values.csv").string());
    const QString file =
        QFileDialog::getSaveFileName(Window, Tr("Запись значений в CSV"), suggested, "*.csv");
    if (file.isEmpty()) {
        mnuCsvRecord->setChecked(false);
        return;
    }
    StartCsv(Utf8Path(file.toStdString()));
}

void TLogTools::ValueUpdated(const TListPrm* list, int number) {
    if (!Csv.IsOpen() || !list)
        return;
    if (const TBaseParam* view = list->FindByNumber(number))
        Csv.Add(TicksSince(CsvStartTick, Clock().TickCount()), view->Param);
}

} // namespace velmora

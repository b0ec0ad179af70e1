#include "ui/panels/line_functions.h"

#include <QAction>
#include <QBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <memory>

#include "lang/dictionary.h"
#include "line_tests/adapter_test.h"
#include "line_tests/elm_to_kkl.h"
#include "line_tests/kline_impulse.h"
#include "links/line_lease.h"
#include "platform/host.h"
#include "platform/program_folders.h"
#include "platform/text_encoding.h"
#include "platform/utf8_path.h"
#include "slow_codes/blink_code_meanings.h"
#include "slow_codes/slow_codes.h"
#include "ui/panels/analog_panel.h"
#include "ui/panels/line_job.h"

namespace velmora {

namespace {

constexpr const char* PlanFileName = "Plan.txt";

// The families with a blink-code table, by the identification's unit type.
TBlinkUnit BlinkUnitOf(uint8_t unitType) {
    constexpr uint8_t Hfm = 1, Lh = 3;
    return unitType == Hfm ? TBlinkUnit::Hfm : unitType == Lh ? TBlinkUnit::Lh : TBlinkUnit::Unknown;
}

} // namespace

TLineFunctions::TLineFunctions(TLineFunctionsWindow window, QObject* parent)
    : QObject(parent), Window(std::move(window)), Job(new TLineJob(this)) {}

TLineFunctions::~TLineFunctions() {
    StopAndWait();
}

void TLineFunctions::AddMenus(QMenuBar* menuBar, QAction* functionsBefore, QAction* slowCodesBefore) {
    auto* functions = new QMenu("Функции", menuBar);
    functions->setObjectName("mnuFunctions");
    auto add = [&](const char* caption, const char* name, std::function<void()> click) {
        QAction* action = functions->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [click = std::move(click)] { click(); });
    };
    add("Тестирование адаптера", "mnuTestAdapter", [this] { TestAdapterClick(); });
    const char* const impulseNames[] = {"mnuDownKLine4", "mnuDownKLine6", "mnuDownKLine8"};
    for (size_t i = 0; i < std::size(ImpulseMenuMs); ++i) {
        const uint32_t ms = ImpulseMenuMs[i];
        const std::string caption = "Прижать K-линию к массе на " + std::to_string(ms / 1000) + " с";
        add(caption.c_str(), impulseNames[i], [this, ms] { ImpulseClick(ms); });
    }
    // The cable functions are not offered for an ELM327 (the adapter kind may change between two looks).
    const QList<QAction*> cableFunctions = functions->actions();
    connect(functions, &QMenu::aboutToShow, this, [this, cableFunctions] {
        for (QAction* action : cableFunctions)
            action->setEnabled(Window.Adapter() != 'E');
    });
    add("Перевести ELM327 в режим K-Line", "mnuElmToKkl", [this] { ElmToKklClick(); });
    add("Аналоговое чтение памяти неисправностей", "mnuAnalogRead", [this] { AnalogMenuClick(); });
    menuBar->insertMenu(functionsBefore, functions);

    auto* slowCodes = new QAction("Медленные коды", menuBar);
    slowCodes->setObjectName("mnuSlowCodes");
    connect(slowCodes, &QAction::triggered, this, [this] { AnalogMenuClick(); });
    menuBar->insertAction(slowCodesBefore, slowCodes);
}

void TLineFunctions::AddToMemoPage(QBoxLayout* memoRow, QBoxLayout* sideColumn) {
    MemoPlan = new QPlainTextEdit;
    MemoPlan->setObjectName("MemoPlan");
    MemoPlan->setReadOnly(true);
    MemoPlan->hide();
    // Half of the memo area: the log memo keeps the same stretch.
    memoRow->insertWidget(0, MemoPlan, 1);

    BtnPlan = new QPushButton("План тестирования");
    BtnPlan->setObjectName("BtnPlan");
    connect(BtnPlan, &QPushButton::clicked, this, [this] { BtnPlanClick(); });
    sideColumn->addWidget(BtnPlan);
    Panel = new TAnalogPanel([this](const TSlowCodeOptions& options) { RunSlowCodes(options); },
                             [this] { ShowAnalogPanel(false); });
    Panel->hide();
    sideColumn->addWidget(Panel);
}

void TLineFunctions::Stop() {
    Job->Stop();
}

void TLineFunctions::StopAndWait() {
    Job->StopAndWait();
}

bool TLineFunctions::Busy() const {
    return Job->Busy();
}

bool TLineFunctions::HoldsConnect() const {
    return Job->Busy() || (Panel && !Panel->isHidden());
}

TLineRequest TLineFunctions::Request() const {
    return {Window.PortName(), Window.Adapter(), Window.SessionRunning(), &Job->Line()};
}

bool TLineFunctions::StartJob(const char* job, std::function<void(const std::atomic<bool>& stop)> work,
                              std::function<void()> done) {
    // A job of these functions that runs holds the line: the box names it.
    if (Job->Busy()) {
        Host().MessageBox(LineBusyText(), TMsgKind::Warning, TMsgButtons::Ok);
        return false;
    }
    // An engine session still waking its unit may not hold the line yet: it is named all the same.
    if (Window.SessionRunning()) {
        Host().MessageBox(LineBusyText(EngineSessionJob), TMsgKind::Warning, TMsgButtons::Ok);
        return false;
    }
    TLineLease line = TLineLease::Take(job);
    if (!line) {
        Host().MessageBox(LineBusyText(), TMsgKind::Warning, TMsgButtons::Ok);
        return false;
    }
    if (!Job->Start(std::move(line), std::move(work), [this, done = std::move(done)] {
            Window.SetPortEnabled(true);
            if (done)
                done();
            UpdateConnect();
        }))
        return false;
    Window.SetPortEnabled(false);
    UpdateConnect();
    return true;
}

void TLineFunctions::UpdateConnect() {
    Window.SetConnectEnabled(!HoldsConnect());
}

void TLineFunctions::TestAdapterClick() {
    // The box for a port not chosen yet is asked here, on the window thread.
    if (Window.PortName().find('?') != std::string::npos) {
        TestAdapter({Window.PortName(), Window.Adapter(), Window.SessionRunning()}, false);
        return;
    }
    const TLineRequest request = Request();
    StartJob(AdapterTestJob, [request](const std::atomic<bool>& stop) {
        TestAdapter(request, request.Adapter == 'C', &stop);
    });
}

void TLineFunctions::ImpulseClick(uint32_t ms) {
    const TLineRequest request = Request();
    StartJob(ImpulseJob, [request, ms](const std::atomic<bool>& stop) { KLineImpulse(request, ms, stop); });
}

void TLineFunctions::ElmToKklClick() {
    const TLineRequest request = Request();
    StartJob(ElmToKklJob, [request](const std::atomic<bool>& stop) { ElmToKklCommand(request, stop); });
}

void TLineFunctions::AnalogMenuClick() {
    const char adapter = Window.Adapter();
    // The settings' default 'S' is a plain K-line cable as well.
    if (adapter == 'K' || adapter == 'C' || adapter == 'S') {
        ShowAnalogPanel(Panel->isHidden());
        return;
    }
    std::string text;
    if (adapter == 'E')
        text = Translate("Воспользуйтесь функцией \"Перевести ELM327 в режим работы K-Line\"") + "\r";
    text += Translate("Аналоговая диагностика (медленные коды) невозможна с выбранным типом адаптера.") +
            "\r" + Translate("Используйте адаптер K-Line (USB KKL, VAG COM 409.1)!");
    Host().MessageBox(text, TMsgKind::Error, TMsgButtons::Ok);
}

void TLineFunctions::ShowAnalogPanel(bool show) {
    // A run keeps its panel: its progress and the way to stop it stay in sight.
    if (!show && Job->Busy())
        return;
    if (show && Window.HideModulePanels)
        Window.HideModulePanels();
    Panel->setVisible(show);
    Panel->Reset();
    if (show && Window.LastUnitType) {
        if (const TBlinkUnit unit = BlinkUnitOf(Window.LastUnitType()); unit != TBlinkUnit::Unknown)
            Panel->SetUnit(unit);
    }
    UpdateConnect();
}

void TLineFunctions::RunSlowCodes(const TSlowCodeOptions& options) {
    const TLineRequest request = Request();
    QPointer<TAnalogPanel> panel = Panel;
    auto progress = [this, panel](const TSlowCodeProgress& p) {
        QMetaObject::invokeMethod(
            this,
            [panel, p] {
                if (panel)
                    panel->ShowProgress(p);
            },
            Qt::QueuedConnection);
    };
    // The codes read come back to the window thread, which explains them in the log before it is saved.
    auto result = std::make_shared<TSlowCodeResult>();
    const bool started = StartJob(
        SlowCodesJob,
        [request, options, progress, result](const std::atomic<bool>& stop) {
            *result = SlowCodes(request, options, stop, progress);
        },
        [this, result, unit = Panel->Unit()] {
            Panel->SetRunning(false);
            for (const std::string& line : BlinkCodeLines(unit, result->Codes))
                AddLog(line);
            Window.SaveLog();
        });
    if (started)
        Panel->SetRunning(true);
}

void TLineFunctions::BtnPlanClick() {
    if (MemoPlan->isVisible()) {
        MemoPlan->hide();
        return;
    }
    const auto file = ProgramFolder() / "DATA" / Utf8Path(LanguageCode()) / PlanFileName;
    if (std::optional<std::string> text = ReadTextFile(file))
        MemoPlan->setPlainText(QString::fromStdString(*text));
    else
        MemoPlan->setPlainText(QString::fromStdString(Translate("Файл не найден:") + " " + file.string()));
    MemoPlan->show();
}

} // namespace velmora

#include "ui/panels/module_panel.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/port_factory.h"
#include "modules/module_dialogue.h"
#include "platform/host.h"
#include "settings/program_settings.h"

namespace velmora {

namespace {

constexpr int PortBaud = 9600;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::vector<std::string> InfoLines(TModulePanel::TModule module) {
    if (module == TModulePanel::TModule::EGas)
        return {Translate("Тестирование ЭБУ E-GAS,"), Translate("Подключение:"),
                TranslateFormat("пин %d (колодка диагностики 16 пин, W124),", 14),
                TranslateFormat("пин %d (колодка диагностики 38)", 7)};
    return {Translate("Диагностика SRS,"), Translate("Подключение:"),
            TranslateFormat("пин %d (разъем диагностики 16 пин, W124),", 6),
            TranslateFormat("пин %d (разъем диагностики 38 пин)", 30)};
}

// A port of its own for the dialogue, freed when it ends: a port left open would be freed under the next
// job's feet.
TBasePort* OpenPort(const std::string& name) {
    return CreatePort(PortBaud, name) && Port() && Port()->IsOpen() ? Port() : nullptr;
}

} // namespace

TModulePanel::TModulePanel(TModule module, TModulePanelHost host, QWidget* parent)
    : QFrame(parent), Module(module), Host(std::move(host)) {
    const bool egas = module == TModule::EGas;
    setObjectName(egas ? "pnlEGas" : "pnlSRS");
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    btnHide = new QPushButton("X");
    btnHide->setObjectName(egas ? "btnEGasHide" : "btnSRSHide");
    btnHide->setFixedWidth(24);
    layout->addWidget(btnHide, 0, Qt::AlignRight);
    labInfo = new QLabel;
    labInfo->setObjectName(egas ? "labEGasInfo" : "labSRSInfo");
    layout->addWidget(labInfo);
    btnRead = new QPushButton("Чтение ошибок");
    btnRead->setObjectName(egas ? "btnEGasRead" : "btnSRSRead");
    btnReadErase = new QPushButton("Чтение и удаление ошибок");
    btnReadErase->setObjectName(egas ? "btnEGasErase" : "btnSRSErase");
    btnStop = new QPushButton("Stop");
    btnStop->setObjectName(egas ? "btnEGasStop" : "btnSRSStop");
    Progress = new QProgressBar;
    Progress->setObjectName(egas ? "pbEGas" : "pbSRS");
    Progress->setRange(0, 0); // busy: the dialogue's length is not known in advance
    Progress->setTextVisible(false);
    for (QWidget* w : {static_cast<QWidget*>(btnRead), static_cast<QWidget*>(btnReadErase),
                       static_cast<QWidget*>(btnStop), static_cast<QWidget*>(Progress)})
        layout->addWidget(w);
    connect(btnRead, &QPushButton::clicked, this, [this] { Start(false); });
    // Erasing cannot be undone, here as on the engine unit: the same question first.
    connect(btnReadErase, &QPushButton::clicked, this, [this] {
        if (velmora::Host().MessageBox(
                Translate("Стереть память неисправностей модуля? Сохраненные ошибки будут потеряны."),
                TMsgKind::Confirmation, TMsgButtons::YesNo) == TMsgResult::Yes)
            Start(true);
    });
    connect(btnStop, &QPushButton::clicked, this, [this] { StopDialogue(); });
    connect(btnHide, &QPushButton::clicked, this, [this] { HidePanel(); });
    UpdateButtons();
    setVisible(false);
}

TModulePanel::~TModulePanel() {
    Abort.store(true);
    if (Worker.joinable())
        Worker.join();
}

void TModulePanel::ShowPanel() {
    QStringList lines;
    for (const std::string& line : InfoLines(Module))
        lines << Q(line);
    labInfo->setText(lines.join('\n'));
    setVisible(true);
}

void TModulePanel::HidePanel() {
    if (Busy)
        return;
    labInfo->clear();
    setVisible(false);
}

void TModulePanel::SetLineFree(bool free) {
    LineFree = free;
    UpdateButtons();
}

void TModulePanel::UpdateButtons() {
    btnRead->setEnabled(!Busy && LineFree);
    btnReadErase->setEnabled(!Busy && LineFree);
    btnStop->setEnabled(Busy);
    btnHide->setEnabled(!Busy);
    Progress->setVisible(Busy);
}

bool TModulePanel::Start(bool erase) {
    if (Busy)
        return false;
    const uint8_t address = Module == TModule::EGas ? EGasAddress : SrsAddress;
    const char kind = Host.AdapterKind ? Host.AdapterKind() : 'K';
    if (const std::vector<std::string> refusal = AdapterRefusal(kind, address); !refusal.empty()) {
        std::string text;
        for (const std::string& line : refusal)
            text += (text.empty() ? "" : "\n") + Translate(line);
        velmora::Host().MessageBox(text, TMsgKind::Warning, TMsgButtons::Ok);
        return false;
    }
    // An engine session still waking its unit may not hold the line yet: it is named all the same.
    if (Host.EngineConnected && Host.EngineConnected()) {
        velmora::Host().MessageBox(LineBusyText(EngineSessionJob), TMsgKind::Warning, TMsgButtons::Ok);
        return false;
    }
    const std::string portName = Host.PortName ? Host.PortName() : "";
    if (portName.empty() || portName == NoPortName) {
        velmora::Host().MessageBox(Translate("Необходимо выбрать COM порт!"), TMsgKind::Error,
                                   TMsgButtons::Ok);
        return false;
    }
    Line = TLineLease::Take(address == SrsAddress ? SrsDialogueJob : EGasDialogueJob);
    if (!Line) {
        velmora::Host().MessageBox(LineBusyText(), TMsgKind::Warning, TMsgButtons::Ok);
        return false;
    }
    const std::string client = Host.Client ? Host.Client() : "";
    Abort.store(false);
    Busy = true;
    UpdateButtons();
    if (Host.RunningChanged)
        Host.RunningChanged(true);
    Worker = std::thread([this, address, kind, portName, client, erase] {
        bool done = false;
        try {
            if (TBasePort* port = OpenPort(portName)) {
                TModuleDialogue dialogue(*port, kind, portName);
                dialogue.Client = client;
                dialogue.Abort = &Abort;
                done = address == SrsAddress ? dialogue.DiagnoseSRS(erase)
                                             : dialogue.DiagnoseEGas(address, erase);
            } else {
                AddLog(OpenFailureText(portName)); // with the cause and its fix, where the port tells it
            }
        } catch (const std::exception& error) {
            AddLog(error.what()); // a port that failed under the dialogue; the dialogue is over
        }
        try {
            FreePort();
        } catch (const std::exception& error) {
            AddLog(error.what()); // a port that vanished may fail its close; the object is gone all the same
        }
        QMetaObject::invokeMethod(
            this, [this, done] { OnFinished(done); }, Qt::QueuedConnection);
    });
    return true;
}

void TModulePanel::OnFinished(bool done) {
    if (Worker.joinable())
        Worker.join();
    Line.Release();
    Busy = false;
    UpdateButtons();
    if (Host.RunningChanged)
        Host.RunningChanged(false);
    emit Finished(done);
}

void AddModuleMenus(QMenuBar* bar, TModulePanel* egas, TModulePanel* srs,
                    std::function<void()> hideOtherPanels) {
    QMenu* functions = bar->findChild<QMenu*>("mnuFunctions");
    if (!functions) {
        functions = bar->addMenu("Функции");
        functions->setObjectName("mnuFunctions");
    }
    const auto show = [egas, srs, hideOtherPanels](TModulePanel* panel) {
        if (hideOtherPanels)
            hideOtherPanels();
        for (TModulePanel* other : {egas, srs})
            if (other != panel)
                other->HidePanel();
        panel->ShowPanel();
    };
    QAction* egasItem = functions->addAction("Диагностика E-GAS (CC/ISC)");
    egasItem->setObjectName("mnuEGas");
    QObject::connect(egasItem, &QAction::triggered, egas, [show, egas] { show(egas); });
    QAction* srsItem = functions->addAction("Диагностика SRS");
    srsItem->setObjectName("mnuSRS");
    QObject::connect(srsItem, &QAction::triggered, srs, [show, srs] { show(srs); });
    QAction* egsItem = functions->addAction("Диагностика EGS");
    egsItem->setObjectName("mnuEGS");
    QObject::connect(egsItem, &QAction::triggered, egas, [] {
        Host().MessageBox(Translate(EgsInDevelopmentText), TMsgKind::Information, TMsgButtons::Ok);
    });
    QAction* egasTop = bar->addAction("EGAS");
    egasTop->setObjectName("mnuEGasTop");
    QObject::connect(egasTop, &QAction::triggered, egas, [show, egas] { show(egas); });
    QAction* srsTop = bar->addAction("SRS");
    srsTop->setObjectName("mnuSRSTop");
    QObject::connect(srsTop, &QAction::triggered, srs, [show, srs] { show(srs); });
}

} // namespace velmora

// The side panels of the E-GAS and SRS modules on the page "Данные": four lines on how to connect, the
// buttons that read the faults or read and erase them, Stop, and "X" to hide the panel. The dialogue
// runs on a thread of its own so that the window stays responsive for its seconds; its log lines reach
// the log memo through the host. The dialogue takes the line first (links/line_lease.h) and gives it
// back once it has freed its port; while it runs its panel stays in sight with its Stop. Window thread
// only (the dialogue thread touches no widget).
#pragma once

#include <QFrame>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "links/line_lease.h"

class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;

namespace velmora {

// What a panel asks of the window.
struct TModulePanelHost {
    std::function<std::string()> PortName;
    std::function<char()> AdapterKind; // the port dialog's kind: 'K'/'S' cable, 'C' CarSoft, 'E' ELM327
    std::function<std::string()> Client;
    std::function<bool()> EngineConnected;            // an engine connection runs: the port is the worker's
    std::function<void(bool running)> RunningChanged; // the window holds Connect back meanwhile
};

class TModulePanel : public QFrame {
    Q_OBJECT
public:
    enum class TModule { EGas, Srs };

    TModulePanel(TModule module, TModulePanelHost host, QWidget* parent = nullptr);
    // A dialogue still running is stopped and waited for.
    ~TModulePanel() override;

    // Shows the panel with its four information lines; hiding empties them. A running dialogue keeps its
    // panel: its progress and the way to stop it stay in sight.
    void ShowPanel();
    void HidePanel();
    // Starts the dialogue (read, or read and erase) unless the adapter kind, a running engine connection,
    // a missing port or another job on the line forbids it (a message box says why). True when it started.
    bool Start(bool erase);
    // The window's word on the line: while another job holds it, the start buttons are held.
    void SetLineFree(bool free);
    // Asks the running dialogue to end after its current wait.
    void StopDialogue() { Abort.store(true); }
    bool Running() const { return Busy; }

signals:
    // The dialogue ended; `done` when it ran to the end.
    void Finished(bool done);

private:
    void OnFinished(bool done);
    void UpdateButtons();

    TModule Module;
    TModulePanelHost Host;
    QLabel* labInfo = nullptr;
    QPushButton* btnRead = nullptr;
    QPushButton* btnReadErase = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnHide = nullptr;
    QProgressBar* Progress = nullptr;
    std::thread Worker;
    std::atomic<bool> Abort{false};
    bool Busy = false;
    bool LineFree = true;
    TLineLease Line; // taken before the dialogue starts, given back after its thread has ended
};

// The menu entries: under "Функции" (found by its object name "mnuFunctions", or made) "Диагностика
// E-GAS (CC/ISC)", "Диагностика SRS" and "Диагностика EGS" ("В разработке!"), and the top-level items
// "EGAS" and "SRS". Showing one panel hides the other, and `hideOtherPanels` hides the slow-code panel.
void AddModuleMenus(QMenuBar* bar, TModulePanel* egas, TModulePanel* srs,
                    std::function<void()> hideOtherPanels = {});

} // namespace velmora

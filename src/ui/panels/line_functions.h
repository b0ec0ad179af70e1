// The window's functions on the line itself: the "Функции" menu entries (adapter test, K-line impulses,
// ELM327 to K-line mode, analog slow codes), the top-level "Медленные коды" entry, the analog-diagnosis
// panel, the test plan memo and its button. Every function runs as a TLineJob off the window thread, on
// the line it takes before it starts (links/line_lease.h): a start while another job holds the line is
// refused with a box naming that job. While one runs, or while the analog panel is shown, the functions
// hold "Connect" back (the window also asks HoldsConnect). Window thread only.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QBoxLayout;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

class TAnalogPanel;
class TLineJob;
struct TLineRequest;
struct TSlowCodeOptions;

// What the functions need of the window.
struct TLineFunctionsWindow {
    std::function<std::string()> PortName; // the caption of the port button
    std::function<char()> Adapter;         // the adapter kind of the settings
    std::function<bool()> SessionRunning;  // the worker is alive
    // The functions' word on "Connect" (false while a job runs or the analog panel is shown); the window
    // weighs it with the other jobs on the line.
    std::function<void(bool)> SetConnectEnabled;
    // The port button: no other port may be chosen (or probed) while a function holds the port.
    std::function<void(bool)> SetPortEnabled;
    std::function<void()> SaveLog;          // as "Сохранить текст"
    std::function<void()> HideModulePanels; // showing the analog panel hides the E-GAS and SRS panels
    // The family of the last connection's unit (0 before one answered): the analog panel explains the
    // blink codes of that family unless the user chose another.
    std::function<uint8_t()> LastUnitType;
};

class TLineFunctions : public QObject {
    Q_OBJECT
public:
    TLineFunctions(TLineFunctionsWindow window, QObject* parent);
    ~TLineFunctions() override;

    // Adds the "Функции" menu before `functionsBefore` and the "Медленные коды" entry before
    // `slowCodesBefore`.
    void AddMenus(QMenuBar* menuBar, QAction* functionsBefore, QAction* slowCodesBefore);
    // Puts the plan memo left of the log memo in `memoRow`, and the plan button and the analog panel into
    // the side panel's `sideColumn`.
    void AddToMemoPage(QBoxLayout* memoRow, QBoxLayout* sideColumn);

    // "Stop": ends a running job at its next wait.
    void Stop();
    // Closing: stops a running job and waits for it.
    void StopAndWait();
    bool Busy() const;
    // A job runs or the analog panel is shown: "Connect" stays disabled.
    bool HoldsConnect() const;

    void TestAdapterClick();
    void ImpulseClick(uint32_t ms);
    void ElmToKklClick();
    // The two menu entries of the analog panel: toggle it for a K-line cable or a CarSoft interface.
    void AnalogMenuClick();
    void ShowAnalogPanel(bool show);
    void RunSlowCodes(const TSlowCodeOptions& options);
    void BtnPlanClick();

private:
    // The request of a job about to start: the window's port and adapter, with the job's line.
    struct TLineRequest Request() const;
    // Takes the line for `job` and starts `work` on it; a box says why when it cannot.
    bool StartJob(const char* job, std::function<void(const std::atomic<bool>& stop)> work,
                  std::function<void()> done = {});
    void UpdateConnect();

    TLineFunctionsWindow Window;
    TLineJob* Job = nullptr;
    TAnalogPanel* Panel = nullptr;
    QPlainTextEdit* MemoPlan = nullptr;
    QPushButton* BtnPlan = nullptr;
};

} // namespace velmora

// The main window: the top panel with the connection controls, the page control with the log memo,
// faults, parameter screens and graphs, the menus, and the handlers of the messages the engine
// connection posts (WM_USER+n). Window thread only; other threads reach it through TQtHost.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/velmora_version.h"
#include "settings/program_settings.h"
#include "ui/window/connection_control.h"
#include "ui/window/engine_mode.h"
#include "ui/window/replay_recording.h"
#include "ui/window/switch_connection.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace velmora {

class TLogTools;
class THistoryForm;

class TActivationPanel;
class TBlinkMark;
class TFaultTab;
class TGraphTab;
class TLineFunctions;
class TListPrm;
class TModulePanel;
class TReplayBar;
class TReplayConnection;
class TScreenPages;
class TSmoothTab;
class TTripTab;

// Messages of the engine connection, numbered after WM_USER.
enum : uint32_t {
    WM_LINK_STATE = WM_USER + 1,
    WM_ECU_READY = WM_USER + 2,
    WM_DISCONNECTED = WM_USER + 3,
    WM_ANSWER_TICK = WM_USER + 4,
    WM_PARAM_UPDATED = WM_USER + 8,
    WM_FAULTS = WM_USER + 10,
    WM_ACTIVATION_READY = WM_USER + 11,
    WM_ACTUATOR_VALUE = WM_USER + 13,
    WM_ENGINE_MODE = WM_USER + 14,
    WM_CODING_VISIBLE = WM_USER + 15,
    WM_PARAMS_LOADED = WM_USER + 16,
    CM_SHOW_MESSAGE = WM_USER + 17,
    WM_RATE_SHOWN = WM_USER + 18,
    WM_SMOOTH_RESULT = WM_USER + 19,
    WM_TRIP_UPDATE = WM_USER + 21,
    WM_LH_CODE = WM_USER + 22,
};

// The one version of the build (the project version), shown in the menu, the memo and the version box.
inline constexpr const char* ProgramVersion = PackageVersion;

enum TPage { PageMemo, PageError, PageScreens, PageGraph, PageSmooth, PageComputer };

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // `firstRunPort` is the port shown when there is no settings file yet (the simulated car).
    explicit TMainForm(TConnectionControl& connection, std::string firstRunPort = {},
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    // One posted message of the engine connection.
    void HandleMessage(uint32_t msg, intptr_t wParam, intptr_t lParam);
    // 0 disconnected (red), 1 linking (dark red), 2 connected (dark green).
    void SetConnectionState(int state);
    // "Connect", the port button and the module panels' start buttons: enabled only while no job holds the
    // line (the engine connection, a module dialogue, a line function, the slow codes) and no panel holds
    // Connect back.
    void RefreshLineButtons();

    const TProgramSettings& Settings() const { return Options; }
    QPlainTextEdit* LogMemo() const { return Memo1; }
    std::string PortName() const;
    std::string Client() const { return ClientName; }
    // "Файл" → "История автомобиля…": the history window, with the connected car (or else the chosen
    // client) preselected (main_form_report.cpp); the one open, nullptr before.
    THistoryForm* HistoryClick();
    THistoryForm* HistoryWindow() const;
    // The file the log memo was last saved to.
    std::string LogSaveFile() const { return LastLogFile; }
    // Tells long-running loops (the worker's and modal functions') to end; set by Stop, tab changes and
    // closing.
    std::atomic<bool> AbortRequested{false};
    bool RateShown = false;

    void btnConnectClick();
    void StopClick();
    void btnPortClick();
    void btnClientClick();
    // "Очистить" (save false) and "Сохранить текст" (save true).
    void PanelLogClick(bool save);
    void SaveSettings(bool closing);
    void pgChange();
    void btnScreenShotClick();
    void mnu_verClick();
    void N4Click();
    // "Файл" → "Отчёт для клиента…": the customer report of this connection (main_form_report.cpp).
    void CustomerReportClick();
    void WordCorrectionClick();
    // "HFM" menu: the actuator tests at the next connection, adaptation reset, coding.
    void ActivationClick();
    void AdaptResetClick();
    void CodingClick();
    // "Файл" → "Открыть запись…": the recording (an exchange log, with or without its times) shown as a
    // session, until CloseRecording. Refused while a live connection runs. False with a box when the
    // file cannot be read.
    bool OpenRecording(const std::string& path);
    // The same for a recording already read.
    void OpenReplay(std::shared_ptr<const TReplayRecording> recording);
    // Back to the live state: the recording's screens and graph go, Connect is offered again.
    void CloseRecording();
    // The open replay, or nullptr.
    TReplayConnection* Replay() const { return ReplayConn.get(); }
    // The graph draws `path`'s curves dashed beside the open recording's; false with a box when it
    // cannot be read or no recording is open.
    bool CompareWith(const std::string& path);
    void CompareWithRecording(std::shared_ptr<const TReplayRecording> recording);
    // Where the compared recording's start lies on the open one's clock (ms; 0: both at their starts).
    void SetCompareOffset(int32_t offsetMs);
    // WM_USER+16: the menu carries the connected unit's family name and offers its functions only where
    // the unit has them.
    void ShowUnitFunctions();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildLayout();
    QWidget* BuildTopPanel();
    QWidget* BuildMemoPage();
    QWidget* BuildErrorPage();
    void BuildMenus();
    void FormCreate(const std::string& firstRunPort);
    void CheckPort();
    void ShowAdapterNotice();
    void PlaceTopRight();
    void OnEcuReady();
    void RedrawGraph();
    std::shared_ptr<TListPrm> ShowScreens();
    std::shared_ptr<TListPrm> ShowGraph();
    void FreeScreens();
    TConnectOptions ConnectOptions() const;
    void OnAnswerTick(uint32_t tick);
    void ShowDisconnected();
    void OnEngineMode(int event, int modeCode);
    void OnShowMessage(int which);
    void AddMemo(const std::string& line);
    void SetPortWarning(bool red);
    void SetPageVisible(int page, bool visible);
    // The panels on "Данные" (module dialogues, line functions) bring their tab forward when opened.
    void ShowMemoPage();
    void FitTopBarButtons();
    // The derived tabs (main_form_derived.cpp): shown after ECU ready where the unit allows them, set up
    // and requested when they become active.
    void ShowDerivedPages();
    void StartDerivedPage(int page);
    bool HandleKey(int key);
    // Whether a command for the unit may run; a box says why not.
    bool CommandsAllowed();
    void OpenRecordingClick();
    void CompareClick();
    // The replay's clock on the graph's time scale and cursor.
    void SetGraphClock();

    // The window's one connection: the live one, or a recording's replay while one is open.
    std::unique_ptr<TSwitchConnection> Switch;
    TConnectionControl& Connection;
    std::unique_ptr<TReplayConnection> ReplayConn;
    TReplayBar* ReplayBar = nullptr;
    int32_t CompareOffsetMs = 0;
    TProgramSettings Options;
    std::string ClientName;
    bool WordCorrection = false;
    int KLineBreakMs = 165; // wake-up break; only a click on cbLH changes it (130 checked, 160 cleared)
    int LogNumber = 0;
    std::string LogFolder; // where LogNumber was picked
    std::string LastLogFile;
    TEngineModeState EngineMode;
    TAnswerRate AnswerRate;
    bool InPageChange = false;
    int ConnectionState = 0; // as SetConnectionState got it: 0 none, 1 waking, 2 connected

    QFrame* Panel1 = nullptr;
    QFrame* pnlStatus = nullptr;
    QPushButton* btnConnect = nullptr;
    QPushButton* Stop = nullptr;
    QPushButton* btnClient = nullptr;
    QLabel* labClient = nullptr;
    QFrame* pnlPortWarning = nullptr;
    QPushButton* btnPort = nullptr;
    int ComLastNum = 20; // the tag of btnPort
    QLabel* labLogFile = nullptr;
    QLabel* labReaction = nullptr;
    QLabel* labRate = nullptr;    // answers per second, shown steadily while polling
    QLabel* labOffline = nullptr; // over the pages: the values shown are the last ones of a connection
    QString LastAnswerTime;       // wall-clock time of the last answer, for labOffline
    TBlinkMark* labIndicator = nullptr;
    QToolButton* btnScreenShot = nullptr;
    QTabWidget* pg = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QCheckBox* cbUseAsStandartKKL = nullptr;
    QCheckBox* cbLH = nullptr;
    TFaultTab* Faults = nullptr;
    QCheckBox* cbErrRus = nullptr; // on the fault tab; kept in the settings
    QAction* mnuWordCorrection = nullptr;
    QMenu* mnuHFM = nullptr; // titled after the connected unit's family
    QAction* mnuActivation = nullptr;
    QAction* mnuAdaptReset = nullptr;
    QAction* mnuCoding = nullptr;
    TActivationPanel* pnlActivation = nullptr;
    TModulePanel* pnlEGas = nullptr; // the module panels on "Данные" (ui/panels/module_panel.h)
    TModulePanel* pnlSRS = nullptr;
    QAction* mnu_ver = nullptr;
    TLogTools* LogTools = nullptr;   // "Файл": log conversion and CSV recording
    QPointer<THistoryForm> History;  // the history window while it is open
    TScreenPages* Screens = nullptr; // always there; its pages are built per connection
    QWidget* tsGraph = nullptr;
    TGraphTab* Graph = nullptr;
    TSmoothTab* SmoothTab = nullptr;
    TTripTab* TripTab = nullptr;
    // The functions on the line itself: their menus, the analog panel and the plan memo.
    TLineFunctions* LineFunctions = nullptr;
    // The list the worker polls and whose values it reports (WM_USER+8), and whether it is the graph.
    std::shared_ptr<TListPrm> CurrentList;
    bool CurrentIsGraph = false;
};

} // namespace velmora

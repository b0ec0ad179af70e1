#include "ui/window/worker_connection.h"

#include "connection/com_reader.h"
#include "engine_link/link_shared.h"
#include "params/unit_codes.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr uint32_t WM_RATE_SWITCH = WM_USER + 18;

} // namespace

TWorkerConnection::TWorkerConnection()
    : Recorder(MakeHistoryRecorder()), Worker(std::make_unique<TComReader>()) {
    Worker->Events = Recorder.get();
}

TWorkerConnection::~TWorkerConnection() {
    Worker->Terminate();
}

void TWorkerConnection::Start(const std::string& portName, char adapterKind, const TConnectOptions& options) {
    KLineBreakMs = options.KLineBreakMs;
    Worker->SetConnectLostTime(options.ConnectLostTime);
    Worker->SetIdleTime(options.IdleTime);
    Worker->SetIdleCmd(options.IdleCmd);
    WordCorrection = options.WordCorrection;
    TConnectSettings settings;
    settings.PortName = portName;
    settings.Adapter = options.CarSoft ? 'C' : options.Elm327 ? 'E' : adapterKind;
    settings.ElmAsKkl = options.Elm327 && !options.ElmCommands;
    settings.ActivationOn = options.ActivationVisible;
    settings.Client = options.Client;
    Worker->Connect(settings);
}

void TWorkerConnection::Stop() {
    // The worker takes no request while it wakes the unit; the flag ends the wake-up there.
    if (!Worker->RequestStop() && Worker->State() == ReaderState::Connect)
        UserStop() = true;
}

bool TWorkerConnection::IsAlive() const {
    return Worker->IsAlive();
}

bool TWorkerConnection::InConnection() const {
    return Worker->InConnection();
}

TEcuIdent TWorkerConnection::Ident() const {
    return Worker->Ident();
}

bool TWorkerConnection::EcuConnected() const {
    return Worker->IsAlive() && Worker->Ident().UnitType != UnitUnknown;
}

std::shared_ptr<const TListParams> TWorkerConnection::Params() const {
    return Worker->Params();
}

std::string TWorkerConnection::LogFileName() const {
    return Worker->LogName();
}

void TWorkerConnection::RequestPolling() {
    Worker->RequestPolling();
}

void TWorkerConnection::SetBackgroundReading(int on) {
    Host().PostMessage(WM_RATE_SWITCH, on, 0);
}

void TWorkerConnection::DeferBackgroundReads(int seconds, bool keepShortTimer) {
    Worker->DeferBackgroundReads(seconds, keepShortTimer);
}

void TWorkerConnection::RequestViewList(std::shared_ptr<TListPrm> list, bool graph) {
    Worker->RequestViewList(std::move(list), graph ? TViewKind::Graph : TViewKind::Screen);
}

void TWorkerConnection::RequestFaultView() {
    Worker->RequestFaultView();
}

void TWorkerConnection::RequestErase() {
    Worker->RequestErase();
}

void TWorkerConnection::RequestSmoothness() {
    Worker->RequestSmoothness();
}

void TWorkerConnection::RequestMeasure() {
    Worker->RequestMeasure();
}

void TWorkerConnection::SetSelectedCylinder(int cylinder) {
    Worker->Smoothness.SelectedCylinder = uint8_t(cylinder);
}

bool TWorkerConnection::TripReady() const {
    return Worker->Trip.Ready();
}

TTripSums TWorkerConnection::TripSums() const {
    return Worker->Trip.Sums();
}

std::optional<TFaultData> TWorkerConnection::FaultData() const {
    if (Worker->LastFaultRead() == 0)
        return std::nullopt;
    return TFaultData{Worker->FaultBuffer(), Worker->FaultContext(), Worker->Ident()};
}

TActuatorState& TWorkerConnection::Actuators() {
    return Worker->Actuators;
}

} // namespace velmora

// The tab "Маршрутник": the trip computer's figures for the whole trip, at idle and for the last interval,
// redrawn on every change the worker reports (WM_USER+21), and the daily trip log written from here about
// once a minute. The tab lives as long as the window, so does its log state. Window thread only.
#pragma once

#include <QWidget>
#include <string>

#include "trip/trip_computer.h"
#include "trip/trip_log.h"

class QLabel;

namespace velmora {

class TTripTab : public QWidget {
    Q_OBJECT
public:
    explicit TTripTab(QWidget* parent = nullptr);
    // The trip log's lines still held (a write failed) are written out, or said to be lost.
    ~TTripTab() override;

    // WM_USER+21: shows the figures of `sums` and writes the trip log line when one is due (into the
    // client's folder of LOGS when `client` is set).
    void ShowTrip(const TTripSums& sums, const std::string& client);
    // WM_USER+8 while this tab is shown and the worker polls no view list: one more value arrived.
    void CountUpdate();

private:
    QLabel* labTime = nullptr;
    QLabel* labTimeIdle = nullptr;
    QLabel* LabDist = nullptr;
    QLabel* LabFuel = nullptr;
    QLabel* LabFuelIdle = nullptr;
    QLabel* labSpeedAVG = nullptr;
    QLabel* labCommon = nullptr;
    QLabel* labLastFE = nullptr;
    QLabel* labIdleFE = nullptr;
    QLabel* LabRpm = nullptr; // hidden: counts the value updates
    TTripLog Log;
    std::string Client; // of the last trip log line
};

} // namespace velmora

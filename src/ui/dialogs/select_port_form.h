// The port selection dialog: the adapter type, and a port from the list of ports that open now (with
// the simulated car and its units) or, for an ELM327, the WiFi connection. Window thread only.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QWidget;

namespace velmora {

class TFormSelectPort : public QDialog {
    Q_OBJECT
public:
    explicit TFormSelectPort(QWidget* parent = nullptr);

    // Sets up the dialog for a port name and adapter kind; `allowedKinds`: 1 K-line, 2 CarSoft, 4 ELM327.
    void Prepare(const std::string& portName, char adapterKind, int allowedKinds);
    void RefreshPorts();
    // "Выбрать": closes with OK when a port is chosen (asks about FTDI once per run).
    void btnOkClick();

    std::string ChosenPort() const { return Chosen; }
    char ChosenKind() const { return Kind; }

private:
    void UpdateSwitches();
    void AdapterTypeClick();
    bool AcceptWiFi();

    QGroupBox* AdapterGroup = nullptr;
    QRadioButton* rbKKL = nullptr;
    QRadioButton* rbCarSoft = nullptr;
    QRadioButton* rbELMvelmora = nullptr;
    QRadioButton* rbCom = nullptr;
    QRadioButton* rbWiFi = nullptr;
    QPushButton* btnPortList = nullptr;
    QLabel* pnlWait = nullptr;
    QListWidget* ListBox = nullptr;
    QWidget* PnlWiFi = nullptr;
    QLineEdit* edIP = nullptr;
    QLineEdit* edPort = nullptr;
    std::string Current;
    std::string Chosen;
    int ComLastNum = 20; // COM_LASTNUM of the settings
    char Kind = 'K';
};

// Whether the list offers port `name`: COM ports only up to COM_LASTNUM, every other kind always.
bool PortWithinComLastNum(std::string_view name, int comLastNum);

// Runs the dialog (created on first use and kept); true with the new port name and adapter kind when
// the user confirmed. The WiFi address and port are saved to the settings file then.
bool SelectPort(std::string& portName, char& adapterKind, int allowedKinds, QWidget* parent);

} // namespace velmora

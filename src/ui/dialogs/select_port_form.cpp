#include "ui/dialogs/select_port_form.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/port_factory.h"
#include "links/wifi_port.h"
#include "platform/host.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "platform/tcp_socket.h"
#include "settings/program_settings.h"
#include "sim/sim_profile.h"
#include "ui/common/translate_widgets.h"
#include "ui/common/widget_colors.h"
#include "ui/dialogs/port_texts.h"

namespace velmora {

namespace {

constexpr int NameRole = Qt::UserRole;
constexpr int ProblemRole = Qt::UserRole + 1; // why a listed device does not open ("" when it does)

// Asked once per run: a user with an FTDI cable should drive it directly.
bool ftdiHintShown = false;

QString Tr(std::string_view text) {
    return QString::fromStdString(Translate(text));
}

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void AddPort(QListWidget* list, const std::string& name, const std::string& description,
             const std::string& problem = {}) {
    std::string text = description.empty() ? name : name + "   " + description;
    if (!problem.empty())
        text += "   [" + Translate("недоступен") + "]";
    auto* item = new QListWidgetItem(QString::fromStdString(text));
    item->setData(NameRole, QString::fromStdString(name));
    if (!problem.empty()) {
        item->setData(ProblemRole, QString::fromStdString(problem));
        item->setToolTip(QString::fromStdString(problem));
        item->setForeground(Qt::gray);
    }
    list->addItem(item);
}

std::string ProblemOf(const QListWidgetItem* item) {
    return item->data(ProblemRole).toString().toStdString();
}

std::string NameOf(const QListWidgetItem* item) {
    return item->data(NameRole).toString().toStdString();
}

} // namespace

TFormSelectPort::TFormSelectPort(QWidget* parent) : QDialog(parent) {
    setObjectName("FormSelectPort");
    setWindowTitle("Выбор COM порта");
    auto* layout = new QVBoxLayout(this);

    AdapterGroup = Named(new QGroupBox(" Тип адаптера "), "gbAdapter");
    auto* kinds = new QVBoxLayout(AdapterGroup);
    rbKKL = Named(new QRadioButton("USB KKL, VAG COM 409.1, K-Line"), "rbKKL");
    rbCarSoft = Named(new QRadioButton("CarSoft 7.4"), "rbCarSoft");
    rbELMvelmora = Named(new QRadioButton("ELM327 Velmora"), "rbELMvelmora");
    for (QRadioButton* rb : {rbKKL, rbCarSoft, rbELMvelmora}) {
        kinds->addWidget(rb);
        connect(rb, &QRadioButton::clicked, this, [this] { AdapterTypeClick(); });
    }
    layout->addWidget(AdapterGroup);

    auto* carriers = new QWidget;
    auto* carrierRow = new QHBoxLayout(carriers);
    rbCom = Named(new QRadioButton("COMx"), "rbCom");
    rbWiFi = Named(new QRadioButton("WiFi"), "rbWiFi");
    carrierRow->addWidget(rbCom);
    carrierRow->addWidget(rbWiFi);
    connect(rbCom, &QRadioButton::toggled, this, [this] { UpdateSwitches(); });
    layout->addWidget(carriers);

    btnPortList = Named(new QPushButton("Обновить список портов"), "btnPortList");
    connect(btnPortList, &QPushButton::clicked, this, [this] { RefreshPorts(); });
    layout->addWidget(btnPortList);
    pnlWait = Named(new QLabel, "pnlWait");
    pnlWait->setAlignment(Qt::AlignCenter);
    layout->addWidget(pnlWait);
    ListBox = Named(new QListWidget, "ListBox");
    ListBox->setMinimumWidth(380);
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] { btnOkClick(); });
    layout->addWidget(ListBox, 1);

    PnlWiFi = Named(new QWidget, "PnlWiFi");
    auto* wifi = new QHBoxLayout(PnlWiFi);
    wifi->addWidget(new QLabel("IP"));
    edIP = Named(new QLineEdit, "edIP");
    wifi->addWidget(edIP);
    wifi->addWidget(new QLabel("PORT"));
    edPort = Named(new QLineEdit, "edPort");
    wifi->addWidget(edPort);
    layout->addWidget(PnlWiFi);

    auto* buttons = new QHBoxLayout;
    auto* ok = Named(new QPushButton("Выбрать"), "btnOk");
    auto* cancel = Named(new QPushButton("Отмена"), "btnCancel");
    connect(ok, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in the list chooses the port; refreshing would lose the selection.
    for (QPushButton* button : {btnPortList, cancel})
        button->setAutoDefault(false);
    ok->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    if (Language() != 'R')
        TranslateControl(this);
}

void TFormSelectPort::Prepare(const std::string& portName, char adapterKind, int allowedKinds) {
    Current = portName;
    Chosen.clear();
    rbKKL->setVisible(allowedKinds & 1);
    rbCarSoft->setVisible(allowedKinds & 2);
    rbELMvelmora->setVisible(allowedKinds & 4);
    QRadioButton* selected = adapterKind == 'C' ? rbCarSoft : adapterKind == 'E' ? rbELMvelmora : rbKKL;
    if (selected->isHidden()) {
        // A hidden type passes its selection on to a visible one.
        for (QRadioButton* rb : {rbKKL, rbCarSoft, rbELMvelmora}) {
            if (!rb->isHidden()) {
                selected = rb;
                break;
            }
        }
    }
    selected->setChecked(true);
    rbWiFi->setVisible(rbELMvelmora->isChecked());
    rbCom->setChecked(true);
    if (portName == "WIFI" && rbELMvelmora->isChecked())
        rbWiFi->setChecked(true);

    TProgramSettings settings = ReadProgramSettings(TIniFile(SettingsFile()));
    ComLastNum = settings.ComLastNum;
    edIP->setText(QString::fromStdString(settings.WiFiAddress));
    edPort->setText(QString::number(settings.WiFiPort));
    UpdateSwitches();
}

void TFormSelectPort::UpdateSwitches() {
    bool com = rbCom->isChecked();
    btnPortList->setVisible(com);
    ListBox->setVisible(com);
    PnlWiFi->setVisible(!com);
}

void TFormSelectPort::AdapterTypeClick() {
    rbWiFi->setVisible(rbELMvelmora->isChecked());
    rbCom->setChecked(true);
}

void TFormSelectPort::RefreshPorts() {
    ListBox->clear();
    pnlWait->setText(Tr("Ждите"));
    SetBackground(pnlWait, ColorRed);
    pnlWait->repaint();
    Host().ProcessMessages();
    // Devices that are there but cannot be opened are listed too, with the reason.
    for (const TPortInfo& info : EnumPortInfos(true)) {
        if (!PortWithinComLastNum(info.Name, ComLastNum))
            continue;
        AddPort(ListBox, info.Name, PortDescriptionText(info.Description), info.Problem);
        // The simulated car's built-in units, each its own port, so every function can be tried without
        // a car; the entry says which unit (family, supplier, generation) answers there.
        if (info.Name == "SIM") {
            for (const std::string& unit : BuiltinSimUnits()) {
                TSimProfile profile;
                std::string error;
                std::string what = LoadSimProfile(unit, profile, error)
                                       ? " (" + PortDescriptionText(profile.Name) + ")"
                                       : "";
                AddPort(ListBox, "SIM:" + unit, Translate("Имитация блока") + " " + unit + what);
            }
        }
    }
    for (int i = 0; i < ListBox->count(); ++i) {
        if (NameOf(ListBox->item(i)) == Current)
            ListBox->setCurrentRow(i);
    }
    pnlWait->clear();
    pnlWait->setAutoFillBackground(false);
}

bool TFormSelectPort::AcceptWiFi() {
    std::string address = edIP->text().trimmed().toStdString();
    bool portOk = false;
    int port = edPort->text().trimmed().toInt(&portOk);
    if (!IsIPv4Address(address) || !portOk || port < 1 || port > 65535) {
        Host().MessageBox(Translate("Неверный адрес или порт WiFi адаптера"), TMsgKind::Error,
                          TMsgButtons::Ok);
        return false;
    }
    TWiFiSettings wifi = WiFiSettings();
    wifi.WiFiAddress = address;
    wifi.WiFiPortNumber = port;
    SetWiFiSettings(wifi);
    TIniFile ini(SettingsFile());
    if (!SaveWiFiSettings(ini, address, port))
        AddLog(Translate("Не удалось записать файл") + " " + SettingsFile().string());
    return true;
}

void TFormSelectPort::btnOkClick() {
    Kind = rbCarSoft->isChecked() ? 'C' : rbELMvelmora->isChecked() ? 'E' : 'K';
    if (rbWiFi->isChecked() && !rbWiFi->isHidden()) {
        if (!AcceptWiFi())
            return;
        Chosen = "WIFI";
        accept();
        return;
    }
    QListWidgetItem* item = ListBox->currentItem();
    if (ListBox->count() == 0 || !item)
        return;
    std::string name = NameOf(item);
    // A device that does not open: its cause and fix, and the dialog stays open.
    if (const std::string problem = ProblemOf(item); !problem.empty()) {
        Host().MessageBox(problem, TMsgKind::Warning, TMsgButtons::Ok);
        return;
    }
    if (NameOf(ListBox->item(0)) == "FTDI" && name != "FTDI" && !ftdiHintShown) {
        ftdiHintShown = true;
        std::string text = Translate("В системе обнаружен порт FTDI !") + "\n" +
                           Translate("Используйте его для USB адаптера!") + "\n" +
                           TranslateFormat("Выбрать порт %s ?", name.c_str());
        if (Host().MessageBox(text, TMsgKind::Confirmation, TMsgButtons::YesNo) != TMsgResult::Yes)
            return;
    }
    Chosen = name;
    accept();
}

bool PortWithinComLastNum(std::string_view name, int comLastNum) {
    if (!name.starts_with("COM"))
        return true;
    int number = PortNameToNumber(name);
    return number <= 0 || number <= comLastNum;
}

bool SelectPort(std::string& portName, char& adapterKind, int allowedKinds, QWidget* parent) {
    static QPointer<TFormSelectPort> form;
    if (!form)
        form = new TFormSelectPort(parent);
    form->Prepare(portName, adapterKind, allowedKinds);
    // The list is filled once the window shows, so the wait mark can be seen.
    QMetaObject::invokeMethod(
        form, [] { form->RefreshPorts(); }, Qt::QueuedConnection);
    if (form->exec() != QDialog::Accepted)
        return false;
    portName = form->ChosenPort();
    adapterKind = form->ChosenKind();
    return true;
}

} // namespace velmora

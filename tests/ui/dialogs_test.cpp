#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../links/fake_ftdi_driver.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "links/port_factory.h"
#include "links/serial_listing.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/dialogs/clients_form.h"
#include "ui/dialogs/input_box.h"
#include "ui/dialogs/select_port_form.h"
#include "ui/dialogs/tune_form.h"
#include "ui/window/screenshot.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

std::vector<std::string> PortNames(const TFormSelectPort& form) {
    auto* list = Child<QListWidget>(&form, "ListBox");
    std::vector<std::string> names;
    for (int i = 0; i < list->count(); ++i)
        names.push_back(list->item(i)->data(Qt::UserRole).toString().toStdString());
    return names;
}

TEST(SelectPort, OffersTheSimulatedCarAndItsUnits) {
    testing::TTempFolder folder;
    RegisterSimPorts();
    TFormSelectPort form;
    form.Prepare("SIM:pms", 'K', 7);
    form.RefreshPorts();
    std::vector<std::string> names = PortNames(form);
    EXPECT_NE(std::find(names.begin(), names.end(), "SIM"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "SIM:hfm"), names.end());
    auto* list = Child<QListWidget>(&form, "ListBox");
    ASSERT_NE(list->currentItem(), nullptr);
    EXPECT_EQ(list->currentItem()->data(Qt::UserRole).toString(), "SIM:pms");
    EXPECT_TRUE(list->currentItem()->text().size() > QString("SIM:pms").size()); // with its description

    Child<QRadioButton>(&form, "rbCarSoft")->click();
    form.btnOkClick();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.ChosenPort(), "SIM:pms");
    EXPECT_EQ(form.ChosenKind(), 'C');
}

TEST(SelectPort, NoSelectionKeepsTheDialogOpen) {
    testing::TTempFolder folder;
    TFormSelectPort form;
    form.Prepare("COM1", 'K', 7);
    Child<QListWidget>(&form, "ListBox")->clear();
    form.setResult(QDialog::Rejected);
    form.btnOkClick();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.ChosenPort(), "");
}

TEST(SelectPort, WiFiOfAnElmIsEditableAndSaved) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    TFormSelectPort form;
    form.Prepare("WIFI", 'E', 7);
    EXPECT_TRUE(Child<QRadioButton>(&form, "rbWiFi")->isChecked());
    EXPECT_TRUE(Child<QWidget>(&form, "PnlWiFi")->isVisibleTo(&form));
    EXPECT_FALSE(Child<QListWidget>(&form, "ListBox")->isVisibleTo(&form));
    auto* ip = Child<QLineEdit>(&form, "edIP");
    auto* port = Child<QLineEdit>(&form, "edPort");
    EXPECT_EQ(ip->text(), "192.168.0.10");
    EXPECT_EQ(port->text(), "35000");

    ip->setText("192.168.4.300");
    form.btnOkClick();
    EXPECT_EQ(form.ChosenPort(), "");
    ASSERT_EQ(host.Boxes().size(), 1u);

    ip->setText("10.0.0.7");
    port->setText("23");
    form.btnOkClick();
    EXPECT_EQ(form.ChosenPort(), "WIFI");
    EXPECT_EQ(form.ChosenKind(), 'E');
    TIniFile ini(SettingsFile());
    EXPECT_EQ(ini.ReadString("OPTIONS", "WIFI_IP", ""), "10.0.0.7");
    EXPECT_EQ(ini.ReadInteger("OPTIONS", "WIFI_PORT", 0), 23);

    // Another adapter type has no WiFi.
    form.Prepare("WIFI", 'K', 7);
    EXPECT_FALSE(Child<QRadioButton>(&form, "rbWiFi")->isVisibleTo(&form));
    EXPECT_TRUE(Child<QRadioButton>(&form, "rbCom")->isChecked());
}

// The hint flag lives for the whole run, so the cases without FTDI come first and every later form
// (even a new one) must stay silent.
TEST(SelectPort, FtdiHintIsAskedOncePerRunWhenAnotherPortIsChosen) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    testing::TFakeFtdiDriver ftdi; // installed for this test; its destructor restores the system driver
    RegisterSimPorts();

    ftdi.Present = false;
    TFormSelectPort form;
    auto* list = Child<QListWidget>(&form, "ListBox");
    form.Prepare("SIM:pms", 'K', 7);
    form.RefreshPorts();
    ASSERT_FALSE(PortNames(form).empty());
    EXPECT_NE(PortNames(form)[0], "FTDI");
    form.btnOkClick();
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.ChosenPort(), "SIM:pms");

    ftdi.Present = true;
    form.Prepare("SIM:pms", 'K', 7);
    form.RefreshPorts();
    ASSERT_EQ(PortNames(form)[0], "FTDI");
    ASSERT_NE(list->currentItem(), nullptr);
    EXPECT_EQ(list->currentItem()->data(Qt::UserRole).toString(), "SIM:pms");
    form.setResult(QDialog::Rejected);
    host.AnswerNextBoxes({TMsgResult::No});
    form.btnOkClick();
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_NE(host.Boxes()[0].find(Translate("В системе обнаружен порт FTDI !")), std::string::npos);
    EXPECT_NE(host.Boxes()[0].find("SIM:pms"), std::string::npos) << host.Boxes()[0];
    EXPECT_EQ(form.result(), QDialog::Rejected); // No leaves the dialog open with nothing chosen
    EXPECT_EQ(form.ChosenPort(), "");

    form.btnOkClick(); // the same choice again: no second question
    EXPECT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.ChosenPort(), "SIM:pms");

    TFormSelectPort second; // a new form in the same run stays silent too
    second.Prepare("SIM:hfm", 'K', 7);
    second.RefreshPorts();
    ASSERT_EQ(PortNames(second)[0], "FTDI");
    second.btnOkClick();
    EXPECT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(second.ChosenPort(), "SIM:hfm");
}

// A pseudo-terminal standing for a USB adapter this process may not open: its rights taken away, and,
// when the tests run as root (who opens anything), the effective user dropped to nobody while this
// lives, the device kept to its owner.
class TDeviceWithoutRights {
public:
    TDeviceWithoutRights() {
        Master = posix_openpt(O_RDWR | O_NOCTTY);
        if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
            return;
        Path = ptsname(Master);
        if (chmod(Path.c_str(), geteuid() == 0 ? 0600 : 0) != 0 || (geteuid() == 0 && seteuid(Nobody) != 0))
            Path.clear();
    }
    ~TDeviceWithoutRights() {
        if (geteuid() == Nobody && seteuid(0) != 0)
            ADD_FAILURE() << "the test could not take its rights back";
        if (Master >= 0)
            close(Master);
    }
    TDeviceWithoutRights(const TDeviceWithoutRights&) = delete;
    TDeviceWithoutRights& operator=(const TDeviceWithoutRights&) = delete;

    std::string Path; // empty when it could not be made

private:
    static constexpr uid_t Nobody = 65534;
    int Master = -1;
};

TEST(SelectPort, ADeviceTheUserMayNotOpenIsGreyedWithTheCauseAndCannotBeChosen) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    testing::TFakeFtdiDriver ftdi;
    ftdi.Present = false;
    TFormSelectPort form;
    form.Prepare("SIM", 'K', 7);
    {
        TDeviceWithoutRights device;
        ASSERT_FALSE(device.Path.empty());
        SetSerialLister([&] { return std::vector<TSerialDevice>{{device.Path, "Maker USB Cable", ""}}; });
        form.RefreshPorts();
        SetSerialLister({});
        auto* list = Child<QListWidget>(&form, "ListBox");
        QListWidgetItem* item = nullptr;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->data(Qt::UserRole).toString().toStdString() == device.Path)
                item = list->item(i);
        ASSERT_NE(item, nullptr) << "a device that is there but locked away is listed";
        // Greyed and annotated, with the cause and the fix at hand.
        EXPECT_TRUE(item->text().contains("Maker USB Cable")) << item->text().toStdString();
        EXPECT_TRUE(item->text().endsWith("[" + QString::fromStdString(Translate("недоступен")) + "]"))
            << item->text().toStdString();
        EXPECT_EQ(item->foreground().color(), QColor(Qt::gray));
        const std::string tip = item->toolTip().toStdString();
        EXPECT_NE(tip.find(device.Path + ": нет прав на доступ к порту"), std::string::npos) << tip;
        EXPECT_TRUE(tip.find("usermod -aG") != std::string::npos ||
                    tip.find("60-velmora-ftdi.rules") != std::string::npos)
            << tip;

        // Choosing it shows that text and keeps the dialog open with nothing chosen.
        list->setCurrentItem(item);
        form.setResult(QDialog::Rejected);
        form.btnOkClick();
        ASSERT_EQ(host.Boxes().size(), 1u);
        EXPECT_EQ(host.Boxes()[0], tip);
        EXPECT_EQ(form.result(), QDialog::Rejected);
        EXPECT_EQ(form.ChosenPort(), "");
    }
}

TEST(TuneForm, FontArrowsStepThroughTheSizeList) {
    TProgramSettings settings;
    TFormTun form(settings);
    auto* value = Child<QLabel>(&form, "LabelValue");
    Child<QPushButton>(&form, "btnValueDec")->click();
    EXPECT_EQ(value->font().pointSize(), 14); // 12 is not in the list: the first entry
    Child<QPushButton>(&form, "btnValueDec")->click();
    EXPECT_EQ(value->font().pointSize(), 14);
    Child<QPushButton>(&form, "btnValueInc")->click();
    EXPECT_EQ(value->font().pointSize(), 16);
    Child<QPushButton>(&form, "btnNameInc")->click();
    EXPECT_EQ(Child<QLabel>(&form, "labelName")->font().pointSize(), 14);
    for (int i = 0; i < 8; ++i)
        Child<QPushButton>(&form, "Button5")->click();
    EXPECT_EQ(Child<QFrame>(&form, "PanelStatus")->font().pointSize(), 32);
}

TEST(TuneForm, SaveAsksForARestartOnlyAfterAChange) {
    testing::THostRecorder host;
    TProgramSettings settings;
    {
        TFormTun form(settings);
        form.Button1Click(settings);
        EXPECT_TRUE(host.Boxes().empty());
        EXPECT_EQ(form.ChosenLanguage, 'R');
    }
    TFormTun form(settings);
    Child<QRadioButton>(&form, "rbEng")->setChecked(true);
    Child<QCheckBox>(&form, "cbOnlyRealStatus")->click();
    EXPECT_TRUE(Child<QLabel>(&form, "pnl237")->isVisibleTo(&form));
    form.Button1Click(settings);
    EXPECT_EQ(form.ChosenLanguage, 'E');
    EXPECT_FALSE(settings.StatusSmartShow);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0], "Для вступления изменений в силу - перезапустите программу!");
}

class ClientsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder.WriteFile("CLIENTS/Ivanov/check.txt", "");
        Folder.WriteFile("CLIENTS/Petrov/check.txt", "");
        Folder.WriteFile("CLIENTS/notes.txt", "not a client");
    }
    void TearDown() override { SetInputAnswer({}); }
    testing::TTempFolder Folder;
    testing::THostRecorder Host;
};

TEST_F(ClientsTest, ListHoldsNoClientAndTheFolders) {
    TFrmClients form;
    form.FillList("Petrov");
    auto* list = Child<QListWidget>(&form, "ListBox");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "----------------");
    EXPECT_EQ(list->item(1)->text(), "Ivanov");
    EXPECT_EQ(form.SelectedClient(), "Petrov");
    list->setCurrentRow(0);
    EXPECT_EQ(form.SelectedClient(), ""); // the first entry clears the client
}

TEST_F(ClientsTest, NewClientFolderAndAnExistingName) {
    TFrmClients form;
    form.FillList("");
    SetInputAnswer(
        [](const std::string&, const std::string&) { return std::optional<std::string>("Sidorov"); });
    form.btnNewClick();
    EXPECT_TRUE(std::filesystem::is_directory(Folder.Path() / "CLIENTS/Sidorov"));
    EXPECT_EQ(form.SelectedClient(), "Sidorov");
    form.btnNewClick();
    ASSERT_EQ(Host.Boxes().size(), 1u);
    EXPECT_EQ(Host.Boxes()[0], "Клиент Sidorov уже существует в списке");
    SetInputAnswer([](const std::string&, const std::string&) { return std::optional<std::string>("../x"); });
    form.btnNewClick();
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() / "x"));
    EXPECT_EQ(Host.Boxes().size(), 2u);
}

TEST(Screenshot, NumbersPerDayFolder) {
    testing::TTempFolder folder;
    std::string error;
    QDate day(2026, 3, 7);
    auto first = NextScreenshotPath(day, error);
    EXPECT_EQ(first, folder.Path() / "IMAGES/260307/IMG001.jpg");
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::green);
    ASSERT_TRUE(SaveJpeg(picture, first, error)) << error;
    EXPECT_EQ(NextScreenshotPath(day, error).filename(), "IMG002.jpg");
    EXPECT_EQ(NextScreenshotPath(day.addDays(1), error), folder.Path() / "IMAGES/260308/IMG001.jpg");
    QImage back(QString::fromStdString(first.string()));
    EXPECT_EQ(back.size(), QSize(40, 30));
}

} // namespace
} // namespace velmora

// What a newcomer meets in the window: panels bring their tab forward, the steps of a function appear
// where the user looks, the top bar explains itself, the client folder can be made from the window, tabs
// with last values stay after a connection ends, erasing asks first and a fault that stays is explained,
// and Qt's own buttons speak the window's language.
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "fake_connection.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "params/unit_codes.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/common/qt_translations.h"
#include "ui/dialogs/clients_form.h"
#include "ui/dialogs/input_box.h"
#include "ui/dialogs/select_port_form.h"
#include "ui/window/main_form.h"

namespace velmora {
namespace {

using testing::Child;

// The recording connection with a fault memory to show.
class TFaultConnection : public testing::TRecordingConnection {
public:
    std::optional<TFaultData> FaultData() const override { return Faults; }
    std::optional<TFaultData> Faults;
};

class WindowGuidanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterSimPorts();
        Folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM\n");
    }
    void TearDown() override { SetInputAnswer({}); }
    // A live connection whose unit answered: every tab is there.
    void Connect(TMainForm& form) {
        Connection.Alive = Connection.Ecu = true;
        form.HandleMessage(WM_USER + 2, 0, 0);
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    TFaultConnection Connection;
};

TEST_F(WindowGuidanceTest, PanelsOnTheDataTabBringItForward) {
    TMainForm form(Connection, "SIM");
    Connect(form);
    auto* pg = Child<QTabWidget>(&form, "pg");
    for (const char* item : {"mnuEGas", "mnuSRS", "mnuSlowCodes"}) {
        pg->setCurrentIndex(PageError);
        Child<QAction>(&form, item)->trigger();
        EXPECT_EQ(pg->currentIndex(), PageMemo) << item;
    }
}

TEST_F(WindowGuidanceTest, ActivationStepsComeInABoxThatFitsTheLink) {
    TMainForm form(Connection, "SIM");
    form.HandleMessage(WM_USER + 16, 0, 0);
    auto* activation = Child<QAction>(&form, "mnuActivation");
    const std::pair<bool, const char*> cases[] = {{false, "Нет связи с блоком"}, {true, "Нажмите [Stop]"}};
    for (const auto& [alive, says] : cases) {
        Connection.Alive = alive;
        Host.Clear();
        if (activation->isChecked())
            activation->trigger();
        activation->trigger();
        ASSERT_EQ(Host.Boxes().size(), 1u) << alive;
        EXPECT_NE(Host.Boxes()[0].find(says), std::string::npos) << Host.Boxes()[0];
        EXPECT_NE(Host.Boxes()[0].find("[Connect]"), std::string::npos);
    }
}

TEST_F(WindowGuidanceTest, TopBarSaysWhatItsMarksMean) {
    TMainForm form(Connection, "SIM");
    form.resize(1280, 720);
    auto* shot = Child<QToolButton>(&form, "btnScreenShot");
    EXPECT_FALSE(shot->text().isEmpty());
    EXPECT_EQ(shot->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    for (const char* name : {"btnScreenShot", "labReaction", "labIndicator"})
        EXPECT_FALSE(Child<QWidget>(&form, name)->toolTip().isEmpty()) << name;
}

TEST_F(WindowGuidanceTest, TheFirstClientMakesTheClientsFolder) {
    ASSERT_FALSE(std::filesystem::exists(Folder.Path() / "CLIENTS"));
    TMainForm form(Connection, "SIM");
    EXPECT_TRUE(Child<QPushButton>(&form, "btnClient")->isVisibleTo(&form));
    TFrmClients clients;
    clients.FillList("");
    SetInputAnswer(
        [](const std::string&, const std::string&) { return std::optional<std::string>("Иванов"); });
    clients.btnNewClick();
    EXPECT_TRUE(std::filesystem::is_directory(Folder.Path() / "CLIENTS" / std::u8string(u8"Иванов")));
    EXPECT_EQ(clients.SelectedClient(), "Иванов");
    EXPECT_TRUE(Host.Boxes().empty());
}

TEST_F(WindowGuidanceTest, TabsWithLastValuesStayWhenTheConnectionEnds) {
    Folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=A 0\n");
    Connection.Set.Add(testing::MakeParam(0));
    TMainForm form(Connection, "SIM");
    Connect(form);
    auto* pg = Child<QTabWidget>(&form, "pg");
    pg->setCurrentIndex(PageScreens);
    Connection.Alive = false;
    form.HandleMessage(WM_USER + 3, 0, 0);
    const std::pair<int, int> rows[] = {
        {PageError, PageError}, {PageScreens, PageScreens}, {PageSmooth, PageMemo}, {PageComputer, PageMemo}};
    for (const auto& [opened, shown] : rows) {
        pg->setCurrentIndex(PageMemo);
        pg->setCurrentIndex(opened);
        EXPECT_EQ(pg->currentIndex(), shown) << opened;
    }
}

TEST_F(WindowGuidanceTest, ModuleEraseAsksLikeTheEngineErase) {
    TMainForm form(Connection, "SIM");
    Child<QAction>(&form, "mnuEGas")->trigger();
    Host.AnswerNextBoxes({TMsgResult::No});
    Child<QPushButton>(&form, "btnEGasErase")->click();
    ASSERT_EQ(Host.Boxes().size(), 1u);
    EXPECT_EQ(Host.Boxes()[0], "Стереть память неисправностей модуля? Сохраненные ошибки будут потеряны.");
    EXPECT_TRUE(Child<QPushButton>(&form, "btnEGasRead")->isEnabled()) << "No: nothing started";
}

TEST_F(WindowGuidanceTest, AFaultThatStaysAfterAnEraseIsExplained) {
    TMainForm form(Connection, "SIM");
    Connect(form);
    Child<QTabWidget>(&form, "pg")->setCurrentIndex(PageError);
    TFaultData data;
    data.Context.UnitType = UnitHfm;
    data.Context.DiagIndex = 52;
    const std::pair<uint8_t, bool> rows[] = {{0x01, true}, {0x00, false}}; // byte 17 bit 0: code 118 current
    for (const auto& [current, explained] : rows) {
        data.Buffer = {};
        data.Buffer[17] = current;
        Connection.Faults = data;
        Host.Clear();
        Host.AnswerNextBoxes({TMsgResult::Yes});
        Child<QPushButton>(&form, "btnEraseErr")->click();
        form.HandleMessage(WM_USER + 10, 0, 0); // the list read after the erase
        const std::vector<std::string> boxes = Host.Boxes();
        ASSERT_EQ(boxes.size(), explained ? 2u : 1u) << int(current);
        if (explained) {
            EXPECT_NE(boxes[1].find("причина все еще есть"), std::string::npos) << boxes[1];
        }
        form.HandleMessage(WM_USER + 10, 0, 0); // a later read says nothing again
        EXPECT_EQ(Host.Boxes().size(), boxes.size());
    }
}

TEST_F(WindowGuidanceTest, SettingsWithoutAPortStartOnTheSimulatedCar) {
    Folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nLANGUAGE=R\n");
    TMainForm form(Connection, "SIM");
    EXPECT_EQ(form.PortName(), "SIM");
    EXPECT_FALSE(Child<QCheckBox>(&form, "cbErrRus")->isVisibleTo(&form))
        << "Russian fault texts change nothing in a Russian window";
}

TEST_F(WindowGuidanceTest, PortListSpeaksTheWindowsLanguage) {
    const std::tuple<char, const char*, const char*> rows[] = {
        {'R', "SIM   Имитация автомобиля", "(HFM Bosch, форсунка цилиндра 2 неисправна (нет топлива))"},
        {'E', "SIM   Simulated car", "(HFM Bosch, injector of cylinder 2 faulty (no fuel))"},
        {'D', "SIM   Simuliertes Fahrzeug",
         "(HFM Bosch, Einspritzventil von Zylinder 2 defekt (kein Kraftstoff))"}};
    for (const auto& [language, sim, misfire] : rows) {
        for (const char* file : {"english.txt", "deutsch.txt"}) {
            std::ifstream in(std::filesystem::path(VELMORA_DATA_DIR) / file, std::ios::binary);
            Folder.WriteFile(std::string("DATA/") + file,
                             std::string(std::istreambuf_iterator<char>(in), {}));
        }
        ResetDictionary();
        SetLanguage(language);
        TFormSelectPort form;
        form.Prepare("SIM", 'K', 7);
        form.RefreshPorts();
        auto* list = Child<QListWidget>(&form, "ListBox");
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        EXPECT_TRUE(items.contains(sim)) << language << ": " << items.join(" | ").toStdString();
        EXPECT_TRUE(items.join("\n").contains(misfire)) << language;
    }
    SetLanguage('R');
    ResetDictionary();
}

TEST_F(WindowGuidanceTest, QtButtonsSpeakTheWindowsLanguage) {
    const std::pair<char, const char*> rows[] = {{'R', "&Да"}, {'D', "&Ja"}, {'E', "&Yes"}};
    for (const auto& [language, yes] : rows) {
        Folder.WriteFile(SettingsFile().filename(),
                         std::string("[OPTIONS]\nPORT=SIM\nLANGUAGE=") + language + "\n");
        TMainForm form(Connection, "SIM");
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes").toStdString(), yes) << language;
    }
    InstallQtTranslations('E');
    SetLanguage('R');
    ResetDictionary();
}

} // namespace
} // namespace velmora

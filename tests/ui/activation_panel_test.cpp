// The activation panel and the unit menu as a mechanic reads them: channel groups named in words, check
// boxes that hold only the user's requests (the unit's standard state is no request), what the unit took
// shown apart as a read-back line, and the menu named after the connected unit's family.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "actuators/actuator_state.h"
#include "fake_connection.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "params/unit_codes.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/window/main_form.h"

namespace velmora {
namespace {

using testing::Child;

std::string Shipped(const char* file) {
    std::ifstream in(std::filesystem::path(VELMORA_DATA_DIR) / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ActivationPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterSimPorts();
        Connection.Unit.UnitType = UnitHfm;
        Connection.Unit.DiagIndex = 45; // late generation: standard state D0 = 0x0F
    }
    void TearDown() override {
        SetLanguage('R');
        ResetDictionary();
    }

    // The test mode opens as the worker reports it: the entry values, then WM_USER+11.
    void OpenTestMode(TMainForm& form, std::initializer_list<uint16_t> entryValues) {
        for (uint16_t word : entryValues)
            form.HandleMessage(WM_USER + 13, word, 0);
        form.HandleMessage(WM_USER + 11, 0, 0);
    }
    QString ReadBack(TMainForm& form, const char* name) { return Child<QLabel>(&form, name)->text(); }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    testing::TRecordingConnection Connection;
};

const std::initializer_list<uint16_t> LateEntry = {0xD00F, 0xD100, 0xD200, 0xD340, 0xD400, 0xD500,
                                                   0xD680, 0xD780, 0xD800, 0xD900, 0xDA00, 0xDB00};

TEST_F(ActivationPanelTest, NothingStartsTickedAndTheUnitsStateIsAReadBack) {
    TMainForm form(Connection, "SIM");
    OpenTestMode(form, LateEntry);
    auto* groups = Child<QWidget>(&form, "pnlActivationGroups");
    const QList<QCheckBox*> boxes = groups->findChildren<QCheckBox*>();
    ASSERT_EQ(boxes.size(), 32);
    for (QCheckBox* box : boxes)
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_EQ(ReadBack(form, "labActD0"), "Блок: штатное состояние");
    EXPECT_EQ(ReadBack(form, "labActDC"), "Блок: нет данных") << "the fan's value did not come";
    EXPECT_EQ(Connection.Acts.PendingAct, 0);

    // A tick turns its own bit away from the standard state and keeps the others: EGR on leaves the
    // pump running (0x0F + 0x10), the pump ticked switches only the pump (0x0F - 0x08).
    struct TRow {
        const char* Box;
        uint16_t Sent;
    } rows[] = {{"cbActd0_16", 0xD01F}, {"cbActd0_8", 0xD017}, {"cbActd0_16", 0xD007}, {"cbActd2_2", 0xD202}};
    for (const TRow& row : rows) {
        Child<QCheckBox>(&form, row.Box)->click();
        EXPECT_EQ(Connection.Acts.PendingAct, row.Sent) << row.Box;
        Connection.Acts.PendingAct = 0; // sent
    }

    // The worker's own (0xD1, 0x80) before a throttle command is the unit's state, not the user's tick.
    form.HandleMessage(WM_USER + 13, 0xD180, 0);
    EXPECT_FALSE(Child<QCheckBox>(&form, "cbActd1_128")->isChecked());
    EXPECT_EQ(ReadBack(form, "labActD1"), "Блок: изменено: Регулятор ХХ выкл.");
    form.HandleMessage(WM_USER + 13, 0xD007, 0);
    EXPECT_EQ(ReadBack(form, "labActD0"), "Блок: изменено: Насос");
    form.HandleMessage(WM_USER + 13, 0xD35F, 0); // the throttle took +16 %
    EXPECT_EQ(Child<QSpinBox>(&form, "udActd3")->value(), 0) << "the up-down keeps what the user set";
    EXPECT_EQ(ReadBack(form, "labActD3"), "Блок: 16 %");
    EXPECT_EQ(Connection.Acts.PendingAct, 0) << "read-backs queue nothing";
}

// "Сброс" and closing the panel: the boxes clear and the worker is told to return every output; the
// read-back line confirms what the unit then took.
TEST_F(ActivationPanelTest, ResetAndClosingReturnEveryOutputToTheStandardState) {
    TMainForm form(Connection, "SIM");
    for (bool closing : {false, true}) {
        SCOPED_TRACE(closing);
        OpenTestMode(form, LateEntry);
        auto* injector = Child<QCheckBox>(&form, "cbActd2_4");
        injector->click();
        form.HandleMessage(WM_USER + 13, 0xD204, 0);
        ASSERT_EQ(ReadBack(form, "labActD2").left(16), "Блок: изменено: ");
        Connection.Acts.PendingAct = 0; // sent
        if (closing) {
            form.HandleMessage(WM_USER + 16, 0, 0); // the parameter set came: the menu is offered
            auto* menu = Child<QAction>(&form, "mnuActivation");
            menu->setChecked(true);
            menu->trigger(); // unchecked: the panel goes
            EXPECT_TRUE(Child<QWidget>(&form, "pnlActivation")->isHidden());
        } else {
            Child<QPushButton>(&form, "btnActReset")->click();
            EXPECT_FALSE(injector->isChecked());
            for (QCheckBox* box : Child<QWidget>(&form, "pnlActivationGroups")->findChildren<QCheckBox*>())
                EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
            form.HandleMessage(WM_USER + 13, 0xD200, 0); // the worker's reset, as the unit took it
            EXPECT_EQ(ReadBack(form, "labActD2"), "Блок: штатное состояние");
        }
        EXPECT_EQ(Connection.Acts.PendingAct, ResetAct);
        Connection.Acts.PendingAct = 0;
    }
}

TEST_F(ActivationPanelTest, NewestGenerationHasItsOwnStandardState) {
    Connection.Unit.DiagIndex = 62;
    TMainForm form(Connection, "SIM");
    OpenTestMode(form, {0xD008, 0xD180, 0xD280});
    EXPECT_EQ(ReadBack(form, "labActD0"), "Блок: штатное состояние");
    EXPECT_EQ(ReadBack(form, "labActD1"), "Блок: штатное состояние");
    Child<QCheckBox>(&form, "cbActd0_1")->click();
    EXPECT_EQ(Connection.Acts.PendingAct, 0xD009);
    Connection.Acts.PendingAct = 0;
    Child<QCheckBox>(&form, "cbActd2_2")->click(); // injector 1 off, the air pump motor kept
    EXPECT_EQ(Connection.Acts.PendingAct, 0xD282);
}

// Group captions and check boxes read as words in each language, never as the command's hex.
TEST_F(ActivationPanelTest, GroupsAreNamedInTheWindowsLanguage) {
    struct TRow {
        char Language;
        const char* Injectors;
        const char* InjectorOne;
        const char* ReadBack;
    } rows[] = {
        {'R', "Форсунки", "Форсунка 1 выкл.", "Блок: штатное состояние"},
        {'E', "Injectors", "Injector 1 off", "Unit: standard state"},
        {'D', "Einspritzventile", "Einspritzventil 1 aus", "Steuergerät: Normalzustand"},
    };
    for (const char* file : {"english.txt", "deutsch.txt"})
        Folder.WriteFile(std::string("DATA/") + file, Shipped(file));
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Language);
        // The window takes its language from the settings.
        Folder.WriteFile(SettingsFile().filename(),
                         std::string("[OPTIONS]\nLANGUAGE=") + row.Language + "\n");
        ResetDictionary();
        TMainForm form(Connection, "SIM");
        OpenTestMode(form, LateEntry);
        EXPECT_EQ(Child<QGroupBox>(&form, "gbActD2")->title().toStdString(), row.Injectors);
        EXPECT_EQ(Child<QCheckBox>(&form, "cbActd2_2")->text().toStdString(), row.InjectorOne);
        EXPECT_EQ(ReadBack(form, "labActD2").toStdString(), row.ReadBack);
        for (QGroupBox* group : Child<QWidget>(&form, "pnlActivationGroups")->findChildren<QGroupBox*>())
            EXPECT_FALSE(group->title().contains(QRegularExpression("^D[0-9A-C]$")))
                << group->title().toStdString();
    }
}

TEST_F(ActivationPanelTest, MenuFollowsTheConnectedUnitsFamily) {
    struct TRow {
        uint8_t UnitType;
        uint8_t DiagIndex;
        const char* Title;
        const char* Coding;
        bool Offered;
    } rows[] = {
        {UnitUnknown, 0, "HFM", "Coding HFM", true}, // before identification: as at start
        {UnitPms, 45, "PMS", "Coding PMS", true},
        {UnitHfm, 52, "HFM", "Coding HFM", true},
        {UnitLh, 45, "LH", "Coding LH", false},
        {UnitHfm, 30, "HFM", "Coding HFM", false}, // an early HFM has no test mode
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Title + std::to_string(row.DiagIndex));
        Connection.Unit.UnitType = row.UnitType;
        Connection.Unit.DiagIndex = row.DiagIndex;
        TMainForm form(Connection, "SIM");
        auto* activation = Child<QAction>(&form, "mnuActivation");
        activation->setEnabled(true);
        activation->setChecked(true);
        form.HandleMessage(WM_USER + 16, 0, 0);
        EXPECT_EQ(Child<QMenu>(&form, "mnuHFM")->title().toStdString(), row.Title);
        EXPECT_EQ(Child<QAction>(&form, "mnuCoding")->text().toStdString(), row.Coding);
        for (const char* name : {"mnuActivation", "mnuAdaptReset", "mnuCoding"})
            EXPECT_EQ(Child<QAction>(&form, name)->isEnabled(), row.Offered) << name;
        EXPECT_EQ(activation->isChecked(), row.Offered) << "a unit without the test mode drops the request";
    }
}

} // namespace
} // namespace velmora

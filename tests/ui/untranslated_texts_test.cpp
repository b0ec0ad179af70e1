// Walks the main window and its dialogs in each language and lists every text a user reads that the
// dictionary did not put into that language: Russian left in an English or German window, English
// fragments in a Russian or German one. Data fields (client, log name, values, the log memo) are not
// texts of the program and are left out.
#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "fake_connection.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "lang/dictionary_table.h"
#include "params/unit_codes.h"
#include "platform/program_folders.h"
#include "platform/text_encoding.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/common/translate_widgets.h"
#include "ui/dialogs/clients_form.h"
#include "ui/dialogs/select_port_form.h"
#include "ui/dialogs/tune_form.h"
#include "ui/graphs/graph.h"
#include "ui/graphs/graph_prop.h"
#include "ui/graphs/param_chooser.h"
#include "ui/window/main_form.h"
#include "ui/window/replay_recording.h"

namespace velmora {
namespace {

using testing::Child;

std::string Shipped(const char* file) {
    std::ifstream in(std::filesystem::path(VELMORA_DATA_DIR) / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Texts of the program's own that stay as they are in every language: protocol words and names the
// program keeps in English on purpose (the connection buttons, unit families, adapters, version).
bool KeptEverywhere(const QString& text) {
    static const std::set<QString> kept = {"Connect",
                                           "Stop",
                                           "HFM",
                                           "Coding HFM",
                                           "SIM",
                                           "*",
                                           "+",
                                           "-",
                                           "<",
                                           ">",
                                           "IDLE",
                                           "P/N",
                                           "A/C",
                                           "SS23_64",
                                           "SS23_128",
                                           "Velmora",
                                           "CarSoft 7.4",
                                           "ELM327 Velmora",
                                           "USB KKL, VAG COM 409.1, K-Line"};
    return kept.contains(text) || text.startsWith("Version ");
}

// The widgets whose text is data: who the client is, which log is written, the port, the rate, values.
bool ShowsData(const QWidget* widget) {
    static const std::set<QString> data = {"labIndicator", "lbMinMax", "LabelValue", "LabelTest", "value"};
    return IsDataField(widget) || data.contains(widget->objectName());
}

class TTextWalk {
public:
    TTextWalk(char language, std::set<std::string> english, std::set<std::string> own)
        : Language(language), EnglishTexts(std::move(english)), OwnTexts(std::move(own)) {}

    void Check(const QString& where, const QString& text) {
        QString trimmed = text.trimmed();
        if (trimmed.isEmpty() || KeptEverywhere(trimmed))
            return;
        std::string utf8 = trimmed.toStdString();
        bool cyrillic = HasCyrillic(utf8);
        bool english = !cyrillic && EnglishTexts.contains(utf8) && !OwnTexts.contains(utf8);
        // A Russian window keeps Latin letters only for codes and abbreviations (IDLE, A/C, SS23_64): a
        // text of lower-case Latin words without a Russian letter is English, known to the dictionary
        // or not.
        if (Language == 'R' && !cyrillic && trimmed.contains(QRegularExpression("[a-z]{2}")))
            english = true;
        if ((Language != 'R' && cyrillic) || (Language != 'E' && english))
            Found.insert(where.toStdString() + ": " + utf8);
    }

    void Walk(QWidget* root) {
        Check(root->objectName() + " title", root->windowTitle());
        for (QWidget* widget : root->findChildren<QWidget*>()) {
            if (ShowsData(widget))
                continue;
            const QString name =
                widget->objectName().isEmpty() ? widget->metaObject()->className() : widget->objectName();
            Check(name + " hint", widget->toolTip());
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                Check(name, button->text());
            else if (auto* label = qobject_cast<QLabel*>(widget))
                Check(name, label->text());
            else if (auto* group = qobject_cast<QGroupBox*>(widget))
                Check(name, group->title());
            else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
                for (int i = 0; i < tabs->count(); ++i)
                    Check(name + " tab", tabs->tabText(i));
            } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
                for (int i = 0; i < list->count(); ++i)
                    Check(name + " item", list->item(i)->text());
            } else if (auto* menu = qobject_cast<QMenuBar*>(widget)) {
                WalkMenu(name, menu->actions());
            }
        }
    }

    std::set<std::string> Found;

private:
    void WalkMenu(const QString& name, const QList<QAction*>& actions) {
        for (QAction* action : actions) {
            Check(name + " " + action->objectName(), action->text());
            if (action->menu())
                WalkMenu(name, action->menu()->actions());
        }
    }

    char Language;
    std::set<std::string> EnglishTexts; // the English translations of the shipped dictionary
    std::set<std::string> OwnTexts;     // the translations into the walked language (or its keys)
};

std::set<std::string> Side(const std::string& bytes, bool keys) {
    std::set<std::string> texts;
    for (const TDictionaryEntry& entry : TDictionaryTable::Parse(DecodeText(bytes)).Entries)
        texts.insert(keys ? entry.Key : entry.Translation);
    return texts;
}

class UntranslatedTextsTest : public ::testing::TestWithParam<char> {
protected:
    void SetUp() override {
        RegisterSimPorts();
        for (const char* file : {"english.txt", "deutsch.txt", "options.ini"})
            Folder.WriteFile(std::string("DATA/") + file, Shipped(file));
        Folder.WriteFile(SettingsFile().filename(),
                         std::string("[OPTIONS]\nPORT=SIM\nLANGUAGE=") + GetParam() + "\n");
        ResetDictionary();
        // The worker loads the unit's set once the window has set the language: names are translated
        // as they are read.
        SetLanguage(GetParam());
        Connection.Set.LoadBuiltinSet(UnitHfm, 'A');
    }
    void TearDown() override {
        SetLanguage('R');
        ResetDictionary();
    }

    TTextWalk MakeWalk() const {
        std::string english = Shipped("english.txt");
        std::set<std::string> own = GetParam() == 'D'   ? Side(Shipped("deutsch.txt"), false)
                                    : GetParam() == 'R' ? Side(english, true)
                                                        : Side(english, false);
        return TTextWalk(GetParam(), Side(english, false), own);
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    testing::TRecordingConnection Connection;
};

TEST_P(UntranslatedTextsTest, MainWindowWithEveryTabShown) {
    TMainForm form(Connection, "SIM");
    form.show();
    ASSERT_EQ(Language(), GetParam());
    Connection.Alive = true;
    Connection.Ecu = true;
    form.HandleMessage(WM_USER + 2, 0, 0);
    form.HandleMessage(WM_USER + 16, 0, 0);
    form.HandleMessage(WM_USER + 11, 0, 0); // the activation panel
    auto* pg = Child<QTabWidget>(&form, "pg");
    pg->setCurrentIndex(PageGraph);
    pg->setCurrentIndex(PageScreens);
    TTextWalk walk = MakeWalk();
    walk.Walk(&form);
    for (const std::string& text : walk.Found)
        ADD_FAILURE() << "untranslated: " << text;
}

TEST_P(UntranslatedTextsTest, MainWindowWithARecordingOpen) {
    TMainForm form(Connection, "SIM");
    form.show();
    auto recording = std::make_shared<TReplayRecording>();
    recording->Name = "B45001.bin";
    recording->TimesEstimated = true;
    recording->DurationMs = 60000;
    recording->Ident.UnitType = UnitHfm;
    recording->Params = std::make_shared<TListParams>();
    recording->Params->LoadBuiltinSet(UnitHfm, 'A');
    form.OpenReplay(recording);
    form.HandleMessage(WM_USER + 2, 0, 0); // the replay's ECU ready (this host keeps posted messages)
    form.CompareWithRecording(recording);
    TTextWalk walk = MakeWalk();
    walk.Walk(&form);
    for (const std::string& text : walk.Found)
        ADD_FAILURE() << "untranslated: " << text;
}

TEST_P(UntranslatedTextsTest, Dialogs) {
    TTextWalk walk = MakeWalk();
    SetLanguage(GetParam());
    TFormSelectPort port;
    walk.Walk(&port);
    TFrmClients clients;
    walk.Walk(&clients);
    TProgramSettings settings;
    TFormTun tune(settings);
    walk.Walk(&tune);
    TParamChooser chooser(Connection.Set);
    walk.Walk(&chooser);
    TGraphParam view(*Connection.Set.FindByNumber(0));
    TgraphProp properties(view);
    walk.Walk(&properties);
    for (const std::string& text : walk.Found)
        ADD_FAILURE() << "untranslated: " << text;
}

INSTANTIATE_TEST_SUITE_P(Languages, UntranslatedTextsTest, ::testing::Values('R', 'E', 'D'),
                         [](const ::testing::TestParamInfo<char>& language) {
                             return std::string(1, language.param);
                         });

} // namespace
} // namespace velmora

#include "ui/common/translate_widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "lang/dictionary.h"
#include "temp_folder.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

class TranslateTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder.WriteFile("DATA/english.txt", "Окно\r\nWindow\r\nКнопка\r\nButton\r\nПодсказка\r\nHint\r\n"
                                             "Метка\r\nLabel\r\nФлажок\r\nCheck\r\nГруппа\r\nGroup\r\n"
                                             "Вкладка\r\nTab\r\nМеню\r\nMenu\r\nПункт\r\nItem\r\n"
                                             "Подпункт\r\nSubitem\r\nГлубже\r\nDeeper\r\n");
        SetLanguage('E');
        ResetDictionary();
    }
    void TearDown() override {
        SetLanguage('R');
        ResetDictionary();
    }
    testing::TTempFolder Folder;
};

TEST_F(TranslateTest, CaptionsAndHintsOfAWholeForm) {
    QWidget form;
    form.setWindowTitle("Окно");
    auto* layout = new QVBoxLayout(&form);
    auto* panel = new QFrame;
    panel->setToolTip("Подсказка");
    auto* inner = new QVBoxLayout(panel);
    auto* button = new QPushButton("Кнопка");
    button->setToolTip("Подсказка");
    inner->addWidget(button); // inside a panel
    layout->addWidget(panel);
    auto* group = new QGroupBox("Группа");
    auto* check = new QCheckBox("Флажок", group);
    layout->addWidget(group);
    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    auto* label = new QLabel("Метка", page);
    tabs->addTab(page, "Вкладка");
    layout->addWidget(tabs);
    auto* edit = new QLineEdit("Метка");
    layout->addWidget(edit);
    // A tab of its own kind (the fault tab is one) is a panel like any other.
    class TOwnPanel : public QWidget {};
    auto* own = new TOwnPanel;
    auto* ownButton = new QPushButton("Кнопка", own);
    layout->addWidget(own);

    TranslateControl(&form);
    EXPECT_EQ(form.windowTitle(), "Window");
    EXPECT_EQ(panel->toolTip(), "Hint");
    EXPECT_EQ(ownButton->text(), "Button");
    EXPECT_EQ(button->text(), "Button");
    EXPECT_EQ(button->toolTip(), "Hint");
    EXPECT_EQ(group->title(), "Group");
    EXPECT_EQ(check->text(), "Check");
    EXPECT_EQ(tabs->tabText(0), "Tab");
    EXPECT_EQ(label->text(), "Label");
    EXPECT_EQ(edit->text(), "Метка"); // an edit keeps its content
}

TEST_F(TranslateTest, MenusThreeLevelsDeep) {
    QMenuBar bar;
    QMenu* top = bar.addMenu("Меню");
    QAction* item = top->addAction("Пункт");
    QMenu* sub = top->addMenu("Пункт");
    QAction* subitem = sub->addAction("Подпункт");
    QMenu* deeper = sub->addMenu("Подпункт");
    QAction* fourth = deeper->addAction("Глубже");
    TranslateMenu(&bar);
    EXPECT_EQ(top->title(), "Menu");
    EXPECT_EQ(item->text(), "Item");
    EXPECT_EQ(sub->title(), "Item");
    EXPECT_EQ(subitem->text(), "Subitem");
    EXPECT_EQ(deeper->title(), "Subitem");
    EXPECT_EQ(fourth->text(), "Глубже"); // the fourth level is not translated
}

} // namespace
} // namespace velmora

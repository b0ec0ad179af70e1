#include "ui/graphs/graph_tab.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/host.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "ui/common/widget_colors.h"
#include "ui/dialogs/input_box.h"
#include "ui/graphs/default_graph.h"
#include "ui/graphs/graph_prop.h"
#include "ui/graphs/param_chooser.h"

namespace velmora {

namespace {

constexpr int PictureWidth = 550, PictureHeight = 400; // pixels until the tab is laid out
constexpr int MaxScreenSeconds = 9999;

QString Tr(std::string_view text) {
    return QString::fromStdString(Translate(text));
}

QPushButton* MakeButton(const char* name, const QString& caption, const char* hint) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    if (hint)
        button->setToolTip(Tr(hint));
    return button;
}

QString ScreenCaption(int seconds) {
    return QString::fromStdString(TranslateFormat("Экран %d сек.", seconds));
}

} // namespace

TGraphTab::TGraphTab(std::shared_ptr<const TListParams> params, QWidget* parent)
    : QWidget(parent), Params(std::move(params)) {
    setObjectName("GraphTab");
    auto* layout = new QGridLayout(this);
    Image = new QLabel;
    Image->setObjectName("Image");
    Image->setMinimumSize(200, 100);
    Image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image->installEventFilter(this);
    layout->addWidget(Image, 0, 0, 2, 1);
    layout->setColumnStretch(0, 1);

    auto* side = new QVBoxLayout;
    lbGraphs = new QListWidget;
    lbGraphs->setObjectName("lbGraphs");
    lbGraphs->setMaximumWidth(200);
    lbGraphs->installEventFilter(this);
    connect(lbGraphs, &QListWidget::currentRowChanged, this, [this] { ShowMinMax(); });
    connect(lbGraphs, &QListWidget::itemDoubleClicked, this, [this] {
        int row = lbGraphs->currentRow();
        if (row >= 0 && size_t(row) < GraphList->Count())
            EditProperties(GraphList->View(size_t(row)), this);
        Redraw();
    });
    side->addWidget(lbGraphs, 1);
    auto* add = MakeButton("btnAddGraph", "+", "Добавить параметр в список опроса");
    connect(add, &QPushButton::clicked, this, [this] { AddGraph(ChooseParam(*Params, this)); });
    auto* del = MakeButton("btnDelGraph", "-", "Удалить параметр из списка");
    connect(del, &QPushButton::clicked, this, [this] { btnDelGraphClick(); });
    auto* save = MakeButton("btnSavePic", "Save picture", nullptr);
    connect(save, &QPushButton::clicked, this, [this] { btnSavePicClick(); });
    auto* refresh = MakeButton("Button1", "Refresh", "Стандратные настройки из ini файла");
    connect(refresh, &QPushButton::clicked, this, [this] { Button1Click(); });
    Button3 = MakeButton("Button3", ScreenCaption(ScreenSeconds), nullptr);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    auto* clear = MakeButton("btnClearMinMax", "Min   Max", nullptr);
    connect(clear, &QPushButton::clicked, this, [this] { btnClearMinMaxClick(); });
    lbMinMax = new QLabel;
    lbMinMax->setObjectName("lbMinMax");
    WaitPanel = new QLabel("wait...");
    WaitPanel->setObjectName("pnlWait");
    WaitPanel->setAlignment(Qt::AlignCenter);
    SetBackground(WaitPanel, ColorRed);
    WaitPanel->hide(); // shown only while a picture waits for the next scroll
    for (QWidget* w :
         std::initializer_list<QWidget*>{add, del, save, refresh, Button3, clear, lbMinMax, WaitPanel})
        side->addWidget(w);
    layout->addLayout(side, 0, 1);

    TIniFile ini(SettingsFile());
    WriteDefaultGraph(ini, *Params);
    GraphList = std::make_shared<TGraph>(PictureWidth, PictureHeight, Params, &ini);
    ScreenSeconds = int(GraphList->ScreenTimeMs / 1000);
    Button3->setText(ScreenCaption(ScreenSeconds));
    GraphList->OnMinMaxChange = [this] { ShowMinMax(); };
    GraphList->OnSaveDone = [this] { WaitPanel->hide(); };
    FillList();
    Redraw();
}

TGraphTab::~TGraphTab() {
    // The worker may hold the graph a while longer: it forgets this tab.
    GraphList->OnMinMaxChange = nullptr;
    GraphList->OnSaveDone = nullptr;
}

void TGraphTab::FillList() {
    lbGraphs->clear();
    for (size_t i = 0; i < GraphList->Count(); ++i)
        lbGraphs->addItem(QString::fromStdString(GraphList->View(i).Caption));
    if (lbGraphs->count() > 0)
        lbGraphs->setCurrentRow(0);
}

bool TGraphTab::AddGraph(int number) {
    if (number == NoParamChosen || !GraphList->AddParam(number))
        return false;
    lbGraphs->addItem(QString::fromStdString(GraphList->View(GraphList->Count() - 1).Caption));
    lbGraphs->setCurrentRow(lbGraphs->count() - 1);
    if (GraphList->Count() == 1)
        GraphList->ResetGraph();
    Redraw();
    return true;
}

void TGraphTab::btnDelGraphClick() {
    if (GraphList->Count() == 0)
        return;
    int row = std::max(lbGraphs->currentRow(), 0);
    GraphList->RemoveView(size_t(row));
    delete lbGraphs->takeItem(row);
    if (lbGraphs->count() > 0)
        lbGraphs->setCurrentRow(0);
}

void TGraphTab::Button1Click() {
    TIniFile ini(SettingsFile());
    WriteDefaultGraph(ini, *Params);
    GraphList->LoadGraph(ini, 0);
    ScreenSeconds = int(GraphList->ScreenTimeMs / 1000);
    Button3->setText(ScreenCaption(ScreenSeconds));
    FillList();
    Redraw();
    if (OnReload)
        OnReload();
}

void TGraphTab::Button3Click() {
    std::optional<std::string> answer =
        InputQuery(this, Translate("Задайте время экрана по оси Х"),
                   Translate("Задайте время экрана по оси Х"), std::to_string(ScreenSeconds));
    if (!answer)
        return;
    bool ok = false;
    int seconds = QString::fromStdString(*answer).trimmed().toInt(&ok);
    if (!ok || seconds < 1 || seconds > MaxScreenSeconds)
        return;
    ScreenSeconds = seconds;
    Button3->setText(ScreenCaption(seconds));
    GraphList->SetScreenTime(seconds);
}

void TGraphTab::btnSavePicClick() {
    if (!GraphList->SavePending)
        WaitPanel->show();
    GraphList->RequestSave();
}

void TGraphTab::btnClearMinMaxClick() {
    for (size_t i = 0; i < GraphList->Count(); ++i)
        GraphList->View(i).ClearMinMax();
    ShowMinMax();
}

void TGraphTab::ShowMinMax() {
    int row = lbGraphs->currentRow();
    if (row >= 0 && size_t(row) < GraphList->Count()) {
        GraphList->Selected = row;
        lbMinMax->setText(QString::fromStdString(GraphList->MinMaxText(size_t(row))));
    }
}

void TGraphTab::Redraw() {
    Image->setPixmap(QPixmap::fromImage(GraphList->Image()));
}

bool TGraphTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image && event->type() == QEvent::Resize) {
        QSize size = Image->size();
        if (size != GraphList->Image().size()) {
            GraphList->Resize(size.width(), size.height());
            Redraw();
        }
    }
    if (watched == lbGraphs && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete) {
            btnDelGraphClick();
            return true;
        }
        if (key == Qt::Key_Space && lbGraphs->currentItem()) {
            emit lbGraphs->itemDoubleClicked(lbGraphs->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velmora

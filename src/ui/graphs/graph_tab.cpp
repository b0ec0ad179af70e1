#include "ui/graphs/graph_tab.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/display_unit.h"
#include "platform/host.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "ui/common/saved_notice.h"
#include "ui/common/widget_colors.h"
#include "ui/dialogs/input_box.h"
#include "ui/graphs/default_graph.h"
#include "ui/graphs/graph_prop.h"
#include "ui/graphs/param_chooser.h"

namespace velmora {

namespace {

constexpr int PictureWidth = 550, PictureHeight = 400; // pixels until the tab is laid out
constexpr int SwatchSize = 12;                         // pixels of a curve's colour in the list
constexpr int TimeStripPixels = 18;                    // below the curves, for the time labels
constexpr int TopPixels = 4;
constexpr int DragPixels = 4; // a press that moves less is a click

QIcon Swatch(uint32_t colour) {
    QPixmap swatch(SwatchSize, SwatchSize);
    swatch.fill(FromBgr(colour));
    return QIcon(swatch);
}

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
    TIniFile ini(SettingsFile());
    WriteDefaultGraph(ini, *Params);
    GraphList = std::make_shared<TGraph>(PictureWidth, PictureHeight, Params, &ini);
    auto* layout = new QGridLayout(this);
    // The graph is made below, from the settings; the view only paints it.
    Image = new TGraphView(*GraphList, [this](QPainter& painter, int width, int height, const QRect& area) {
        DrawScales(painter, width, height, area);
    });
    Image->setObjectName("Image");
    Image->setMinimumSize(200, 100);
    Image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image->installEventFilter(this);
    Image->setToolTip(Tr("Колесо: время крупнее или мельче; перетаскивание: сдвиг по времени; "
                         "щелчок: курсор со значениями, правая кнопка убирает его"));
    layout->addWidget(Image, 0, 0, 2, 1);
    layout->setColumnStretch(0, 1);

    auto* side = new QVBoxLayout;
    lbGraphs = new QListWidget;
    lbGraphs->setObjectName("lbGraphs");
    lbGraphs->setMaximumWidth(200);
    lbGraphs->installEventFilter(this);
    connect(lbGraphs, &QListWidget::currentRowChanged, this, [this] {
        ShowMinMax();
        Redraw(); // the value scale follows the selection
    });
    connect(lbGraphs, &QListWidget::itemDoubleClicked, this, [this] {
        int row = lbGraphs->currentRow();
        if (row >= 0 && size_t(row) < GraphList->Count())
            EditProperties(GraphList->View(size_t(row)), this);
        RefreshSwatches();
        GraphList->Redraw(); // the new range from the kept values: no jump from a point of the old one
        Redraw();
    });
    lbGraphs->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lbGraphs, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        int row = lbGraphs->row(lbGraphs->itemAt(at));
        if (row < 0)
            return;
        lbGraphs->setCurrentRow(row);
        QMenu* menu = CurveMenu(row);
        menu->exec(lbGraphs->viewport()->mapToGlobal(at));
        menu->deleteLater();
    });
    side->addWidget(lbGraphs, 1);
    auto* curve =
        MakeButton("btnCurve", Tr("Шкала, цвет, дорожка..."), "Масштаб, цвет и дорожка выбранного параметра");
    connect(curve, &QPushButton::clicked, this, [this, curve] {
        int row = lbGraphs->currentRow();
        if (row < 0)
            return;
        QMenu* menu = CurveMenu(row);
        menu->exec(curve->mapToGlobal(QPoint(0, curve->height())));
        menu->deleteLater();
    });
    side->addWidget(curve);
    cbLanes = new QCheckBox(Tr("Дорожки"));
    cbLanes->setObjectName("cbLanes");
    cbLanes->setToolTip(Tr("Каждый параметр на своей дорожке со своей шкалой"));
    connect(cbLanes, &QCheckBox::toggled, this, [this](bool on) {
        if (on != GraphList->Lanes())
            SetLanes(on);
    });
    side->addWidget(cbLanes);
    btnPause = MakeButton("btnPause", Tr("Пауза"), "Остановить рисунок; опрос продолжается");
    btnPause->setCheckable(true);
    connect(btnPause, &QPushButton::toggled, this, [this](bool on) {
        if (on != Paused())
            SetPaused(on);
    });
    side->addWidget(btnPause);
    auto* add = MakeButton("btnAddGraph", "+", "Добавить параметр в список опроса");
    connect(add, &QPushButton::clicked, this, [this] { AddGraph(ChooseParam(*Params, this)); });
    auto* del = MakeButton("btnDelGraph", "-", "Удалить параметр из списка");
    connect(del, &QPushButton::clicked, this, [this] { btnDelGraphClick(); });
    auto* save = MakeButton("btnSavePic", Tr("Сохранить рисунок"), nullptr);
    connect(save, &QPushButton::clicked, this, [this] { btnSavePicClick(); });
    auto* refresh = MakeButton("Button1", Tr("Обновить"), "Стандратные настройки из ini файла");
    connect(refresh, &QPushButton::clicked, this, [this] { Button1Click(); });
    Button3 = MakeButton("Button3", ScreenCaption(ScreenSeconds), nullptr);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    auto* clear = MakeButton("btnClearMinMax", Tr("Мин   Макс"), nullptr);
    connect(clear, &QPushButton::clicked, this, [this] { btnClearMinMaxClick(); });
    lbMinMax = new QLabel;
    lbMinMax->setObjectName("lbMinMax");
    WaitPanel = new QLabel(Tr("ждите..."));
    WaitPanel->setObjectName("pnlWait");
    WaitPanel->setAlignment(Qt::AlignCenter);
    SetBackground(WaitPanel, ColorRed);
    WaitPanel->hide(); // shown only while a picture waits for the next scroll
    for (QWidget* w :
         std::initializer_list<QWidget*>{add, del, save, refresh, Button3, clear, lbMinMax, WaitPanel})
        side->addWidget(w);
    layout->addLayout(side, 0, 1);

    ScreenSeconds = int(GraphList->ScreenTimeMs / 1000);
    Button3->setText(ScreenCaption(ScreenSeconds));
    cbLanes->setChecked(GraphList->Lanes());
    ApplyMetrics();
    GraphList->OnMinMaxChange = [this] { ShowMinMax(); };
    GraphList->OnSaveDone = [this] {
        WaitPanel->hide();
        if (!GraphList->LastPicture.empty())
            ShowNotice(this, Translate("Рисунок сохранен в файл") + " " + GraphList->LastPicture.string());
    };
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
        AddListItem(GraphList->View(i));
    if (lbGraphs->count() > 0)
        lbGraphs->setCurrentRow(0);
}

void TGraphTab::AddListItem(const TGraphParam& view) {
    // The name carries its curve's colour: a swatch (yellow text would not read on white).
    lbGraphs->addItem(new QListWidgetItem(Swatch(view.Color), QString::fromStdString(view.Caption)));
}

void TGraphTab::RefreshSwatches() {
    for (int row = 0; row < lbGraphs->count() && size_t(row) < GraphList->Count(); ++row)
        lbGraphs->item(row)->setIcon(Swatch(GraphList->View(size_t(row)).Color));
}

QMenu* TGraphTab::CurveMenu(int row) {
    auto* menu = new QMenu(this);
    menu->setObjectName("mnuCurve");
    if (row < 0 || size_t(row) >= GraphList->Count())
        return menu;
    TGraphParam& view = GraphList->View(size_t(row));
    const std::string number = std::to_string(view.ParamNo);
    QAction* props = menu->addAction(Tr("Свойства..."));
    props->setObjectName("mnuProps");
    connect(props, &QAction::triggered, this, [this, &view] {
        EditProperties(view, this);
        RefreshSwatches();
        GraphList->Redraw(); // the new range from the kept values, without a jump
        ShowAll();
    });
    QAction* autoScale = menu->addAction(Tr("Автомасштаб"));
    autoScale->setObjectName("mnuAuto");
    autoScale->setCheckable(true);
    autoScale->setChecked(view.AutoScale);
    connect(autoScale, &QAction::toggled, this, [this, &view, number](bool on) {
        GraphList->SetAutoScale(view, on);
        WriteSetting("AUTO" + number, on ? 1 : 0);
        ShowMinMax();
        ShowAll();
    });
    QMenu* colours = menu->addMenu(Tr("Цвет"));
    colours->setObjectName("mnuColor");
    for (uint32_t colour : CurvePalette) {
        QAction* pick = colours->addAction(Swatch(colour), QString::fromStdString(ColorName(colour)));
        pick->setObjectName(QString::fromStdString("mnuColor" + ColorName(colour)));
        pick->setCheckable(true);
        pick->setChecked(view.Color == colour);
        connect(pick, &QAction::triggered, this, [this, &view, colour] {
            view.Color = colour;
            RefreshSwatches();
            GraphList->Redraw();
            ShowAll();
        });
    }
    QMenu* lanes = menu->addMenu(Tr("Дорожка"));
    lanes->setObjectName("mnuLane");
    for (int lane = 0; lane < int(GraphList->Count()); ++lane) {
        QAction* pick = lanes->addAction(QString::fromStdString(TranslateFormat("Дорожка %d", lane + 1)));
        pick->setObjectName(QString("mnuLane%1").arg(lane + 1));
        pick->setCheckable(true);
        pick->setChecked(view.Lane == lane);
        connect(pick, &QAction::triggered, this, [this, &view, lane, number] {
            view.Lane = lane;
            WriteSetting("LANE" + number, lane);
            GraphList->SetLanes(true); // a lane chosen is meant to be seen
            WriteSetting("LANES", 1);
            cbLanes->setChecked(true);
            ShowAll();
        });
    }
    return menu;
}

void TGraphTab::WriteSetting(const std::string& key, int value) const {
    TIniFile ini(SettingsFile());
    ini.WriteInteger("GRAPH" + std::to_string(ini.ReadInteger("OPTIONS", "GRAPHS", 0)), key, value);
}

void TGraphTab::SetLanes(bool lanes) {
    GraphList->SetLanes(lanes);
    WriteSetting("LANES", lanes ? 1 : 0);
    if (cbLanes->isChecked() != lanes)
        cbLanes->setChecked(lanes);
    ShowAll();
}

void TGraphTab::SetPaused(bool paused) {
    GraphList->Freeze(paused);
    btnPause->setText(paused ? Tr("Продолжить") : Tr("Пауза"));
    if (btnPause->isChecked() != paused)
        btnPause->setChecked(paused);
    ShowAll();
}

void TGraphTab::SetCursorAt(int x) {
    if (x < 0)
        CursorTick.reset();
    else
        CursorTick = GraphList->TickAt(x);
    ShowAll();
}

void TGraphTab::ApplyMetrics() {
    const qreal ratio = Image->devicePixelRatioF();
    GraphList->SetMargins(int(TopPixels * ratio), int(TimeStripPixels * ratio));
    // Two pixels at 1x: the lighter colours of the palette read better than on a hairline.
    GraphList->SetPenWidth(int(std::lround(2 * ratio)));
}

void TGraphTab::ShowAll() {
    GraphList->TakeChanged();
    Image->update();
}

bool TGraphTab::AddGraph(int number) {
    if (number == NoParamChosen || !GraphList->AddParam(number))
        return false;
    AddListItem(GraphList->View(GraphList->Count() - 1));
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
    cbLanes->setChecked(GraphList->Lanes());
    SetPaused(false);
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
    if (!ok || seconds < 1 || seconds > TGraph::MaxScreenSeconds)
        return;
    ScreenSeconds = seconds;
    Button3->setText(ScreenCaption(seconds));
    GraphList->SetScreenTime(seconds);
    // The old trace was drawn at the old scale: the lines start anew at the next values.
    GraphList->ResetGraph();
    Redraw();
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
    // The picture has the screen's own pixels (twice as many at 2× scale), so its lines stay crisp; the
    // scales are painted over it on the screen only and are not part of a saved picture.
    GraphList->TakeChanged();
    Image->update();
}

bool TGraphTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image && event->type() == QEvent::Resize) {
        QSize size = Image->size() * Image->devicePixelRatioF();
        if (size != GraphList->Image().size()) {
            GraphList->Resize(size.width(), size.height());
            ApplyMetrics();
            Redraw();
        }
    }
    if (watched == Image) {
        const qreal ratio = Image->devicePixelRatioF();
        switch (event->type()) {
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            int steps = wheel->angleDelta().y() / 120;
            if (steps != 0) {
                GraphList->Zoom(std::pow(0.8, steps), int(wheel->position().x() * ratio));
                SetPaused(GraphList->Frozen());
            }
            return true;
        }
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton) {
                SetCursorAt(-1);
                return true;
            }
            PressAt = DragAt = mouse->position().toPoint();
            Dragging = false;
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->buttons() & Qt::LeftButton))
                break;
            QPoint at = mouse->position().toPoint();
            if (!Dragging && (at - PressAt).manhattanLength() < DragPixels)
                return true;
            Dragging = true;
            GraphList->Pan(int(std::lround((at.x() - DragAt.x()) * ratio)));
            DragAt = at;
            SetPaused(true);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && !Dragging)
                SetCursorAt(int(mouse->position().x() * ratio));
            Dragging = false;
            return true;
        }
        default:
            break;
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

#include "ui/graphs/graph_tab.h"

#include <QGridLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

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
constexpr int ScaleSteps = 4;                          // parts of a scale between its labels
constexpr int ScaleFontPixels = 11;

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
        Redraw();
    });
    side->addWidget(lbGraphs, 1);
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
    QPixmap swatch(SwatchSize, SwatchSize);
    swatch.fill(FromBgr(view.Color));
    lbGraphs->addItem(new QListWidgetItem(QIcon(swatch), QString::fromStdString(view.Caption)));
}

void TGraphTab::RefreshSwatches() {
    for (int row = 0; row < lbGraphs->count() && size_t(row) < GraphList->Count(); ++row) {
        QPixmap swatch(SwatchSize, SwatchSize);
        swatch.fill(FromBgr(GraphList->View(size_t(row)).Color));
        lbGraphs->item(row)->setIcon(QIcon(swatch));
    }
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

void TGraphTab::DrawScales(QPainter& painter, int width, int height, const QRect& area) const {
    const qreal ratio = Image->devicePixelRatioF();
    QFont font = painter.font();
    font.setPixelSize(int(ScaleFontPixels * ratio));
    painter.setFont(font);
    const int tick = int(4 * ratio);
    // Labels start clear of their tick, which would otherwise read as a minus sign before the value.
    const int margin = tick + int(3 * ratio);
    auto label = [&](const QRect& box, int flags, const QString& text, const QColor& colour) {
        // Laying out text is the dear part of a frame: only labels in the painted part.
        if (!area.intersects(box.adjusted(-1, -1, 1, 1)))
            return;
        // A white edge keeps the text readable over the curves and the grid.
        painter.setPen(Qt::white);
        for (int dx : {-1, 1})
            for (int dy : {-1, 1})
                painter.drawText(box.translated(dx, dy), flags, text);
        painter.setPen(colour);
        painter.drawText(box, flags, text);
    };
    // The value scale of the selected curve, in its colour and unit.
    int row = lbGraphs->currentRow();
    if (row >= 0 && size_t(row) < GraphList->Count()) {
        const TGraphParam& view = GraphList->View(size_t(row));
        const QColor colour = FromBgr(view.Color);
        const std::string ownUnit = DisplayUnit(view.Param);
        const QString unit = QString::fromStdString(ownUnit.empty() ? view.Param.Izm : " " + ownUnit);
        for (int i = 0; i <= ScaleSteps; ++i) {
            float value = view.RangeLo + (view.RangeHi - view.RangeLo) * float(i) / ScaleSteps;
            int y = height - 1 - (height - 1) * i / ScaleSteps;
            QString text = QString::number(double(value), 'f', view.Param.Decimals) + unit;
            int flags = Qt::AlignLeft | (i == 0            ? Qt::AlignBottom
                                         : i == ScaleSteps ? Qt::AlignTop
                                                           : Qt::AlignVCenter);
            QRect box(margin,
                      i == 0            ? y - int(20 * ratio)
                      : i == ScaleSteps ? y
                                        : y - int(10 * ratio),
                      int(120 * ratio), int(20 * ratio));
            painter.setPen(colour);
            painter.drawLine(0, y, tick, y);
            label(box, flags, text, colour);
        }
    }
    // The time scale: seconds before the right edge.
    const double seconds = GraphList->ScreenTimeMs / 1000.0;
    for (int i = 1; i < ScaleSteps; ++i) {
        int x = width * i / ScaleSteps;
        QString ago = QString::number(-seconds * (ScaleSteps - i) / ScaleSteps, 'g', 4);
        QString text = QString::fromStdString(TranslateFormat("%s с", ago.toStdString().c_str()));
        painter.setPen(Qt::darkGray);
        painter.drawLine(x, height - 1, x, height - 1 - tick);
        label(QRect(x - int(40 * ratio), height - int(22 * ratio), int(80 * ratio), int(16 * ratio)),
              Qt::AlignHCenter | Qt::AlignBottom, text, Qt::darkGray);
    }
}

bool TGraphTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image && event->type() == QEvent::Resize) {
        QSize size = Image->size() * Image->devicePixelRatioF();
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

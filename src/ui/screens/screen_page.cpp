#include "ui/screens/screen_page.h"

#include <QFrame>
#include <QGridLayout>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "params/param_list.h"

namespace velmora {

namespace {

struct TCombinedRow {
    int View;
    int Parts[3];
};

constexpr TCombinedRow CombinedRows[] = {{CodeNumberView, {20, 21, 22}},
                                         {CodingUnitNumberView, {37, 38, 39}}};

std::unique_ptr<TVisualParam> MakeView(int number, const TListParams& params) {
    if (TECUparam* param = params.FindByNumber(number))
        return std::make_unique<TVisualParam>(*param);
    for (const TCombinedRow& row : CombinedRows) {
        if (row.View != number)
            continue;
        TECUparam* a = params.FindByNumber(row.Parts[0]);
        TECUparam* b = params.FindByNumber(row.Parts[1]);
        TECUparam* c = params.FindByNumber(row.Parts[2]);
        if (a && b && c)
            return std::make_unique<TVisualParamEx>(uint8_t(number), *a, *b, *c);
    }
    return nullptr;
}

} // namespace

TScreenPage::TScreenPage(const TScreenDefinition& definition, std::shared_ptr<const TListParams> params,
                         const TRowFonts& fonts, QWidget* parent)
    : QWidget(parent), Screen(definition), ViewList(std::make_shared<TScreenParams>(params, this)),
      Pacer(
          [this] {
              for (TParamRow* row : Rows)
                  row->ApplyPending();
          },
          this) {
    setObjectName(QString("screen%1").arg(definition.Index));
    // The zones scroll when their rows are taller than the page (large fonts), so the page never makes
    // the window grow; the rows follow the page's width.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("scroll");
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (definition.HasTop) {
        // As high as its rows plus one pixel.
        Top = MakeZone("zoneTop");
        Top->layout()->setContentsMargins(0, 0, 0, 1);
        Top->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        layout->addWidget(Top);
    }
    Splitter = new QSplitter(Qt::Horizontal, content);
    if (definition.HasLeft) {
        Left = MakeZone("zoneLeft");
        Splitter->addWidget(Left);
    }
    Main = new QFrame(this);
    Main->setObjectName("zoneMain");
    auto* grid = new QGridLayout(Main);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    Splitter->addWidget(Main);
    for (int i = 0; i < Splitter->count(); ++i)
        Splitter->setStretchFactor(i, 1);
    layout->addWidget(Splitter, 1);
    scroll->setWidget(content);
    auto* pageLayout = new QVBoxLayout(this);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(scroll);

    for (const TScreenItem& item : definition.Items) {
        if (std::unique_ptr<TVisualParam> view = MakeView(item.Number, *params)) {
            view->PollEveryCycle = item.Zone == TZone::Main;
            AddView(std::move(view), item.Zone, fonts);
        }
    }
    if (Left)
        static_cast<QVBoxLayout*>(Left->layout())->addStretch(1);
    PlaceMainRows(1);
    ViewList->OnStaleChange = [this](const TVisualParam& view, bool stale) {
        if (auto row = RowOf.find(&view); row != RowOf.end())
            row->second->SetStale(stale);
    };
}

TScreenPage::~TScreenPage() {
    ViewList->OnStaleChange = nullptr;
}

void TScreenPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The left zone starts at half the page, whatever its rows would ask for; the user moves the
    // splitter from there.
    if (Left && !LeftPlaced) {
        LeftPlaced = true;
        int half = Splitter->width() / 2;
        Splitter->setSizes({half, Splitter->width() - half});
    }
}

void TScreenPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitMainColumns();
}

void TScreenPage::FitMainColumns() {
    // Only a main zone with the page's whole width splits: beside a left zone it is half a page already.
    int needed = 0;
    for (TParamRow* row : MainRows)
        needed += row->UsualRowHeight();
    const int room = height() - (Top ? Top->sizeHint().height() : 0);
    const bool split = !Left && MainRows.size() > 1 && needed > room && width() >= 2 * MinColumnWidth;
    if (split == (Columns == 2))
        return;
    // A short page also takes the rows as low as their text allows.
    for (TParamRow* row : MainRows)
        row->SetCompact(split);
    PlaceMainRows(split ? 2 : 1);
}

void TScreenPage::PlaceMainRows(int columns) {
    if (columns == Columns)
        return;
    Columns = columns;
    auto* grid = static_cast<QGridLayout*>(Main->layout());
    while (QLayoutItem* item = grid->takeAt(0))
        delete item; // the rows stay children of the zone
    const int perColumn = int((MainRows.size() + size_t(columns) - 1) / size_t(columns));
    for (size_t i = 0; i < MainRows.size(); ++i)
        grid->addWidget(MainRows[i], int(i) % std::max(perColumn, 1), int(i) / std::max(perColumn, 1));
    for (int c = 0; c < 2; ++c)
        grid->setColumnStretch(c, c < columns ? 1 : 0);
    // The rows keep to the top; the rest of the zone stays empty below them.
    for (int r = 0; r <= int(MainRows.size()); ++r)
        grid->setRowStretch(r, r == perColumn ? 1 : 0);
}

QFrame* TScreenPage::MakeZone(const char* name) {
    auto* zone = new QFrame(this);
    zone->setObjectName(name);
    auto* layout = new QVBoxLayout(zone);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return zone;
}

void TScreenPage::AddView(std::unique_ptr<TVisualParam> view, TZone zone, const TRowFonts& fonts) {
    QFrame* parent = zone == TZone::Top ? Top : zone == TZone::Left ? Left : Main;
    auto* row = new TParamRow(*view, fonts, parent);
    row->SetPacer(&Pacer);
    if (parent == Main)
        MainRows.push_back(row); // placed in their columns once all are there
    else
        parent->layout()->addWidget(row);
    Rows.push_back(row);
    RowOf[view.get()] = row;
    ViewList->Add(std::move(view));
}

} // namespace velmora

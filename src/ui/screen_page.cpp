#include "ui/screen_page.h"

#include <QFrame>
#include <QSplitter>
#include <QVBoxLayout>

#include "params/param_list.h"

namespace velmora {

namespace {

struct TCombinedRow {
    int View;
    int Parts[3];
};

constexpr TCombinedRow CombinedRows[] = {{CodeNumberView, {20, 21, 22}},
                                         {CodingUnitNumberView, {37, 38, 39}}};

constexpr int DefaultZoneWidth = 600; // pixels, until the page is laid out

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
    : QWidget(parent), Screen(definition), ViewList(std::make_shared<TScreenParams>(params, this)) {
    setObjectName(QString("screen%1").arg(definition.Index));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (definition.HasTop) {
        Top = MakeZone("zoneTop");
        layout->addWidget(Top);
    }
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    if (definition.HasLeft) {
        Left = MakeZone("zoneLeft");
        splitter->addWidget(Left);
    }
    Main = MakeZone("zoneMain");
    splitter->addWidget(Main);
    layout->addWidget(splitter, 1);

    for (const TScreenItem& item : definition.Items) {
        if (std::unique_ptr<TVisualParam> view = MakeView(item.Number, *params)) {
            view->PollEveryCycle = item.Zone == TZone::Main;
            AddView(std::move(view), item.Zone, fonts);
        }
    }
    for (QFrame* zone : {Top, Left, Main}) {
        if (zone)
            static_cast<QVBoxLayout*>(zone->layout())->addStretch(1);
    }
    if (Top) {
        // The top zone is as high as its rows.
        int height = 1;
        for (TParamRow* row : Rows) {
            if (row->parentWidget() == Top)
                height += row->height();
        }
        Top->setFixedHeight(height);
    }
    ViewList->OnStaleChange = [this](const TVisualParam& view, bool stale) {
        if (auto row = RowOf.find(&view); row != RowOf.end())
            row->second->SetStale(stale);
    };
}

TScreenPage::~TScreenPage() {
    ViewList->OnStaleChange = nullptr;
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
    int width = zone == TZone::Left ? DefaultZoneWidth / 2 : DefaultZoneWidth;
    auto* row = new TParamRow(*view, fonts, width, parent);
    parent->layout()->addWidget(row);
    Rows.push_back(row);
    RowOf[view.get()] = row;
    ViewList->Add(std::move(view));
}

} // namespace velmora

#include "ui/screens/screen_pages.h"

#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "lang/dictionary.h"
#include "platform/host.h"
#include "platform/utf8_path.h"
#include "ui/screens/screen_page.h"

namespace velmora {

TScreenPages::TScreenPages(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pgScreens = new QTabWidget(this);
    pgScreens->setObjectName("pgScreens");
    pgScreens->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pgScreens, &QTabWidget::currentChanged, this, [this] { pgScreensChange(); });
    connect(pgScreens, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowPopup(at); });
    layout->addWidget(pgScreens);
}

void TScreenPages::BuildScreens(const std::shared_ptr<const TListParams>& params, const TRowFonts& fonts) {
    Clear();
    const std::string file = BuildPath("options.ini", "DATA", "", false);
    if (!std::filesystem::exists(Utf8Path(file))) {
        // Said once: every visit to the tab tries again, but the user knows after the first box.
        if (!MissingReported)
            Host().MessageBox(Translate("Файл не найден:") + " " + file, TMsgKind::Error, TMsgButtons::Ok);
        MissingReported = true;
        return;
    }
    MissingReported = false;
    std::vector<std::string> errors;
    std::vector<TScreenDefinition> screens = ReadScreenDefinitions(Utf8Path(file), *params, errors);
    Building = true;
    for (const TScreenDefinition& screen : screens)
        pgScreens->addTab(new TScreenPage(screen, params, fonts), QString::fromStdString(screen.Caption));
    Building = false;
    for (const std::string& error : errors)
        Host().MessageBox(error, TMsgKind::Error, TMsgButtons::Ok);
    if (pgScreens->count() > RememberedIndex)
        pgScreens->setCurrentIndex(RememberedIndex);
}

void TScreenPages::Clear() {
    Building = true;
    while (pgScreens->count() > 0) {
        QWidget* page = pgScreens->widget(0);
        pgScreens->removeTab(0);
        delete page;
    }
    Building = false;
}

bool TScreenPages::Built() const {
    return pgScreens->count() > 0;
}

int TScreenPages::Count() const {
    return pgScreens->count();
}

TScreenPage* TScreenPages::Screen(int index) const {
    return qobject_cast<TScreenPage*>(pgScreens->widget(index));
}

std::shared_ptr<TScreenParams> TScreenPages::CurrentViews() const {
    TScreenPage* screen = Screen(pgScreens->currentIndex());
    return screen ? screen->List() : nullptr;
}

void TScreenPages::pgScreensChange() {
    if (Building || pgScreens->currentIndex() < 0)
        return;
    RememberedIndex = pgScreens->currentIndex();
    std::shared_ptr<TScreenParams> views = CurrentViews();
    if (views)
        views->ResetDisplay();
    if (OnScreenChange)
        OnScreenChange(views);
}

void TScreenPages::ShowPopup(const QPoint& at) {
    QMenu menu(this);
    menu.setObjectName("pmScreens");
    QAction* about = menu.addAction("About");
    connect(about, &QAction::triggered, this, [this] {
        TScreenPage* screen = Screen(pgScreens->currentIndex());
        std::string text =
            Translate("Экраны задаются в файле") + " " + BuildPath("options.ini", "DATA", "", false);
        if (screen)
            text += "\n[SCREEN" + std::to_string(screen->Definition().Index) + "]";
        Host().MessageBox(text, TMsgKind::Information, TMsgButtons::Ok);
    });
    menu.exec(pgScreens->mapToGlobal(at));
}

} // namespace velmora

#include "ui/panels/lh_code_banner_view.h"

#include <QBoxLayout>
#include <QLabel>

#include "slow_codes/lh_code_banner.h"

namespace velmora {

namespace {

constexpr const char* BannerName = "pnlLhCode";
constexpr int BannerMargin = 4;
constexpr int BannerPointSize = 14;

// 0x00BBGGRR as the window system has colours.
QColor ColourOf(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// The code's colour fills the banner and the text takes the colour that reads on it: yellow text on a
// pale page could hardly be read.
void Colour(QLabel* banner, const QColor& colour) {
    QPalette palette = banner->palette();
    palette.setColor(QPalette::Window, colour);
    // Perceived brightness (ITU-R BT.601 weights): dark text on yellow, white on red and green.
    const int brightness = (299 * colour.red() + 587 * colour.green() + 114 * colour.blue()) / 1000;
    palette.setColor(QPalette::WindowText, brightness > 150 ? QColor(Qt::black) : QColor(Qt::white));
    banner->setPalette(palette);
}

QLabel* CreateBanner(QWidget* page) {
    auto* banner = new QLabel(page);
    banner->setObjectName(BannerName);
    banner->setContentsMargins(BannerMargin, BannerMargin, BannerMargin, BannerMargin);
    banner->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A long text wraps inside the page instead of widening the window.
    banner->setWordWrap(true);
    banner->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    banner->setAutoFillBackground(true);
    QFont font = banner->font();
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(BannerPointSize);
    font.setBold(true);
    banner->setFont(font);
    Colour(banner, ColourOf(0x0000FF));
    if (auto* layout = qobject_cast<QBoxLayout*>(page->layout()))
        layout->insertWidget(0, banner);
    return banner;
}

} // namespace

void ShowLhCodeBanner(QWidget* page, intptr_t code, intptr_t table, char language) {
    auto* banner = page->findChild<QLabel*>(BannerName, Qt::FindDirectChildrenOnly);
    const TLhBannerLine line = LhBannerLine(code, table, language);
    if (line.Clear) {
        if (banner)
            banner->clear();
        return;
    }
    if (!banner)
        banner = CreateBanner(page);
    banner->setText(QString::fromStdString(line.Text));
    const QColor colour = ColourOf(line.Colour);
    if (banner->palette().color(QPalette::Window) != colour)
        Colour(banner, colour);
}

} // namespace velmora

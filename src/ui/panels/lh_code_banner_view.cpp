#include "ui/panels/lh_code_banner_view.h"

#include <QBoxLayout>
#include <QLabel>

#include "slow_codes/lh_code_banner.h"

namespace velmora {

namespace {

constexpr const char* BannerName = "pnlLhCode";
constexpr int BannerHeight = 50;
constexpr int BannerLeft = 2;
constexpr int BannerPointSize = 24;

// 0x00BBGGRR as the window system has colours.
QColor ColourOf(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QLabel* CreateBanner(QWidget* page) {
    auto* banner = new QLabel(page);
    banner->setObjectName(BannerName);
    banner->setFixedHeight(BannerHeight);
    banner->setContentsMargins(BannerLeft, 0, 0, 0);
    banner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    banner->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font("Times New Roman");
    font.setPointSize(BannerPointSize);
    banner->setFont(font);
    QPalette palette = banner->palette();
    palette.setColor(QPalette::WindowText, ColourOf(0x0000FF));
    banner->setPalette(palette);
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
    if (banner->palette().color(QPalette::WindowText) != colour) {
        QPalette palette = banner->palette();
        palette.setColor(QPalette::WindowText, colour);
        banner->setPalette(palette);
    }
}

} // namespace velmora

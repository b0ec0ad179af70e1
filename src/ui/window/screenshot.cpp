#include "ui/window/screenshot.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>
#include <QScreen>
#include <QToolTip>
#include <QWidget>
#include <cstdio>

#include "lang/dictionary.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

constexpr int JpegQuality = 100;
constexpr int MaxNumber = 999;

} // namespace

std::filesystem::path NextScreenshotPath(const QDate& day, std::string& error) {
    char dayName[16];
    std::snprintf(dayName, sizeof dayName, "%.2d%.2d%.2d", day.year() % 100, day.month(), day.day());
    std::filesystem::path folder = Utf8Path(BuildPath("", "IMAGES", dayName, true));
    if (!DirectoryExists(folder.string())) {
        error = Translate("Не удалось создать папку") + " " + folder.string();
        return {};
    }
    for (int n = 1; n <= MaxNumber; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "IMG%.3d.jpg", n);
        if (!std::filesystem::exists(folder / name))
            return folder / name;
    }
    error = Translate("Не удалось записать файл") + " " + (folder / "IMG999.jpg").string();
    return {};
}

bool SaveJpeg(const QImage& picture, const std::filesystem::path& file, std::string& error) {
    if (!QImageWriter::supportedImageFormats().contains("jpeg")) {
        error = Translate("Запись JPEG недоступна: не установлен модуль изображений Qt для JPEG");
        return false;
    }
    QImageWriter writer(QString::fromStdString(file.string()), "jpeg");
    writer.setQuality(JpegQuality);
    if (!writer.write(picture)) {
        error = Translate("Не удалось записать файл") + " " + file.string() + ": " +
                writer.errorString().toStdString();
        return false;
    }
    return true;
}

bool SaveScreenshot(QWidget& window, std::string& error, std::filesystem::path* saved) {
    std::filesystem::path file = NextScreenshotPath(QDate::currentDate(), error);
    if (file.empty())
        return false;
    // The button's own tooltip would be captured with the window.
    QToolTip::hideText();
    QCoreApplication::processEvents();
    QRect frame = window.frameGeometry();
    QPixmap shot;
    if (QScreen* screen = window.screen())
        shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    // Platforms that cannot read the screen (Wayland, offscreen) give nothing: the window paints itself.
    if (shot.isNull())
        shot = window.grab();
    if (!SaveJpeg(shot.toImage(), file, error))
        return false;
    if (saved)
        *saved = file;
    return true;
}

} // namespace velmora

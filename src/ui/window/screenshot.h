// Screenshots of the main window: IMAGES/<yymmdd>/IMGnnn.jpg beside the program, JPEG quality 100.
// Window thread only.
#pragma once

#include <QDate>
#include <filesystem>
#include <string>

class QImage;
class QWidget;

namespace velmora {

// The first free IMGnnn.jpg (from 001) in IMAGES/<yymmdd of `day`>, creating the folders; empty with
// `error` set when they cannot be created.
std::filesystem::path NextScreenshotPath(const QDate& day, std::string& error);
// Writes `picture` as a JPEG of quality 100; false with `error` (also when this Qt has no JPEG writer).
bool SaveJpeg(const QImage& picture, const std::filesystem::path& file, std::string& error);
// Captures the screen area the window covers (frame included) and saves it under today's next name,
// given back in `saved` when asked for. A tooltip that is showing is put away first.
bool SaveScreenshot(QWidget& window, std::string& error, std::filesystem::path* saved = nullptr);

} // namespace velmora

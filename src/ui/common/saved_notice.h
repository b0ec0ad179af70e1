// Tells the user where a file went or what a command did: a line in the log memo and, for a while, the
// main window's status bar, which is in view on every tab. Window thread only.
#pragma once

#include <string>

class QWidget;

namespace velmora {

// `from` is any widget of the window the user works in.
void ShowNotice(QWidget* from, const std::string& text);

} // namespace velmora

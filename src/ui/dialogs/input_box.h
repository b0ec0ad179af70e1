// A one-line input box (the new client's name, the graph's screen time). Tests answer it through
// SetInputAnswer instead of a window. Window thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace velmora {

// The text the user confirmed, or nothing on cancel. `caption` and `prompt` are translated already.
std::optional<std::string> InputQuery(QWidget* parent, const std::string& caption, const std::string& prompt,
                                      const std::string& value);

// Replaces the box with `answer` (given caption and value); an empty function restores the box.
using TInputAnswer =
    std::function<std::optional<std::string>(const std::string& caption, const std::string& value)>;
void SetInputAnswer(TInputAnswer answer);

} // namespace velmora

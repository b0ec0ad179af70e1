// The port list's descriptions in the window's language: the link layer and the simulated car describe
// their ports in English (the command-line tools print them so); the window names them through this table
// of those texts and their Russian keys, which the dictionary then translates. Window thread only.
#pragma once

#include <string>

namespace velmora {

// The description as the window shows it; a text the table does not know (a USB device's own name) is
// shown as it is.
std::string PortDescriptionText(const std::string& description);

} // namespace velmora

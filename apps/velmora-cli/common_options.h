// What every velmora-cli command shares before it runs: the program's settings file (the window's
// velmora.ini) for the language, `--lang ru|en|de` anywhere on the command line over it, and the
// dictionary loaded once. Main thread, before the command.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// Takes `--lang` out of `args`, sets the language (settings LANGUAGE, then --lang) and loads its
// dictionary; a bad dictionary line is printed to stderr once and the command goes on. An error text
// when --lang is malformed, empty otherwise.
std::string ApplyCommonOptions(std::vector<char*>& args);

} // namespace velmora

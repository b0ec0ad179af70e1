// Reads a recording for the window's replay: an exchange log (.bin) with, when it was written, the
// times beside it. Window thread (it reads the whole file before it returns).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "ui/window/replay_recording.h"

namespace velmora {

// The recording of `file`, or nullptr with the reason in `error` (translated, for a box).
std::shared_ptr<TReplayRecording> LoadReplayRecording(const std::filesystem::path& file, std::string& error);

} // namespace velmora

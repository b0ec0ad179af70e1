// UTF-8 sequence checking shared by the text conversions of the platform layer (internal to
// src/platform). Any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace velmora {

// Length of a valid UTF-8 sequence at the start of `bytes` (not empty), or 0 when it is not valid.
size_t Utf8SequenceLength(std::string_view bytes);

} // namespace velmora

// The client check: the identification and VIN bytes of the unit a client's folder was made for, kept
// as one line in CLIENTS/<client>/check.txt, so that a connection to another car under the same client
// is noticed. Worker thread (any thread may call it; it touches only that file).
#pragma once

#include <string>
#include <string_view>

namespace velmora {

struct TEcuIdent;

constexpr const char* ClientCheckFileName = "check.txt";

// The identification bytes from address 0 up to the last non-zero one (at most 0x31, 0x1F for LH), then
// the 16 VIN bytes, as two-digit upper-case hexadecimal numbers separated by blanks.
std::string ClientCheckLine(const TEcuIdent& ident);

enum class TClientCheck {
    NoClient, // no client chosen, or its folder does not exist: nothing to check
    Created,  // the file was missing and has been written
    Matches,
    Differs,
    Unwritable, // the file was missing and could not be written (logged)
};

// Compares `line` with the first line of the client's check.txt, creating the file when it is missing.
TClientCheck CheckClient(std::string_view client, const std::string& line);

} // namespace velmora

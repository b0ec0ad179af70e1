// The LH unit's coded on/off ratio shown as a banner over the parameter screens. The worker reads the
// LH's parameter 4 (on/off ratio, %) like any other and posts WM_USER+8 for it; the window's value view
// applies colour rule 99, which posts WM_USER+22 with (0, 0) whenever the ratio changes, and with
// (ratio rounded, engine speed) once it has stayed the same for more than a second. A steady ratio is a
// code: the table with the engine running (speed not 0) or the one with the engine stopped tells what it
// means. Pure data and text; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

struct TLhCodeRow {
    int FirstCode;
    int LastCode;
    const char* Russian;
    const char* English;
    uint32_t Colour; // 0x00BBGGRR
};

struct TLhBannerLine {
    bool Clear = false; // (0, 0): empty the banner and change nothing else
    std::string Text;
    uint32_t Colour = 0;
};

// The row for `code` in the table `table` selects (not 0: engine running), or nullptr.
const TLhCodeRow* FindLhCode(int code, intptr_t table);

// What the banner shows for WM_USER+22 (wParam `code`, lParam `table`): "%  <code> <text>", the Russian
// text when `language` is 'R', the English one otherwise (not translated further); a code the table does
// not hold shows no text, in red.
TLhBannerLine LhBannerLine(intptr_t code, intptr_t table, char language);

} // namespace velmora

// The LH code banner (WM_USER+22) on the "Параметры" page: created on first use at the top of the page,
// emptied by (0, 0), otherwise the code's text in its colour (slow_codes/lh_code_banner.h says where the
// codes come from). Window thread only.
#pragma once

#include <cstdint>

class QWidget;

namespace velmora {

// Shows WM_USER+22's `code` and `table` in the banner of `page` (a page with a box layout).
void ShowLhCodeBanner(QWidget* page, intptr_t code, intptr_t table, char language);

} // namespace velmora

// The coding access file of check-word/answer pairs. Input: the file. Properties: every line is taken,
// skipped as a comment or reported, never more reports than lines; the pairs taken, written back one per
// line, read again to the same pairs without a report.
#include <algorithm>
#include <cstdio>

#include "actuators/coding_access.h"
#include "fuzz_target.h"

VELMORA_FUZZ_TARGET(coding_access) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const velmora::TCodingAccess access = velmora::ParseCodingAccess(text);
    const size_t lines = size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    FUZZ_CHECK(access.Errors.size() + access.Answers.size() <= lines, "more pairs and reports than lines");

    std::string written;
    for (const auto& [word, answer] : access.Answers) {
        char line[16];
        std::snprintf(line, sizeof line, "%04X %04X\n", unsigned(word), unsigned(answer));
        written += line;
    }
    const velmora::TCodingAccess again = velmora::ParseCodingAccess(written);
    FUZZ_CHECK(again.Errors.empty(), "the written pairs gave reports");
    FUZZ_CHECK(again.Answers == access.Answers, "the written pairs read back differently");
    return 0;
}

// Windows-1251 conversions through the C library's iconv (Linux).
#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>

#include "platform/text_encoding.h"
#include "platform/utf8_sequence.h"

namespace velmora {

namespace {

constexpr std::string_view ReplacementChar = "\xEF\xBF\xBD"; // U+FFFD

// One iconv descriptor per thread and direction; both codes are stateless, so no reset is needed
// between calls.
class TConverter {
public:
    TConverter(const char* to, const char* from) : Handle(iconv_open(to, from)) {
        if (Handle == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~TConverter() { iconv_close(Handle); }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // Converts `input`; a sequence the target cannot hold or the source does not define is replaced by
    // `substitute`, and `skip(rest)` tells how many input bytes that sequence spans.
    template <typename Skip>
    std::string Convert(std::string_view input, std::string_view substitute, Skip skip) {
        std::string output;
        output.reserve(input.size() * 2);
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char buffer[1024];
        while (inLeft > 0) {
            char* out = buffer;
            size_t outLeft = sizeof(buffer);
            size_t done = iconv(Handle, &in, &inLeft, &out, &outLeft);
            output.append(buffer, out - buffer);
            if (done != size_t(-1) || errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a sequence cut at the end): replace it and go on.
            size_t span = std::min(inLeft, skip(std::string_view(in, inLeft)));
            output += substitute;
            in += span;
            inLeft -= span;
        }
        return output;
    }

private:
    iconv_t Handle;
};

// Skips one character of possibly broken UTF-8: a valid sequence whole, a bad byte alone.
size_t SkipUtf8Char(std::string_view rest) {
    return std::max<size_t>(1, Utf8SequenceLength(rest));
}

} // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
    thread_local TConverter converter("UTF-8", "CP1251");
    return converter.Convert(bytes, ReplacementChar, [](std::string_view) { return size_t(1); });
}

std::string Utf8ToCp1251(std::string_view text) {
    thread_local TConverter converter("CP1251", "UTF-8");
    return converter.Convert(text, "?", SkipUtf8Char);
}

} // namespace velmora

#include "platform/text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
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

// Length of a valid UTF-8 sequence at the start of `bytes`, or 0 when it is not valid.
size_t Utf8SequenceLength(std::string_view bytes) {
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    size_t length;
    uint32_t codePoint;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (at(i) & 0x3F);
    }
    bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF)
        return 0;
    return length;
}

// Skips one character of possibly broken UTF-8: a valid sequence whole, a bad byte alone.
size_t SkipUtf8Char(std::string_view rest) {
    return std::max<size_t>(1, Utf8SequenceLength(rest));
}

// Keeps valid sequences and replaces every invalid byte by U+FFFD.
std::string RepairUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        size_t length = Utf8SequenceLength(bytes);
        if (length == 0) {
            text += ReplacementChar;
            length = 1;
        } else {
            text.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    return text;
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

bool IsValidUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        size_t length = Utf8SequenceLength(bytes);
        if (length == 0)
            return false;
        bytes.remove_prefix(length);
    }
    return true;
}

std::string DecodeText(std::string_view bytes, TTextEncoding* detected) {
    TTextEncoding encoding;
    std::string text;
    if (bytes.starts_with(Utf8Bom)) {
        // The mark says UTF-8; a stray bad byte after it is shown as U+FFFD rather than guessed at.
        encoding = TTextEncoding::Utf8Bom;
        text = RepairUtf8(bytes.substr(Utf8Bom.size()));
    } else if (IsValidUtf8(bytes)) {
        encoding = TTextEncoding::Utf8;
        text = bytes;
    } else {
        encoding = TTextEncoding::Cp1251;
        text = Cp1251ToUtf8(bytes);
    }
    if (detected)
        *detected = encoding;
    return text;
}

std::string EncodeText(std::string_view text, TTextEncoding encoding) {
    switch (encoding) {
    case TTextEncoding::Utf8Bom:
        return std::string(Utf8Bom) + std::string(text);
    case TTextEncoding::Cp1251:
        return Utf8ToCp1251(text);
    case TTextEncoding::Utf8:
        break;
    }
    return std::string(text);
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& file) {
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> bytes;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        bytes.emplace();
        char buffer[65536];
        for (;;) {
            ssize_t got = read(fd, buffer, sizeof(buffer));
            if (got > 0) {
                bytes->append(buffer, size_t(got));
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                bytes.reset();
                break;
            }
        }
    }
    close(fd);
    return bytes;
}

std::optional<std::string> ReadTextFile(const std::filesystem::path& file, TTextEncoding* detected) {
    std::optional<std::string> bytes = ReadFileBytes(file);
    if (!bytes)
        return std::nullopt;
    return DecodeText(*bytes, detected);
}

} // namespace velmora

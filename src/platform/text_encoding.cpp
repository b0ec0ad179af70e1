#include "platform/text_encoding.h"

#include "platform/utf8_sequence.h"

#include <algorithm>

namespace velmora {

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

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view ReplacementChar = "\xEF\xBF\xBD"; // U+FFFD

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

std::optional<std::string> ReadTextFile(const std::filesystem::path& file, TTextEncoding* detected) {
    std::optional<std::string> bytes = ReadFileBytes(file);
    if (!bytes)
        return std::nullopt;
    return DecodeText(*bytes, detected);
}

} // namespace velmora

// Windows-1251 conversions by our own table (Windows: the C library there has no iconv, and the
// system's code page conversions depend on the machine's settings).
#include <array>
#include <cstdint>

#include "platform/text_encoding.h"
#include "platform/utf8_sequence.h"

namespace velmora {

namespace {

constexpr char16_t Undefined = 0xFFFD;

// The characters of bytes 0x80..0xBF; 0xC0..0xFF are А..я (U+0410..U+044F) in order.
constexpr std::array<char16_t, 64> UpperHalf = {
    0x0402,    0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC,    0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452,    0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    Undefined, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0,    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401,    0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0,    0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451,    0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
};

char16_t CharOfByte(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return char16_t(0x0410 + (byte - 0xC0));
    return UpperHalf[byte - 0x80];
}

// The byte of a character, or 0 when 1251 has none for it (0 itself is ASCII and handled before).
unsigned char ByteOfChar(uint32_t codePoint) {
    if (codePoint < 0x80)
        return static_cast<unsigned char>(codePoint);
    if (codePoint >= 0x0410 && codePoint <= 0x044F)
        return static_cast<unsigned char>(0xC0 + (codePoint - 0x0410));
    for (size_t i = 0; i < UpperHalf.size(); ++i) {
        if (UpperHalf[i] == codePoint && UpperHalf[i] != Undefined)
            return static_cast<unsigned char>(0x80 + i);
    }
    return 0;
}

void AppendUtf8(std::string& text, uint32_t codePoint) {
    if (codePoint < 0x80) {
        text += char(codePoint);
    } else if (codePoint < 0x800) {
        text += char(0xC0 | (codePoint >> 6));
        text += char(0x80 | (codePoint & 0x3F));
    } else {
        text += char(0xE0 | (codePoint >> 12));
        text += char(0x80 | ((codePoint >> 6) & 0x3F));
        text += char(0x80 | (codePoint & 0x3F));
    }
}

// The code point of a valid sequence of `length` bytes.
uint32_t DecodeUtf8(std::string_view sequence, size_t length) {
    auto at = [&](size_t i) { return static_cast<unsigned char>(sequence[i]); };
    if (length == 1)
        return at(0);
    constexpr unsigned char LeadMasks[] = {0, 0, 0x1F, 0x0F, 0x07};
    uint32_t codePoint = at(0) & LeadMasks[length];
    for (size_t i = 1; i < length; ++i)
        codePoint = (codePoint << 6) | (at(i) & 0x3F);
    return codePoint;
}

} // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char byte : bytes)
        AppendUtf8(text, CharOfByte(static_cast<unsigned char>(byte)));
    return text;
}

std::string Utf8ToCp1251(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    while (!text.empty()) {
        const size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            // A broken byte stands for one character that 1251 cannot hold.
            bytes += '?';
            text.remove_prefix(1);
            continue;
        }
        const uint32_t codePoint = DecodeUtf8(text, length);
        const unsigned char byte = ByteOfChar(codePoint);
        bytes += codePoint != 0 && byte == 0 ? '?' : char(byte);
        text.remove_prefix(length);
    }
    return bytes;
}

} // namespace velmora

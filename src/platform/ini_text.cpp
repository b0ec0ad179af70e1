#include "platform/ini_text.h"

#include <algorithm>

namespace velmora {

namespace {

constexpr std::string_view Blanks = " \t\r";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(Blanks);
    return text.substr(first, last - first + 1);
}

// The line's content without its line end ("\n" or "\r\n").
std::string_view Content(std::string_view raw) {
    if (raw.ends_with('\n'))
        raw.remove_suffix(raw.ends_with("\r\n") ? 2 : 1);
    return raw;
}

std::string_view LineEndOf(std::string_view raw) {
    return raw.substr(Content(raw).size());
}

std::string StripQuotes(std::string_view value) {
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

} // namespace

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    for (size_t i = 0; i < folded.size(); ++i) {
        auto byte = static_cast<unsigned char>(folded[i]);
        if (byte >= 'A' && byte <= 'Z') {
            folded[i] = char(byte + ('a' - 'A'));
        } else if (byte == 0xD0 && i + 1 < folded.size()) {
            auto next = static_cast<unsigned char>(folded[i + 1]);
            if (next >= 0x80 && next <= 0x8F) { // U+0400..040F -> U+0450..045F (Ё and the like)
                folded[i] = char(0xD1);
                folded[i + 1] = char(next + 0x10);
            } else if (next >= 0x90 && next <= 0x9F) { // А..П -> а..п
                folded[i + 1] = char(next + 0x20);
            } else if (next >= 0xA0 && next <= 0xAF) { // Р..Я -> р..я
                folded[i] = char(0xD1);
                folded[i + 1] = char(next - 0x20);
            }
            ++i;
        }
    }
    return folded;
}

TIniText TIniText::Parse(std::string_view bytes) {
    TIniText text;
    size_t bomSize = 0;
    if (bytes.starts_with(Utf8Bom)) {
        text.FileEncoding = TTextEncoding::Utf8Bom;
        bomSize = Utf8Bom.size();
    } else if (!IsValidUtf8(bytes)) {
        text.FileEncoding = TTextEncoding::Cp1251;
    }
    size_t firstEnd = bytes.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd > 0 && bytes[firstEnd - 1] == '\r')
        text.LineEnd = "\r\n";

    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        text.Lines.push_back(text.MakeLine(std::string(bytes.substr(start, end - start))));
        start = end;
    }
    if (bomSize > 0) {
        // The mark belongs to the first line's bytes but not to its meaning.
        TIniLine& first = text.Lines.front();
        TIniLine parsed = text.MakeLine(first.Raw.substr(bomSize));
        parsed.Raw = first.Raw;
        if (parsed.Kind == TIniLine::TKind::Key)
            parsed.ValueStart += bomSize;
        first = std::move(parsed);
    }
    text.Reindex();
    return text;
}

void TIniText::Reindex() {
    Sections.clear();
    SectionOrder.clear();
    std::pair<size_t, size_t>* open = nullptr; // the section whose end is the next header
    for (size_t i = 0; i < Lines.size(); ++i) {
        if (Lines[i].Kind != TIniLine::TKind::Section)
            continue;
        if (open) {
            open->second = i;
            open = nullptr;
        }
        auto [at, added] = Sections.try_emplace(Lines[i].Folded, i, Lines.size());
        if (added) {
            open = &at->second;
            SectionOrder.push_back(Lines[i].Name);
        }
    }
}

TIniLine TIniText::MakeLine(std::string raw) const {
    TIniLine line;
    line.Raw = std::move(raw);
    auto decode = [this](std::string_view bytes) {
        return FileEncoding == TTextEncoding::Cp1251 ? Cp1251ToUtf8(bytes) : std::string(bytes);
    };
    std::string_view content = Trim(Content(line.Raw));
    if (content.starts_with('[')) {
        size_t close = content.find(']');
        if (close != std::string_view::npos) {
            line.Kind = TIniLine::TKind::Section;
            line.Name = decode(Trim(content.substr(1, close - 1)));
        }
    } else if (!content.starts_with(';')) {
        // Structure characters are ASCII, so the raw bytes can be cut before decoding the pieces.
        std::string_view all = line.Raw;
        size_t equals = all.find('=');
        if (equals != std::string_view::npos) {
            std::string_view name = Trim(all.substr(0, equals));
            if (!name.empty()) {
                line.Kind = TIniLine::TKind::Key;
                line.Name = decode(name);
                // An empty value is written right after '=', not after blanks that trail it.
                line.ValueStart = all.find_first_not_of(" \t", equals + 1);
                if (line.ValueStart >= Content(all).size())
                    line.ValueStart = equals + 1;
                line.Value = StripQuotes(decode(Trim(Content(all.substr(equals + 1)))));
            }
        }
    }
    line.Folded = FoldCase(line.Name);
    return line;
}

std::string TIniText::Bytes() const {
    std::string bytes;
    for (const TIniLine& line : Lines)
        bytes += line.Raw;
    return bytes;
}

std::pair<size_t, size_t> TIniText::SectionRange(std::string_view section) const {
    const auto found = Sections.find(FoldCase(Trim(section)));
    return found == Sections.end() ? std::pair<size_t, size_t>{std::string::npos, Lines.size()}
                                   : found->second;
}

const TIniLine* TIniText::FindSection(std::string_view section) const {
    auto [first, last] = SectionRange(section);
    return first == std::string::npos ? nullptr : &Lines[first];
}

const TIniLine* TIniText::FindKey(std::string_view section, std::string_view key) const {
    auto [first, last] = SectionRange(section);
    if (first == std::string::npos)
        return nullptr;
    std::string folded = FoldCase(Trim(key));
    for (size_t i = first + 1; i < last; ++i) {
        if (Lines[i].Kind == TIniLine::TKind::Key && Lines[i].Folded == folded)
            return &Lines[i];
    }
    return nullptr;
}

std::vector<std::string> TIniText::SectionNames() const {
    return SectionOrder;
}

std::vector<const TIniLine*> TIniText::SectionKeys(std::string_view section) const {
    std::vector<const TIniLine*> keys;
    auto [first, last] = SectionRange(section);
    if (first == std::string::npos)
        return keys;
    for (size_t i = first + 1; i < last; ++i) {
        const TIniLine& line = Lines[i];
        bool seen =
            std::ranges::any_of(keys, [&](const TIniLine* key) { return key->Folded == line.Folded; });
        if (line.Kind == TIniLine::TKind::Key && !seen)
            keys.push_back(&line);
    }
    return keys;
}

std::string TIniText::NewLine(std::string_view text) const {
    std::string raw = FileEncoding == TTextEncoding::Cp1251 ? Utf8ToCp1251(text) : std::string(text);
    return raw + LineEnd;
}

void TIniText::EndLastLine(size_t index) {
    if (!Lines[index].Raw.ends_with('\n'))
        Lines[index].Raw += LineEnd;
}

void TIniText::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const TReindexAtEnd reindex{*this};
    section = Trim(section);
    key = Trim(key);
    auto [first, last] = SectionRange(section);
    std::string entry = std::string(key) + "=" + std::string(value);
    if (first == std::string::npos) {
        if (!Lines.empty()) {
            EndLastLine(Lines.size() - 1);
            if (!Trim(Content(Lines.back().Raw)).empty())
                Lines.push_back(MakeLine(NewLine("")));
        }
        Lines.push_back(MakeLine(NewLine("[" + std::string(section) + "]")));
        Lines.push_back(MakeLine(NewLine(entry)));
        return;
    }
    std::string folded = FoldCase(key);
    for (size_t i = first + 1; i < last; ++i) {
        TIniLine& line = Lines[i];
        if (line.Kind != TIniLine::TKind::Key || line.Folded != folded)
            continue;
        // Keep the key as spelled, the blanks around '=' and the line end; replace the rest.
        std::string raw = line.Raw.substr(0, line.ValueStart);
        std::string encoded = NewLine(value);
        raw += encoded.substr(0, encoded.size() - LineEnd.size());
        raw += LineEndOf(line.Raw);
        line = MakeLine(std::move(raw));
        return;
    }
    // A new key goes after the section's last non-blank line, before the blank lines that part it
    // from the next section.
    size_t at = last;
    while (at > first + 1 && Trim(Content(Lines[at - 1].Raw)).empty())
        --at;
    EndLastLine(at - 1);
    Lines.insert(Lines.begin() + std::ptrdiff_t(at), MakeLine(NewLine(entry)));
}

bool TIniText::EraseSection(std::string_view section) {
    bool erased = false;
    for (auto [first, last] = SectionRange(section); first != std::string::npos;
         std::tie(first, last) = SectionRange(section)) {
        Lines.erase(Lines.begin() + std::ptrdiff_t(first), Lines.begin() + std::ptrdiff_t(last));
        Reindex(); // a later section of that name is the first one now
        erased = true;
    }
    return erased;
}

bool TIniText::DeleteKey(std::string_view section, std::string_view key) {
    const TReindexAtEnd reindex{*this};
    auto [first, last] = SectionRange(section);
    if (first == std::string::npos)
        return false;
    std::string folded = FoldCase(Trim(key));
    auto begin = Lines.begin() + std::ptrdiff_t(first + 1);
    auto end = Lines.begin() + std::ptrdiff_t(last);
    auto kept = std::remove_if(begin, end, [&](const TIniLine& line) {
        return line.Kind == TIniLine::TKind::Key && line.Folded == folded;
    });
    if (kept == end)
        return false;
    Lines.erase(kept, end);
    return true;
}

bool TIniText::ValidEntry(std::string_view section, std::string_view key, std::string_view value) {
    auto breaksLine = [](std::string_view text) { return text.find_first_of("\r\n", 0) != text.npos; };
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || breaksLine(section) || breaksLine(key) || breaksLine(value))
        return false;
    return section.find(']') == section.npos && key.find('=') == key.npos && !key.starts_with('[') &&
           !key.starts_with(';');
}

} // namespace velmora

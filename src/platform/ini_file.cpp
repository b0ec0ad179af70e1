#include "platform/ini_file.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <mutex>

#include "platform/file_replace.h"
#include "platform/ini_text.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

// Writes are read-modify-write cycles on the whole file; one at a time in the process, so that two
// objects on one file in two threads never lose each other's change.
std::mutex writeLock;

// Reads the number at the start of `value` as GetPrivateProfileInt does; false when there is none.
bool ParseLeadingInt(std::string_view value, int& result) {
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    uint64_t number = 0;
    const char* end = value.data() + value.size();
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(value[2]))) {
        uint64_t bits = 0;
        auto [next, error] = std::from_chars(value.data() + 2, end, bits, 16);
        if (error != std::errc() || bits > 0xFFFFFFFFu)
            return false;
        uint32_t pattern = negative ? 0u - uint32_t(bits) : uint32_t(bits);
        result = int32_t(pattern);
        return true;
    }
    auto [next, error] = std::from_chars(value.data(), end, number, 10);
    if (error != std::errc() || number > uint64_t(INT32_MAX) + (negative ? 1 : 0))
        return false;
    result = int(negative ? -int64_t(number) : int64_t(number));
    return true;
}

} // namespace

TIniFile::TIniFile(fs::path file) : File(std::move(file)) {}

std::shared_ptr<const TIniText> TIniFile::Load() const {
    const TFileStamp stamp = FileStamp(File);
    if (Cached && stamp == CachedStamp)
        return Cached;
    std::shared_ptr<const TIniText> text;
    if (!stamp.Exists) {
        text = std::make_shared<TIniText>();
    } else if (auto bytes = ReadFileBytes(File)) {
        text = std::make_shared<TIniText>(TIniText::Parse(*bytes));
    } else {
        // There but unreadable: reads see nothing, writes refuse rather than replace what they cannot see.
        return nullptr;
    }
    Cached = text;
    CachedStamp = stamp;
    return text;
}

bool TIniFile::Save(const TIniText& text) {
    // Through a symbolic link the file it points at is updated, as a plain write would do.
    std::error_code error;
    fs::path target = File;
    if (fs::is_symlink(fs::symlink_status(File, error))) {
        target = fs::canonical(File, error);
        if (error)
            return false;
    }
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), error);
    if (!ReplaceFileContents(target.has_parent_path() ? target : fs::current_path(error) / target,
                             text.Bytes()))
        return false;
    Cached.reset(); // the next read takes the new stamp and the text from the file
    return true;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    auto text = Load();
    const TIniLine* line = text ? text->FindKey(section, key) : nullptr;
    return line ? line->Value : std::string(def);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    auto text = Load();
    const TIniLine* line = text ? text->FindKey(section, key) : nullptr;
    int value;
    return line && ParseLeadingInt(line->Value, value) ? value : def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    auto text = Load();
    const TIniLine* line = text ? text->FindKey(section, key) : nullptr;
    if (!line)
        return def;
    int number;
    if (ParseLeadingInt(line->Value, number))
        return number != 0;
    std::string word = FoldCase(line->Value);
    if (word == "true" || word == "yes" || word == "on")
        return true;
    if (word == "false" || word == "no" || word == "off")
        return false;
    return def;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
    auto text = Load();
    const TIniLine* line = text ? text->FindKey(section, key) : nullptr;
    if (!line)
        return def;
    std::string value = line->Value;
    if (value.starts_with('+'))
        value.erase(0, 1);
    for (char& c : value) {
        if (c == ',')
            c = '.';
    }
    double number;
    const char* end = value.data() + value.size();
    auto [next, error] = std::from_chars(value.data(), end, number);
    return error == std::errc() && next == end && std::isfinite(number) ? number : def;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!TIniText::ValidEntry(section, key, value))
        return false;
    std::lock_guard writing(writeLock);
    auto current = Load();
    if (!current)
        return false;
    TIniText edited = *current;
    edited.SetValue(section, key, value);
    if (fs::exists(File) && edited.Bytes() == current->Bytes())
        return true;
    return Save(edited);
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::SectionExists(std::string_view section) const {
    auto text = Load();
    return text && text->FindSection(section);
}

bool TIniFile::KeyExists(std::string_view section, std::string_view key) const {
    auto text = Load();
    return text && text->FindKey(section, key);
}

std::vector<std::string> TIniFile::ReadSections() const {
    auto text = Load();
    return text ? text->SectionNames() : std::vector<std::string>();
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> names;
    if (auto text = Load()) {
        for (const TIniLine* line : text->SectionKeys(section))
            names.push_back(line->Name);
    }
    return names;
}

std::vector<std::string> TIniFile::ReadSectionValues(std::string_view section) const {
    std::vector<std::string> pairs;
    if (auto text = Load()) {
        for (const TIniLine* line : text->SectionKeys(section))
            pairs.push_back(line->Name + "=" + line->Value);
    }
    return pairs;
}

bool TIniFile::EraseSection(std::string_view section) {
    std::lock_guard writing(writeLock);
    auto current = Load();
    if (!current)
        return false;
    TIniText edited = *current;
    return !edited.EraseSection(section) || Save(edited);
}

bool TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    std::lock_guard writing(writeLock);
    auto current = Load();
    if (!current)
        return false;
    TIniText edited = *current;
    return !edited.DeleteKey(section, key) || Save(edited);
}

} // namespace velmora

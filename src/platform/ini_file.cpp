#include "platform/ini_file.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(size_t(written));
    }
    return true;
}

// The temporary copies beside `target` are named ".<name>.<pid>.<counter>.tmp".
std::string TempPrefix(const fs::path& target) {
    return "." + target.filename().string() + ".";
}

// Removes the temporary copies that saves of processes no longer running left behind (a save cut short
// between writing the copy and renaming it). Copies of running processes may be in use and stay.
void RemoveStaleTemps(const fs::path& target) {
    const std::string prefix = TempPrefix(target);
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(target.parent_path(), error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(prefix) || !name.ends_with(".tmp"))
            continue;
        long pid = 0;
        const char* digits = name.data() + prefix.size();
        const auto [end, parsed] = std::from_chars(digits, name.data() + name.size(), pid);
        if (parsed != std::errc() || *end != '.' || pid <= 0 || pid == long(getpid()))
            continue;
        if (kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            unlink(entry.path().c_str());
    }
}

// Opens a new file beside `target` that no one else uses; -1 on failure.
int CreateTempBeside(const fs::path& target, fs::path& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target;
        temp.replace_filename(TempPrefix(target) + std::to_string(getpid()) + "." +
                              std::to_string(counter++) + ".tmp");
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

TIniFile::TIniFile(fs::path file) : File(std::move(file)) {}

std::shared_ptr<const TIniText> TIniFile::Load() const {
    TStamp stamp;
    struct stat info;
    if (stat(File.c_str(), &info) == 0) {
        stamp = {true, uint64_t(info.st_dev), uint64_t(info.st_ino), uint64_t(info.st_size),
                 int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
    }
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
    RemoveStaleTemps(target.has_parent_path() ? target : fs::current_path(error) / target);

    fs::path temp;
    int fd = CreateTempBeside(target, temp);
    if (fd < 0)
        return false;
    struct stat info;
    bool written = (stat(target.c_str(), &info) != 0 || fchmod(fd, info.st_mode & 07777) == 0) &&
                   WriteAll(fd, text.Bytes()) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temp.c_str(), target.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
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

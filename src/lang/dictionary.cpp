#include "lang/dictionary.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <unistd.h>

#include "lang/dictionary_table.h"
#include "platform/host.h"
#include "platform/text_encoding.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

// The one table of the process. Readers take the lock shared; loading and the append of an unknown
// text take it exclusively.
struct TDictionaryState {
    enum class TStatus { NotLoaded, Loaded, Off };

    std::shared_mutex Lock;
    TStatus Status = TStatus::NotLoaded;
    std::string File; // the dictionary file the table was loaded from
    // Appends use the file's own encoding: Windows-1251 unless the file is already UTF-8.
    TTextEncoding AppendEncoding = TTextEncoding::Cp1251;
    TDictionaryTable Table;
};

TDictionaryState& State() {
    static TDictionaryState state;
    return state;
}

std::atomic<char> currentLanguage{'R'};

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

std::string DictionaryFile() {
    return BuildPath(Language() == 'D' ? "deutsch.txt" : "english.txt", "DATA", "", false);
}

bool HasNonAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

// Reads `file` into the table (exclusive lock held). Returns the error text for an empty key line.
std::optional<std::string> LoadLocked(TDictionaryState& state, const std::string& file) {
    state.File = file;
    state.Table = {};
    std::optional<std::string> bytes = ReadFileBytes(Utf8Path(file));
    if (!bytes) {
        // No dictionary: Russian texts for the rest of the run, and no message.
        state.Status = TDictionaryState::TStatus::Off;
        return std::nullopt;
    }
    TTextEncoding encoding;
    std::string text = DecodeText(*bytes, &encoding);
    bool utf8 =
        encoding == TTextEncoding::Utf8Bom || (encoding == TTextEncoding::Utf8 && HasNonAscii(*bytes));
    state.AppendEncoding = utf8 ? TTextEncoding::Utf8 : TTextEncoding::Cp1251;
    state.Table = TDictionaryTable::Parse(text);
    state.Status = TDictionaryState::TStatus::Loaded;
    if (!state.Table.EmptyKeyLine)
        return std::nullopt;
    return "Ошибка файла " + file + " - строка с русским текстом пуста!";
}

// Loads the table for `file` unless it is already loaded (or found missing) for it. An empty key line is
// reported once, by the call that did the loading: LoadDictionary throws DictionaryError for the
// program's error box, a Translate logs it (a translation must never end the work that asked for it).
void EnsureLoaded(TDictionaryState& state, const std::string& file, bool throwOnError) {
    {
        std::shared_lock reading(state.Lock);
        if (state.Status != TDictionaryState::TStatus::NotLoaded && state.File == file)
            return;
    }
    std::optional<std::string> error;
    {
        std::unique_lock writing(state.Lock);
        if (state.Status != TDictionaryState::TStatus::NotLoaded && state.File == file)
            return;
        error = LoadLocked(state, file);
    }
    if (error && throwOnError)
        throw DictionaryError(*error);
    if (error)
        AddLog(*error);
}

// Adds `text` and an empty translation line at the end of the file, so that it collects the texts still
// to translate. A file that ends inside a pair (no final line end, or a key without its translation
// line) is completed first, so the new pair starts on a key line. Fails quietly: the file may be
// read-only or gone.
void AppendUnknown(const std::string& file, std::string_view text, TTextEncoding encoding) {
    std::optional<std::string> current = ReadFileBytes(Utf8Path(file));
    if (!current)
        return;
    // A byte-order mark alone is no line; a lone CR at the end is a line end that lacks its LF (adding
    // CR LF there would put a CR into the last line's text).
    std::string_view content = *current;
    if (content.starts_with(Utf8Bom))
        content.remove_prefix(Utf8Bom.size());
    std::string lines;
    if (!content.empty()) {
        if (content.back() == '\r')
            lines += "\n";
        else if (content.back() != '\n')
            lines += "\r\n";
        if (TDictionaryTable::Parse(DecodeText(*current)).EndsWithKey)
            lines += "\r\n";
    }
    lines += EncodeText(text, encoding) + "\r\n\r\n";

    int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return;
    std::string_view rest = lines;
    while (!rest.empty()) {
        ssize_t written = write(fd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        rest.remove_prefix(size_t(written));
    }
    close(fd);
}

} // namespace

char Language() {
    return currentLanguage.load();
}

void SetLanguage(char language) {
    currentLanguage.store(language);
}

void LoadDictionary() {
    if (Language() == 'R')
        return;
    EnsureLoaded(State(), DictionaryFile(), true);
}

void ResetDictionary() {
    TDictionaryState& state = State();
    std::unique_lock writing(state.Lock);
    state.Status = TDictionaryState::TStatus::NotLoaded;
    state.File.clear();
    state.Table = {};
}

std::string Translate(std::string_view text) {
    if (Language() == 'R')
        return std::string(text);
    TDictionaryState& state = State();
    std::string file = DictionaryFile();
    EnsureLoaded(state, file, false);

    auto answer = [&](const TDictionaryEntry& entry) {
        return entry.Translation.empty() ? std::string(text) : entry.Translation;
    };
    {
        std::shared_lock reading(state.Lock);
        // A different file here means another thread switched the language meanwhile: leave the text.
        if (state.Status != TDictionaryState::TStatus::Loaded || state.File != file)
            return std::string(text);
        if (const TDictionaryEntry* entry = state.Table.Find(text))
            return answer(*entry);
        if (!HasCyrillic(text))
            return std::string(text);
    }
    std::unique_lock writing(state.Lock);
    if (state.Status != TDictionaryState::TStatus::Loaded || state.File != file)
        return std::string(text);
    // Another thread may have added it between the two locks.
    if (const TDictionaryEntry* entry = state.Table.Find(text))
        return answer(*entry);
    state.Table.Entries.push_back({std::string(text), ""});
    // A text with a line break cannot be a key of a file of line pairs: written, it would split into
    // lines and shift every pair after it. It is remembered for the run, not written.
    if (text.find_first_of("\r\n") == std::string_view::npos)
        AppendUnknown(file, text, state.AppendEncoding);
    return std::string(text);
}

} // namespace velmora

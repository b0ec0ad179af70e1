#include "lang/dictionary.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <shared_mutex>

#include "lang/dictionary_appender.h"
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
    // What the next appended pair needs in front of it so that it starts on a key line, known from the
    // load and from the appends since: an unknown text never makes the file be read again.
    std::string AppendPrefix;
    int Appended = 0; // unknown texts written to the file in this run
    TDictionaryTable Table;
};

// Said (in Russian: there is no dictionary to translate it) when the dictionary cannot be read.
constexpr const char* UnreadableDictionaryText =
    "Не удалось прочитать файл словаря, тексты остаются на русском:";

// Unknown texts written per run at most: a damaged or foreign program feeding texts cannot grow the
// file without end. Later ones are remembered for the run only.
constexpr int MaxAppendedTexts = 1000;

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

// What must come before a new pair appended to a file of these bytes: a missing line end, and an empty
// translation line when the file ends with a key.
std::string AppendPrefixOf(std::string_view bytes) {
    // A byte-order mark alone is no line; a lone CR at the end is a line end that lacks its LF (adding
    // CR LF there would put a CR into the last line's text).
    std::string_view content = bytes;
    if (content.starts_with(Utf8Bom))
        content.remove_prefix(Utf8Bom.size());
    std::string prefix;
    if (content.empty())
        return prefix;
    if (content.back() == '\r')
        prefix += "\n";
    else if (content.back() != '\n')
        prefix += "\r\n";
    return prefix;
}

// Reads `file` into the table (exclusive lock held). Returns the error text for an empty key line, or
// for a file that is there but cannot be read (`unreadable`).
std::optional<std::string> LoadLocked(TDictionaryState& state, const std::string& file, bool& unreadable) {
    state.File = file;
    state.Table = {};
    state.Appended = 0;
    std::optional<std::string> bytes = ReadFileBytes(Utf8Path(file));
    if (!bytes) {
        // No dictionary: Russian texts for the rest of the run. A missing file is no news; one that is
        // there but cannot be read is said.
        state.Status = TDictionaryState::TStatus::Off;
        std::error_code error;
        unreadable = std::filesystem::exists(Utf8Path(file), error) || error;
        if (unreadable)
            return std::string(UnreadableDictionaryText) + " " + file;
        return std::nullopt;
    }
    TTextEncoding encoding;
    std::string text = DecodeText(*bytes, &encoding);
    bool utf8 =
        encoding == TTextEncoding::Utf8Bom || (encoding == TTextEncoding::Utf8 && HasNonAscii(*bytes));
    state.AppendEncoding = utf8 ? TTextEncoding::Utf8 : TTextEncoding::Cp1251;
    state.Table = TDictionaryTable::Parse(text);
    state.AppendPrefix = AppendPrefixOf(*bytes) + (state.Table.EndsWithKey ? "\r\n" : "");
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
    bool unreadable = false;
    {
        std::unique_lock writing(state.Lock);
        if (state.Status != TDictionaryState::TStatus::NotLoaded && state.File == file)
            return;
        error = LoadLocked(state, file, unreadable);
    }
    if (error && throwOnError && !unreadable)
        throw DictionaryError(*error);
    if (error)
        AddLog(*error);
}

// Adds `text` and an empty translation line at the end of the file (exclusive lock held), so that it
// collects the texts still to translate. The file is not read again: how it ends is known from its load
// and from the appends since. The write is queued for the appender's own thread: whoever translates
// (the worker's link) never waits for the file, whatever it does.
void AppendUnknown(TDictionaryState& state, std::string_view text) {
    if (state.Appended >= MaxAppendedTexts)
        return;
    ++state.Appended;
    if (QueueDictionaryAppend(state.File,
                              state.AppendPrefix + EncodeText(text, state.AppendEncoding) + "\r\n\r\n"))
        state.AppendPrefix.clear();
}

// A failed append is said once, by the next translation, on the thread that translates (it logs
// anyway); the writer itself never logs.
void SayAppendFailure() {
    if (std::optional<std::string> failure = TakeDictionaryAppendFailure())
        AddLog(Translate(*failure));
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
    // The texts queued for the file are in it before it is read again.
    ResetDictionaryAppends();
    TDictionaryState& state = State();
    std::unique_lock writing(state.Lock);
    state.Status = TDictionaryState::TStatus::NotLoaded;
    state.File.clear();
    state.Table = {};
}

void FlushDictionary() {
    FlushDictionaryAppends();
    SayAppendFailure();
}

std::string Translate(std::string_view text) {
    if (Language() == 'R')
        return std::string(text);
    TDictionaryState& state = State();
    std::string file = DictionaryFile();
    EnsureLoaded(state, file, false);
    SayAppendFailure();

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
        AppendUnknown(state, text);
    return std::string(text);
}

} // namespace velmora

// Translation of the program's Russian texts into English or German through a dictionary file of line
// pairs in DATA, plus the path helpers that share this unit. Translate may be called from the window
// thread and the worker; the table is loaded once and appends are serialised.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

// 'R' Russian (no translation), 'D' German, anything else English.
char Language();
void SetLanguage(char language);

// The dictionary file has an empty key line; it is skipped and the other pairs stay in use.
class DictionaryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Loads the dictionary of the current language now rather than on the first Translate; the program calls
// it at start-up from the thread that reads the settings. Does nothing for 'R' (the file is not opened)
// or when the table of that file is loaded already. A missing file switches translation off for the run.
// Throws DictionaryError for an empty key line, once (the line is skipped, the other pairs stay in use).
void LoadDictionary();
// Forgets the loaded table (and a missing file), so that the next Translate loads again (tests, a
// dictionary file replaced while running). A change of language or program folder reloads by itself.
void ResetDictionary();

// The translation of a Russian text ("DATA/english.txt", or "DATA/deutsch.txt" for 'D'), or the text
// itself when the language is 'R', there is no dictionary, or the key has no translation yet. An unknown
// text with a Cyrillic letter and no line break is appended to the file once per run (key line and empty
// line, CR LF, in the file's encoding: Windows-1251 unless the file is UTF-8 already), by a writer thread
// of its own (dictionary_appender.h); a failed write is logged once, by the next call. Translations are cut
// to 255 characters. Loads the table on the first call; a bad line found then is logged once (never thrown:
// the worker translates its log lines, and a dictionary must not end a connection).
std::string Translate(std::string_view text);

// Waits for the unknown texts to reach the file (a file that blocks: 2 s at most) and logs a failed write
// not said yet. The program calls it before it ends.
void FlushDictionary();

// The folder name a client gets below LOGS and CLIENTS, the same on every system: control characters,
// path separators and the characters Windows forbids become '_', as do dots and blanks at the end (so
// "." and ".." stay inside); a Windows device name gets a '_' in front. Other text (Cyrillic) is kept.
std::string ClientFolderName(std::string_view client);

// <program folder>/<folder>/<client>/<file>; empty parts are left out. With `create`, the folder (with
// missing parents) is created when it does not exist. A client name is one folder (ClientFolderName).
std::string BuildPath(std::string_view fileName, std::string_view folder, std::string_view client,
                      bool create);
bool DirectoryExists(std::string_view path);
// 'E' "ELM327 velmora", 'C' "CarSoft 7.4", 'K' and the settings' default 'S' "K-Line", else "Unknown".
std::string AdapterDisplayName(char adapterKind);
// 'R' "ru", 'D' "de", anything else "en".
std::string LanguageCode();

} // namespace velmora

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

// The dictionary file has an empty key line; the pairs before it stay in use.
class DictionaryError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Loads the dictionary of the current language now rather than on the first Translate.
// Throws DictionaryError for an empty key line.
void LoadDictionary();
// Forgets the loaded table, so that the next Translate loads again (a change of language, tests).
void ResetDictionary();

std::string Translate(std::string_view text);

// <program folder>/<folder>/<client>/<file>; empty parts are left out. With `create`, the last folder
// is created (one level) when it does not exist.
std::string BuildPath(std::string_view fileName, std::string_view folder, std::string_view client, bool create);
bool DirectoryExists(std::string_view path);
std::string AdapterDisplayName(char adapterKind);
std::string LanguageCode();

} // namespace velmora

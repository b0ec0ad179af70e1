// Qt's own texts (the Yes/No and OK/Cancel of its dialogs, the input dialog's buttons) in the window's
// language: the translations Qt ships for Russian and German, installed on the application. Window
// thread only.
#pragma once

namespace velmora {

// Installs Qt's translations for `language` ('R', 'D'; anything else is English, Qt's own), replacing
// those of an earlier call. False when the files for that language were not found (Qt then speaks
// English). Looked for in Qt's translation folder and in "translations" beside the program.
bool InstallQtTranslations(char language);

} // namespace velmora

#include "ui/common/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

#include "platform/program_folders.h"

namespace velmora {

namespace {

std::unique_ptr<QTranslator>& Installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

bool InstallQtTranslations(char language) {
    std::unique_ptr<QTranslator>& installed = Installed();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    const char* file = language == 'R' ? "qtbase_ru" : language == 'D' ? "qtbase_de" : nullptr;
    if (!file)
        return true;
    auto translator = std::make_unique<QTranslator>();
    // A packaged program carries the files beside itself; an installed Qt has them in its own folder.
    const std::u8string folder = (ProgramFolder() / "translations").u8string();
    const QString beside =
        QString::fromUtf8(reinterpret_cast<const char*>(folder.data()), qsizetype(folder.size()));
    if (!translator->load(file, beside) &&
        !translator->load(file, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

} // namespace velmora

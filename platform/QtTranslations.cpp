#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace zorvik {

bool InstallQtTranslations(QCoreApplication& app, const QString& language) {
    auto* translator = new QTranslator(&app);
    // load() falls back from "qtbase_ja_JP" to "qtbase_ja", never to English.
    if (!translator->load("qtbase_" + language,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace zorvik

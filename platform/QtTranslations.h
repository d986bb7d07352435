// Qt's own texts (the buttons and labels of the file, colour and message
// dialogs) in the language the program shows.
#pragma once

#include <QString>

class QCoreApplication;

namespace zorvik {

// Installs Qt's translation "qtbase" for language ("ja", "ja_JP", ...) from
// Qt's translations folder (Debian: qt6-translations-l10n) into app. False,
// with nothing installed, when the folder has none for the language: Qt's
// dialogs then stay in English.
bool InstallQtTranslations(QCoreApplication& app, const QString& language);

} // namespace zorvik

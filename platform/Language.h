// The language of the desktop program's interface. The program's texts are
// written once, in the documented Japanese; they are the source texts of
// Qt's translation system, so Japanese is shown exactly as written, with or
// without a compiled translation, and any other language gets the English
// translation (translations/zorvik_en.qm in the program's data).
#pragma once

#include "Platform.h"

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

class QCoreApplication;

namespace zorvik {

enum class UiLanguage { Japanese, English };

// The language for the desktop's preferred languages, most preferred first
// (QLocale::system().uiLanguages(), from LANGUAGE, else LC_ALL, LC_MESSAGES,
// LANG): the first entry in Japanese or English decides, as gettext picks
// the first language it has a catalogue for; without one, English.
UiLanguage ChooseUiLanguage(const QStringList& uiLanguages);

// "ja" or "en".
QString LanguageCode(UiLanguage language);

// Puts the interface in language: the program's translation, found in
// programFolder's data (DataFile, "translations/zorvik_<code>.qm"), and Qt's
// own dialogs' (InstallQtTranslations). Japanese needs no translation of
// the program's texts, English none of Qt's. The language is kept as
// UiLanguageInUse() either way; false when a translation it needs is
// missing (the program's texts then stay Japanese).
bool InstallUiLanguage(QCoreApplication& app, UiLanguage language,
                       const std::string& programFolder);

// The language last installed; Japanese before any.
UiLanguage UiLanguageInUse();

// One of the program's texts (UTF-8, as documented) as the interface shows
// it: translated in the context "zorvik". Leading and trailing blanks
// (spaces, tabs, CR, LF) are layout, not words: they stay as they are
// around the translation of the rest, so that the translation file holds
// each text once, however it is padded.
QString Ui(std::string_view text);
std::string UiText(std::string_view text);

// Message boxes whose texts and titles are shown translated (Ui).
class TranslatedMessages final : public MessageBoxes {
  public:
    explicit TranslatedMessages(MessageBoxes& boxes) : boxes_(boxes) {}
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    void ShowMessageOver(QWidget* owner, const std::string& text, const std::string& title,
                         MessageIcon icon) override;

  private:
    MessageBoxes& boxes_;
};

// File dialogs whose titles and filter descriptions are shown translated;
// the patterns stay as they are.
class TranslatedFileDialogs final : public FileDialogs {
  public:
    explicit TranslatedFileDialogs(FileDialogs& dialogs) : dialogs_(dialogs) {}
    bool PickSaveFile(QWidget* owner, std::string& fileName, const std::string& filter,
                      uint32_t flags, const std::string& title) override;
    bool PickOpenFile(QWidget* owner, std::string& fileName, const std::string& filter,
                      const std::string& title) override;

  private:
    FileDialogs& dialogs_;
};

} // namespace zorvik

#include "Language.h"

#include "DataFolder.h"
#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace zorvik {
namespace {

constexpr const char* kContext = "zorvik";

UiLanguage languageInUse = UiLanguage::Japanese;
QTranslator* programTranslator = nullptr; // owned by the application

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The description parts of a NUL-ended filter list translated, the
// patterns kept.
std::string TranslatedFilter(const std::string& filter) {
    std::string translated;
    size_t start = 0;
    for (int part = 0; start < filter.size(); ++part) {
        size_t end = filter.find('\0', start);
        if (end == std::string::npos) end = filter.size();
        const std::string_view piece(filter.data() + start, end - start);
        translated += part % 2 == 0 ? UiText(piece) : std::string(piece);
        if (end < filter.size()) translated += '\0';
        start = end + 1;
    }
    return translated;
}

} // namespace

UiLanguage ChooseUiLanguage(const QStringList& uiLanguages) {
    for (const QString& name : uiLanguages) {
        const QLocale::Language language = QLocale(name).language();
        if (language == QLocale::Japanese) return UiLanguage::Japanese;
        if (language == QLocale::English) return UiLanguage::English;
    }
    return UiLanguage::English;
}

QString LanguageCode(UiLanguage language) {
    return language == UiLanguage::Japanese ? QStringLiteral("ja") : QStringLiteral("en");
}

bool InstallUiLanguage(QCoreApplication& app, UiLanguage language,
                       const std::string& programFolder) {
    languageInUse = language;
    if (programTranslator) {
        QCoreApplication::removeTranslator(programTranslator);
        delete programTranslator;
        programTranslator = nullptr;
    }
    if (language == UiLanguage::Japanese) return InstallQtTranslations(app, LanguageCode(language));
    const std::string file = DataFile(
        programFolder, "translations/zorvik_" + LanguageCode(language).toStdString() + ".qm");
    auto* translator = new QTranslator(&app);
    if (!translator->load(QString::fromStdString(file)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    programTranslator = translator;
    return true;
}

UiLanguage UiLanguageInUse() {
    return languageInUse;
}

QString Ui(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    const std::string words(text.substr(begin, end - begin));
    const QString translated =
        words.empty() ? QString() : QCoreApplication::translate(kContext, words.c_str());
    return QString::fromUtf8(text.data(), qsizetype(begin)) + translated +
           QString::fromUtf8(text.data() + end, qsizetype(text.size() - end));
}

std::string UiText(std::string_view text) {
    return Ui(text).toStdString();
}

void TranslatedMessages::ShowMessage(const std::string& text, const std::string& title,
                                     MessageIcon icon) {
    boxes_.ShowMessage(UiText(text), UiText(title), icon);
}

void TranslatedMessages::ShowMessageOver(QWidget* owner, const std::string& text,
                                         const std::string& title, MessageIcon icon) {
    boxes_.ShowMessageOver(owner, UiText(text), UiText(title), icon);
}

bool TranslatedFileDialogs::PickSaveFile(QWidget* owner, std::string& fileName,
                                         const std::string& filter, uint32_t flags,
                                         const std::string& title) {
    return dialogs_.PickSaveFile(owner, fileName, TranslatedFilter(filter), flags, UiText(title));
}

bool TranslatedFileDialogs::PickOpenFile(QWidget* owner, std::string& fileName,
                                         const std::string& filter, const std::string& title) {
    return dialogs_.PickOpenFile(owner, fileName, TranslatedFilter(filter), UiText(title));
}

} // namespace zorvik

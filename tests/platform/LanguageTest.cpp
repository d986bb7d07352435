// The interface's language: the rule that picks it, the translation file
// that is kept by hand, the compiled translation beside the program, and
// the English help pages.
#include "Language.h"
#include "DecodeEngine.h"
#include "DecodeFormModel.h"
#include "DecodeRun.h"
#include "FakePlatform.h"
#include "FinderSearch.h"
#include "GuidanceTexts.h"
#include "HelpViewer.h"
#include "MainFormModel.h"
#include "ResultLabels.h"
#include "ScreenCapture.h"
#include "SettingFormModel.h"
#include "TempFolder.h"
#include "VersionForm.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

// Kana, kanji and the full-width forms.
bool HasJapanese(const QString& text) {
    static const QRegularExpression japanese(
        QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return text.contains(japanese);
}

TEST(ChooseUiLanguageTest, TheFirstJapaneseOrEnglishEntryDecidesAndAnyOtherListGetsEnglish) {
    const struct {
        QStringList uiLanguages;
        UiLanguage expected;
    } cases[] = {
        {{"ja-JP"}, UiLanguage::Japanese},
        {{"ja"}, UiLanguage::Japanese},
        {{"ja_JP.UTF-8"}, UiLanguage::Japanese},
        {{"en-US"}, UiLanguage::English},
        {{"en-GB", "ja-JP"}, UiLanguage::English},
        {{"fr-FR", "ja-JP", "en-US"}, UiLanguage::Japanese}, // no French: the next one asked for
        {{"de-DE", "fr"}, UiLanguage::English},
        {{"C"}, UiLanguage::English},
        {{}, UiLanguage::English},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseUiLanguage(c.uiLanguages), c.expected)
            << c.uiLanguages.join(':').toStdString();
    // The tests run with LANGUAGE=ja, which the system's locale follows.
    EXPECT_EQ(ChooseUiLanguage(QLocale::system().uiLanguages()), UiLanguage::Japanese)
        << QLocale::system().uiLanguages().join(':').toStdString();
}

struct TsEntry {
    QString source, translation, type;
};

std::vector<TsEntry> ReadTs(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<TsEntry> entries;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"message") entries.emplace_back();
        if (entries.empty()) continue;
        if (xml.name() == u"source") entries.back().source = xml.readElementText();
        if (xml.name() == u"translation") {
            entries.back().type = xml.attributes().value("type").toString();
            entries.back().translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return entries;
}

class EnglishTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InstallUiLanguage(*qApp, UiLanguage::English, ZORVIK_BIN_DIR))
            << "no translations/zorvik_en.qm beside the programs";
    }
    static void TearDownTestSuite() { InstallUiLanguage(*qApp, UiLanguage::Japanese, ""); }
};

// Every entry finished, in English, and compiled into the translation the
// program loads.
TEST_F(EnglishTest, EveryEntryOfTheTranslationFileIsFinishedEnglishAndCompiled) {
    const auto entries =
        ReadTs(QString(ZORVIK_SOURCE_DIR) + "/resources/translations/zorvik_en.ts");
    ASSERT_GT(entries.size(), 50u);
    std::set<QString> sources;
    for (const TsEntry& e : entries) {
        const std::string source = e.source.toStdString();
        EXPECT_TRUE(e.type.isEmpty()) << source << " is " << e.type.toStdString();
        EXPECT_FALSE(e.translation.trimmed().isEmpty()) << source;
        EXPECT_FALSE(HasJapanese(e.translation)) << e.translation.toStdString();
        EXPECT_EQ(e.source, e.source.trimmed()) << source << ": blanks are kept by Ui()";
        EXPECT_TRUE(sources.insert(e.source).second) << source << " twice";
        EXPECT_EQ(Ui(source), e.translation) << source;
    }
}

// The texts the windows take from the rules and the decoder, which no
// window walk meets one by one.
TEST_F(EnglishTest, EveryTextTheWindowsShowFromElsewhereHasATranslation) {
    DecodeResult result;
    // clang-format off
    std::vector<std::string> texts = {
        kMainCaption, kZoomActualSize, kGuidanceCapture, kGuidanceSelect, kGuidanceRightClick,
        kGuidanceToHand, kGuidanceToBox, kCaptureNoActiveWindow, kCaptureUnavailable,
        kCaptureDenied, kCaptureCancelledOrFailed, kCaptureNoAnswer, kDecodeCaptionBusy,
        kDecodeCaptionResult, kImageNotCreated, kImageNotObtained, kImageMalformed,
        kMessageBoxTitle, kNotRecognised, kNotRecognisedFault, kFormatUnreadable,
        kVersionUnreadable, kTooManyErrors, kNoTextInformation, kDecodeApology, kSettingCaption,
        kSegmentInfoFileMissing, kSegmentInfoFileTitle, kVersionCaption, kVersionProductLine,
        kHelpCaption, kCompressRateText};
    // clang-format on
    for (int16_t level = 0; level < 4; ++level) {
        result.EcLevel = level;
        texts.push_back(MakeResultLabels(result, 0).MaxCor);
    }
    for (const std::string& text : texts) {
        const QString shown = Ui(text);
        EXPECT_FALSE(HasJapanese(shown)) << text << " -> " << shown.toStdString();
    }
}

TEST_F(EnglishTest, FileDialogsShowTranslatedDescriptionsAndKeepThePatterns) {
    test::FakeFileDialogs files;
    TranslatedFileDialogs dialogs(files);
    std::string name;
    dialogs.PickSaveFile(nullptr, name, std::string(kSegmentInfoFileFilter), 4,
                         kSegmentInfoFileTitle);
    ASSERT_EQ(files.asked.size(), 1u);
    using namespace std::string_literals;
    EXPECT_EQ(files.asked[0].filter, "Text files (*.txt)\0*.txt\0All files\0*.*\0"s);
    EXPECT_EQ(files.asked[0].title, "Segment information file");
}

TEST_F(EnglishTest, HelpOpensAtTheEnglishPagesAndTheJapaneseStandInForMissingOnes) {
    test::TempFolder folder("help-languages");
    fs::create_directories(folder / "help/en");
    std::ofstream(folder / "help/index.html") << "<p>目次</p>";
    EXPECT_EQ(HelpFilePath(folder.path().string(), UiLanguage::English),
              (folder / "help/index.html").string());
    std::ofstream(folder / "help/en/index.html") << "<p>Contents</p>";
    EXPECT_EQ(HelpFilePath(folder.path().string(), UiLanguage::English),
              (folder / "help/en/index.html").string());
    EXPECT_EQ(HelpFilePath(folder.path().string(), UiLanguage::Japanese),
              (folder / "help/index.html").string());
    test::FakeHelp help;
    ASSERT_TRUE(OpenHelp(help, nullptr, folder.path().string())); // the language in use
    EXPECT_EQ(help.shown, std::vector<std::string>{(folder / "help/en/index.html").string()});
}

// The English pages, as written: one for each Japanese page, in English.
TEST(EnglishHelpPagesTest, EachJapanesePageHasAnEnglishOneWithoutJapanese) {
    const fs::path help = fs::path(ZORVIK_SOURCE_DIR) / "resources/help";
    std::set<std::string> japanese, english;
    for (const auto& entry : fs::directory_iterator(help))
        if (entry.path().extension() == ".html") japanese.insert(entry.path().filename());
    for (const auto& entry : fs::recursive_directory_iterator(help / "en")) {
        if (!entry.is_regular_file()) continue;
        english.insert(entry.path().filename());
        const QString text = QString::fromStdString(test::ReadFileBytes(entry.path()));
        const auto at = text.indexOf(
            QRegularExpression("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
        EXPECT_EQ(at, -1) << entry.path().string() << ": " << text.mid(at - 30, 60).toStdString();
    }
    for (const std::string& page : japanese) EXPECT_TRUE(english.count(page)) << page;
}

} // namespace
} // namespace zorvik

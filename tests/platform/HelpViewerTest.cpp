// The help command and the help window under the offscreen platform, and
// the pages shipped beside the program.
#include "HelpViewer.h"
#include "FakePlatform.h"
#include "Platform.h"
#include "QtTestSupport.h"
#include "TempFolder.h"

#include <QApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace zorvik {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A program folder with a two-page help.
void WriteHelp(const test::TempFolder& folder) {
    WriteFile(folder / "help/index.html",
              "<html><head><meta charset=\"utf-8\"><title>目次</title></head><body>"
              "<p>ミルカの使い方</p><a href=\"page2.html\">次</a> "
              "<a href=\"https://example.org/x\">外</a></body></html>");
    WriteFile(folder / "help/page2.html",
              "<html><head><meta charset=\"utf-8\"><title>二</title></head>"
              "<body><p>二ページ目</p></body></html>");
}

QTextBrowser* Page(QWidget* window) {
    return window->findChild<QTextBrowser*>("HelpPage");
}

TEST(OpenHelpTest, MissingHelpOpensNothing) {
    EXPECT_EQ(HelpFilePath("/opt/zorvik/"), "/opt/zorvik/help/index.html");
    EXPECT_EQ(HelpFilePath("/opt/zorvik"), "/opt/zorvik/help/index.html");
    test::TempFolder folder("help-missing");
    test::FakeHelp recording;
    EXPECT_FALSE(OpenHelp(recording, nullptr, folder.path().string()));
    fs::create_directories(folder / "help/index.html"); // a folder is no help file
    EXPECT_FALSE(OpenHelp(recording, nullptr, folder.path().string()));
    EXPECT_TRUE(recording.shown.empty());

    test::FakeBrowser browser;
    QtHelpViewer viewer(browser);
    EXPECT_FALSE(viewer.DisplayTopic(nullptr, (folder / "nothing.html").string()));
    EXPECT_TRUE(viewer.Windows().empty());
}

TEST(HelpWindowTest, ShowsTheFirstPageFollowsPagesInsideAndAddressesInTheBrowser) {
    test::TempFolder folder("help-links");
    WriteHelp(folder);
    test::FakeBrowser browser;
    QtHelpViewer viewer(browser);
    QWidget caller;
    ASSERT_TRUE(OpenHelp(viewer, &caller, folder.path().string() + "/"));
    ASSERT_EQ(viewer.Windows().size(), 1u);
    QWidget* window = viewer.Windows()[0];
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowTitle().startsWith(QString::fromUtf8(kHelpCaption)));
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose)); // never keeps the program alive
    QTextBrowser* page = Page(window);
    auto shows = [page](const char* text) {
        return page->toPlainText().contains(QString::fromUtf8(text));
    };
    EXPECT_TRUE(shows("ミルカの使い方"));
    auto* back = window->findChild<QToolButton*>("HelpBack");
    EXPECT_FALSE(back->isEnabled());

    emit page->anchorClicked(QUrl("page2.html"));
    EXPECT_TRUE(shows("二ページ目"));
    back->click();
    EXPECT_TRUE(shows("ミルカの使い方"));
    emit page->anchorClicked(QUrl("page2.html"));
    window->findChild<QToolButton*>("HelpHome")->click();
    EXPECT_TRUE(shows("ミルカの使い方"));

    emit page->anchorClicked(QUrl("https://example.org/x"));
    EXPECT_EQ(browser.opened, std::vector<std::string>{"https://example.org/x"});
    EXPECT_TRUE(shows("ミルカの使い方"));

    // The same help again: the one window, back at its first page.
    emit page->anchorClicked(QUrl("page2.html"));
    ASSERT_TRUE(OpenHelp(viewer, nullptr, folder.path().string()));
    EXPECT_EQ(viewer.Windows(), std::vector<QWidget*>{window});
    EXPECT_TRUE(shows("ミルカの使い方"));
    viewer.CloseAll();
    test::FlushDeletes();
}

TEST(HelpWindowTest, CloseAllClosesEveryWindowOpened) {
    test::TempFolder first("help-one"), second("help-two");
    WriteHelp(first);
    WriteHelp(second);
    test::FakeBrowser browser;
    QtHelpViewer viewer(browser);
    ASSERT_TRUE(OpenHelp(viewer, nullptr, first.path().string()));
    ASSERT_TRUE(OpenHelp(viewer, nullptr, second.path().string()));
    ASSERT_EQ(viewer.Windows().size(), 2u);
    QPointer<QWidget> a = viewer.Windows()[0], b = viewer.Windows()[1];
    viewer.CloseAll();
    EXPECT_TRUE(viewer.Windows().empty());
    test::FlushDeletes();
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());

    // A window the user closed is gone; the next command opens a new one.
    ASSERT_TRUE(OpenHelp(viewer, nullptr, first.path().string()));
    viewer.Windows().at(0)->close();
    test::FlushDeletes();
    EXPECT_TRUE(viewer.Windows().empty());
    ASSERT_TRUE(OpenHelp(viewer, nullptr, first.path().string()));
    EXPECT_EQ(viewer.Windows().size(), 1u);
    viewer.CloseAll();
    test::FlushDeletes();
}

// The local targets of a page's links, without their #fragments.
std::vector<std::string> LocalLinks(const std::string& html) {
    std::vector<std::string> links;
    static const QRegularExpression href("href\\s*=\\s*\"([^\"]*)\"");
    for (const auto& match : href.globalMatch(QString::fromStdString(html))) {
        const QUrl url(match.captured(1));
        if (url.scheme().isEmpty() && !url.path().isEmpty())
            links.push_back(url.path().toStdString());
    }
    return links;
}

std::set<std::string> Pages(const fs::path& folder) {
    std::set<std::string> pages;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".html") pages.insert(entry.path().filename());
    return pages;
}

// The pages as the build put them beside the program, in each language.
TEST(ShippedHelpTest, EveryPageIsCopiedDeclaresUtf8AndIsReachableThroughLinksThatResolve) {
    for (const auto& [language, sub] :
         {std::pair{UiLanguage::Japanese, "help"}, std::pair{UiLanguage::English, "help/en"}}) {
        SCOPED_TRACE(sub);
        const fs::path folder = fs::path(ZORVIK_BIN_DIR) / sub;
        EXPECT_EQ(fs::path(HelpFilePath(ZORVIK_BIN_DIR, language)), folder / "index.html");
        const std::set<std::string> pages = Pages(folder);
        EXPECT_EQ(pages, Pages(fs::path(ZORVIK_SOURCE_DIR) / "resources" / sub));
        for (const char* topic : {"index.html", "capture.html", "paste.html", "select.html",
                                  "result.html", "options.html", "cli.html"})
            EXPECT_TRUE(pages.count(topic)) << topic;

        std::set<std::string> reached{"index.html"};
        std::vector<std::string> queue{"index.html"};
        while (!queue.empty()) {
            const std::string name = queue.back();
            queue.pop_back();
            const std::string html = test::ReadFileBytes(folder / name);
            ASSERT_FALSE(html.empty()) << name;
            EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos) << name;
            EXPECT_EQ(QString::fromUtf8(html).toUtf8().toStdString(), html)
                << name << ": not UTF-8";
            for (const std::string& link : LocalLinks(html)) {
                EXPECT_TRUE(fs::is_regular_file(folder / link)) << name << " links to " << link;
                if (pages.count(link) && reached.insert(link).second) queue.push_back(link);
            }
        }
        EXPECT_EQ(reached, pages);
    }

    test::FakeBrowser browser;
    QtHelpViewer viewer(browser);
    ASSERT_TRUE(OpenHelp(viewer, nullptr, ZORVIK_BIN_DIR));
    EXPECT_TRUE(
        Page(viewer.Windows().at(0))->toPlainText().contains(QString::fromUtf8("ミルカ ヘルプ")));
    // The pages share one style sheet; the headings show in its colour.
    EXPECT_TRUE(Page(viewer.Windows().at(0))->toHtml().contains("#000080"));
    viewer.CloseAll();
    test::FlushDeletes();
}

} // namespace
} // namespace zorvik

// The rules of capture on a Wayland session, without one: which way a
// capture goes, what each answer of the portal says, when a request may go
// while minimised, and which portal files are read and removed. (The
// exchange with a portal is tested in tests/wayland.)
#include "ScreenshotPortal.h"
#include "ScreenCapture.h"
#include "TempFolder.h"

#include <QImage>
#include <QUrl>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <sys/time.h>

namespace zorvik {
namespace {

TEST(ScreenshotPortal, TheSessionChoosesTheWayNotQtsPlatformAlone) {
    struct Case {
        SessionFacts facts;
        CapturePath path;
    };
    const Case cases[] = {
        {{"xcb", "x11", false}, CapturePath::X11Grab},
        {{"xcb", "", false}, CapturePath::X11Grab},       // Xvfb, ssh: no session type
        {{"xcb", "wayland", false}, CapturePath::Portal}, // XWayland
        {{"xcb", "", true}, CapturePath::Portal},         // XWayland, session type unknown
        {{"xcb", "x11", true}, CapturePath::X11Grab},     // a nested compositor in an X session
        {{"wayland", "wayland", true}, CapturePath::Portal},
        {{"wayland", "x11", true}, CapturePath::Portal}, // a Wayland client cannot grab X
        {{"offscreen", "wayland", true}, CapturePath::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseCapturePath(c.facts), c.path)
            << c.facts.qtPlatform << " / " << c.facts.sessionType << " / "
            << c.facts.waylandDisplay;

    EXPECT_EQ(PortalParentWindow("xcb", 0x3a00007), "x11:3a00007");
    EXPECT_EQ(PortalParentWindow("wayland", 42), "");
    EXPECT_EQ(PortalParentWindow("xcb", 0), "");
}

TEST(ScreenshotPortal, EachOutcomeHasANoteOfItsOwn) {
    EXPECT_EQ(AnswerForResponse(0), PortalAnswer::Picture);
    EXPECT_EQ(AnswerForResponse(1), PortalAnswer::Denied);
    for (uint32_t other : {2u, 3u, 0xFFFFFFFFu})
        EXPECT_EQ(AnswerForResponse(other), PortalAnswer::Failed);

    EXPECT_EQ(NoteForAnswer(PortalAnswer::Picture), "");
    EXPECT_EQ(NoteForAnswer(PortalAnswer::Denied), kCaptureDenied);
    EXPECT_EQ(NoteForAnswer(PortalAnswer::Failed), kCaptureCancelledOrFailed);
    EXPECT_EQ(NoteForAnswer(PortalAnswer::NoPortal), kCaptureUnavailable); // as without X11
    EXPECT_EQ(NoteForAnswer(PortalAnswer::NoAnswer), kCaptureNoAnswer);
}

TEST(ScreenshotPortal, ARequestGoesMinimisedOnlyWhenNoPromptCanCome) {
    const QString app = "io.example.App";
    const PermissionTable none;
    const PermissionTable appYes{{app, {"yes"}}};
    const PermissionTable shellYes{{"", {"yes"}}};
    const PermissionTable appNo{{app, {"no"}}};
    struct Case {
        uint32_t version;
        PermissionTable store;
        QString appId;
        bool pictureThisRun, unanswered, hidden;
    };
    const Case cases[] = {
        {1, none, app, false, false, true}, // no permission step before version 2
        {2, none, app, false, false, false},
        {2, appYes, app, false, false, true},
        {2, shellYes, app, false, false, true},
        {2, appYes, "", false, false, false}, // no id of ours to find
        {2, appNo, app, false, false, false},
        {2, none, app, true, false, true},    // this run already had a picture
        {2, appYes, app, false, true, false}, // an unanswered minimised request: ask shown
    };
    for (const Case& c : cases)
        EXPECT_EQ(MayAskWhileHidden(c.version, c.store, c.appId, c.pictureThisRun, c.unanswered),
                  c.hidden)
            << "version " << c.version << ", id '" << c.appId.toStdString() << "', picture "
            << c.pictureThisRun << ", unanswered " << c.unanswered;
}

class PortalFile : public ::testing::Test {
  protected:
    test::TempFolder folder{"portalfile"};
    const long long now = (long long)std::time(nullptr);

    std::filesystem::path Picture(const std::string& name) {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(qRgb(10, 200, 30));
        const std::filesystem::path path = folder / name;
        EXPECT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));
        return path;
    }
    static QString Uri(const std::filesystem::path& path) {
        return QUrl::fromLocalFile(QString::fromStdString(path.string())).toString();
    }
};

TEST_F(PortalFile, AFreshFileOfOursIsReadAndRemoved) {
    const auto path = Picture("Screenshot from today (1).png"); // spaces escaped in the uri
    const QImage picture = TakePortalFile(Uri(path), now);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(40, 30));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
    EXPECT_EQ(picture.pixel(5, 5), qRgb(10, 200, 30));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(PortalFile, AnythingElseIsNeitherReadNorRemoved) {
    // A link: refused, and neither it nor what it leads to goes.
    const auto target = Picture("target.png");
    const auto link = folder / "link.png";
    std::filesystem::create_symlink(target, link);
    EXPECT_TRUE(TakePortalFile(Uri(link), now).isNull());
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_TRUE(std::filesystem::is_symlink(link));

    // A file from before the request (some other picture the portal named).
    const auto old = Picture("old.png");
    const struct timeval longAgo[2] = {{now - 3600, 0}, {now - 3600, 0}};
    ASSERT_EQ(::utimes(old.c_str(), longAgo), 0);
    EXPECT_TRUE(TakePortalFile(Uri(old), now).isNull());
    EXPECT_TRUE(std::filesystem::exists(old));

    // A folder, and uris that are not local files.
    EXPECT_TRUE(TakePortalFile(Uri(folder.path()), now).isNull());
    EXPECT_TRUE(std::filesystem::exists(folder.path()));
    EXPECT_TRUE(TakePortalFile("", now).isNull());
    EXPECT_TRUE(TakePortalFile("https://example.org/shot.png", now).isNull());
    EXPECT_TRUE(std::filesystem::exists(target));
}

} // namespace
} // namespace zorvik

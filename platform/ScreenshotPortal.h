// The desktop's screenshot portal (org.freedesktop.portal.Screenshot on the
// session bus): the one way to a picture of the screen on a Wayland session,
// XWayland included, where X11 grabs give black or empty pictures. Also the
// rules that choose between it and the X11 grab, kept free of D-Bus so that
// they are tested without a session.
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QLoggingCategory>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

// What capture asked and was answered, for a user who wants to know why a
// capture failed: QT_LOGGING_RULES="zorvik.capture.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcCapture)

namespace zorvik {

// --- Which way a capture goes ---

enum class CapturePath {
    X11Grab, // an X server of our own session: grab it directly
    Portal,  // a Wayland session, natively or through XWayland
    None,    // no screen at all (offscreen and the like)
};

struct SessionFacts {
    std::string qtPlatform;      // QGuiApplication::platformName()
    std::string sessionType;     // XDG_SESSION_TYPE, may be empty
    bool waylandDisplay = false; // WAYLAND_DISPLAY is set
};

// The session decides, not Qt's platform alone: a Qt on xcb inside a Wayland
// session (XWayland) goes through the portal too. An explicit
// XDG_SESSION_TYPE wins over WAYLAND_DISPLAY (a nested compositor in an X11
// session leaves the X server grabbable).
CapturePath ChooseCapturePath(const SessionFacts& facts);

// The request's parent_window: "x11:<hex id>" where Qt runs on X11 (native
// or XWayland); empty elsewhere (Qt exports no Wayland handle to give).
QString PortalParentWindow(const std::string& qtPlatform, unsigned long long windowId);

// --- What the portal answered ---

enum class PortalAnswer {
    Picture,  // response 0 and a readable picture
    Denied,   // response 1: the user said no or closed the portal's dialog
    Failed,   // response 2 (cancelled otherwise, permission refused, failed)
              // and any answer whose picture cannot be read
    NoPortal, // no bus, no portal, or a portal without the Screenshot interface
    NoAnswer, // no response within the wait
};

PortalAnswer AnswerForResponse(uint32_t response);
// The guidance line's note for an answer; empty for a picture.
std::string NoteForAnswer(PortalAnswer answer);

// The permission store's "screenshot" entry: application id -> permissions.
using PermissionTable = QMap<QString, QStringList>;

// Whether a desktop request may go out while the window is minimised, that
// is, the portal will not stop to ask the user. Portals before version 2
// never ask for a non-interactive request. Otherwise it is known when this
// run already had a picture without asking, or the store allows the program
// under its application id or under "" (the id the portal gives programs it
// cannot name, such as one started from a terminal). A request of this run
// that went unanswered while minimised makes the store's word doubtful:
// that prompt may have been hidden with the window.
bool MayAskWhileHidden(uint32_t portalVersion, const PermissionTable& store, const QString& appId,
                       bool pictureThisRun, bool unansweredWhileHidden);

// Reads the picture the portal saved at uri (file://) and removes the file.
// Only a file the portal just made for us is read and removed: a regular
// file (a link is refused, not followed), owned by this user, written no
// earlier than `since` (seconds since the epoch). A null image otherwise;
// the file is then left alone.
QImage TakePortalFile(const QString& uri, long long since);

// --- The portal itself ---

class ScreenshotPortal {
  public:
    explicit ScreenshotPortal(QDBusConnection bus) : bus_(std::move(bus)) {}

    // The Screenshot interface's version; 0 when there is no bus, no portal
    // or no Screenshot interface. Answered within a few seconds at most (a
    // portal being started on demand), at once when there is nothing to start.
    uint32_t Version();

    // The store's "screenshot" entry; empty when the store or the entry is missing.
    PermissionTable StoredPermissions();

    struct Shot {
        PortalAnswer answer;
        QImage picture; // device pixels, RGB32; null unless answer is Picture
    };
    // One Screenshot request with the given parent window, waiting at most
    // waitMs for the Response while the user's input to this program waits.
    // An unanswered request is closed so that no prompt lingers.
    Shot Take(const QString& parentWindow, bool interactive, int waitMs);

  private:
    QDBusConnection bus_;
};

// How long a request may take: while minimised only as long as a picture
// takes (nobody can see a prompt then); while shown long enough for the user
// to read a permission prompt or pick a window.
inline constexpr int kPortalWaitHiddenMs = 6000;
inline constexpr int kPortalWaitPromptMs = 60000;
inline constexpr int kPortalWaitPickMs = 120000;

} // namespace zorvik

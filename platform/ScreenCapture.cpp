#include "ScreenCapture.h"

#include "ScreenshotPortal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSoundEffect>
#include <QUrl>
#include <QWindow>

#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zorvik {
namespace {

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t* X11Connection() {
    if (!qGuiApp) return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The window the window manager names active, 0 when there is none (no
// window manager, or nothing active).
xcb_window_t ActiveX11Window(xcb_connection_t* c, xcb_window_t root) {
    const xcb_atom_t active = Atom(c, "_NET_ACTIVE_WINDOW");
    if (active == XCB_ATOM_NONE) return 0;
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, active, XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) < int(sizeof(xcb_window_t))) return 0;
    return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
}

// The window's frame: its ancestor whose parent is the root, so the capture
// holds the title bar and borders the window manager drew.
xcb_window_t FrameOf(xcb_connection_t* c, xcb_window_t window, xcb_window_t root) {
    for (int depth = 0; depth < 64; ++depth) {
        XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
        if (!tree || tree->parent == root || tree->parent == XCB_WINDOW_NONE) return window;
        window = tree->parent;
    }
    return window;
}

QImage InDevicePixels(const QPixmap& pixmap) {
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    return image;
}

// Every screen grabbed at its own device pixels and put at its place on
// one canvas of the whole virtual desktop.
QImage GrabAllScreens() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return {};
    QRect desktop;
    for (const QScreen* s : screens) {
        const qreal ratio = s->devicePixelRatio();
        const QRect g = s->geometry();
        desktop |= QRect(int(std::lround(g.x() * ratio)), int(std::lround(g.y() * ratio)),
                         int(std::lround(g.width() * ratio)), int(std::lround(g.height() * ratio)));
    }
    QImage canvas(desktop.size(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    for (QScreen* s : screens) {
        const QImage shot = InDevicePixels(s->grabWindow(0));
        const qreal ratio = s->devicePixelRatio();
        painter.drawImage(QPoint(int(std::lround(s->geometry().x() * ratio)) - desktop.x(),
                                 int(std::lround(s->geometry().y() * ratio)) - desktop.y()),
                          shot);
    }
    return canvas;
}

CapturePath CurrentPath() {
    if (!qGuiApp) return CapturePath::None;
    return ChooseCapturePath({QGuiApplication::platformName().toStdString(),
                              qEnvironmentVariable("XDG_SESSION_TYPE").toLower().toStdString(),
                              !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")});
}

CaptureResult Reported(const ScreenshotPortal::Shot& shot) {
    CaptureResult result{shot.picture, NoteForAnswer(shot.answer)};
    if (!result.note.empty()) qCInfo(lcCapture).noquote() << "capture note:" << result.note.c_str();
    return result;
}

} // namespace

CaptureResult QtScreenCapture::BeforeHiding(bool wholeDesktop, const QWindow* window) {
    if (CurrentPath() != CapturePath::Portal) return {};
    portalParent_ = PortalParentWindow(QGuiApplication::platformName().toStdString(),
                                       window ? window->winId() : 0);
    ScreenshotPortal portal(QDBusConnection::sessionBus());
    portalVersion_ = portal.Version();
    if (portalVersion_ == 0) return Reported({PortalAnswer::NoPortal, {}});
    // The user picks the window in the portal's own dialog, which needs this
    // program shown; a picture with ZORVIK in it is then the user's choice.
    if (!wholeDesktop) return Reported(portal.Take(portalParent_, true, kPortalWaitPickMs));
    const PermissionTable store = portalVersion_ >= 2 && !portalPictureThisRun_
                                      ? portal.StoredPermissions()
                                      : PermissionTable();
    if (MayAskWhileHidden(portalVersion_, store, QGuiApplication::desktopFileName(),
                          portalPictureThisRun_, portalUnansweredWhileHidden_))
        return {};
    // The portal may ask the user first, and only a shown program's prompt is
    // sure to be seen. That picture holds this window and is thrown away;
    // the real one follows minimised, with the answer now stored.
    const ScreenshotPortal::Shot first = portal.Take(portalParent_, false, kPortalWaitPromptMs);
    if (first.answer != PortalAnswer::Picture) return Reported(first);
    portalPictureThisRun_ = true;
    portalUnansweredWhileHidden_ = false;
    return {};
}

CaptureResult QtScreenCapture::ActiveWindow() {
    const CapturePath path = CurrentPath();
    if (path == CapturePath::None) return {{}, kCaptureUnavailable};
    // Reached only when BeforeHiding was not asked first: the portal's picker.
    if (path == CapturePath::Portal)
        return Reported(ScreenshotPortal(QDBusConnection::sessionBus())
                            .Take(portalParent_, true, kPortalWaitPickMs));
    xcb_connection_t* c = X11Connection();
    if (!c) return {{}, kCaptureUnavailable};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t active = screen ? ActiveX11Window(c, screen->root) : 0;
    if (!active) {
        CaptureResult desktop = Desktop();
        if (!desktop.picture.isNull()) desktop.note = kCaptureNoActiveWindow;
        return desktop;
    }
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return {{}, kCaptureUnavailable};
    const QImage picture = InDevicePixels(primary->grabWindow(FrameOf(c, active, screen->root)));
    if (picture.isNull()) return {{}, kCaptureUnavailable};
    return {picture, ""};
}

CaptureResult QtScreenCapture::Desktop() {
    const CapturePath path = CurrentPath();
    if (path == CapturePath::None) return {{}, kCaptureUnavailable};
    if (path == CapturePath::Portal) {
        ScreenshotPortal portal(QDBusConnection::sessionBus());
        if (portalVersion_ == 0) portalVersion_ = portal.Version();
        if (portalVersion_ == 0) return Reported({PortalAnswer::NoPortal, {}});
        // Minimised now: no longer than a picture takes.
        const ScreenshotPortal::Shot shot = portal.Take(portalParent_, false, kPortalWaitHiddenMs);
        if (shot.answer == PortalAnswer::Picture) portalPictureThisRun_ = true;
        if (shot.answer == PortalAnswer::NoAnswer) {
            portalPictureThisRun_ = false;
            portalUnansweredWhileHidden_ = true; // next time, ask while shown
        }
        return Reported(shot);
    }
    if (!X11Connection()) return {{}, kCaptureUnavailable};
    QImage picture = GrabAllScreens();
    if (picture.isNull()) return {{}, kCaptureUnavailable};
    return {picture, ""};
}

void QtScreenCapture::Pause(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                            QEventLoop::WaitForMoreEvents,
                                        int(ms - clock.elapsed()));
    }
}

QtSoundPlayer::QtSoundPlayer() = default;
QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::PlayAsync(const std::string& wavPath) {
    if (!QFile::exists(QString::fromStdString(wavPath))) return;
    effect_ = std::make_unique<QSoundEffect>();
    effect_->setSource(QUrl::fromLocalFile(QString::fromStdString(wavPath)));
    effect_->play();
}

} // namespace zorvik

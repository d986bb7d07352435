#include "ScreenCapture.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

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

// The desktop's screenshot portal (Wayland and sandboxes): the user's
// desktop takes the picture and hands back a file.
class PortalScreenshot final : public QObject {
    Q_OBJECT
  public:
    CaptureResult Take(bool interactive) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return {{}, kCaptureUnavailable};
        const QString token =
            QString("zorvik%1").arg(QRandomGenerator::global()->generate() & 0xFFFFFF);
        QString sender = bus.baseService().mid(1);
        sender.replace('.', '_');
        const QString request = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
        // Listen before asking, so a quick answer is not missed.
        bus.connect("org.freedesktop.portal.Desktop", request, "org.freedesktop.portal.Request",
                    "Response", this, SLOT(Response(uint, QVariantMap)));
        QDBusInterface portal("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                              "org.freedesktop.portal.Screenshot", bus);
        QVariantMap options{{"handle_token", token}, {"interactive", interactive}, {"modal", true}};
        const QDBusReply<QDBusObjectPath> reply = portal.call("Screenshot", QString(), options);
        if (!reply.isValid()) return {{}, kCaptureUnavailable};
        QTimer::singleShot(interactive ? 120000 : 20000, &loop_, [this] { loop_.exit(1); });
        if (loop_.exec() != 0) return {{}, kCaptureUnavailable};
        if (response_ != 0) return {{}, response_ == 1 ? kCaptureCancelled : kCaptureUnavailable};
        QImage picture(QUrl(uri_).toLocalFile());
        if (picture.isNull()) return {{}, kCaptureUnavailable};
        picture = picture.convertToFormat(QImage::Format_RGB32);
        picture.setDevicePixelRatio(1);
        return {picture, ""};
    }

  private slots:
    void Response(uint response, const QVariantMap& results) {
        response_ = response;
        uri_ = results.value("uri").toString();
        loop_.exit(0);
    }

  private:
    QEventLoop loop_;
    uint response_ = 2;
    QString uri_;
};

bool OnWayland() {
    return QGuiApplication::platformName().startsWith("wayland");
}

} // namespace

CaptureResult QtScreenCapture::ActiveWindow() {
    if (OnWayland()) return PortalScreenshot().Take(true); // the user picks the window
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
    if (OnWayland()) return PortalScreenshot().Take(false);
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

#include "ScreenCapture.moc"

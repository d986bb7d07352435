#include "ScreenshotPortal.h"

#include "ScreenCapture.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

Q_LOGGING_CATEGORY(lcCapture, "zorvik.capture", QtWarningMsg)

namespace zorvik {
namespace {

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kScreenshotInterface = "org.freedesktop.portal.Screenshot";
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
constexpr const char* kStoreService = "org.freedesktop.impl.portal.PermissionStore";
constexpr const char* kStorePath = "/org/freedesktop/impl/portal/PermissionStore";

// Long enough for a portal started on demand, short enough not to be a wait.
constexpr int kPropertyWaitMs = 5000;
constexpr int kCallWaitMs = 10000;
// No screen's picture is near this; a larger file is not a screenshot.
constexpr qint64 kMaxPictureBytes = qint64(512) << 20;
// Clock slack for a file system whose clock is not quite ours.
constexpr long long kFileClockSlack = 60;

// Catches the Response of one request.
class ResponseCatcher final : public QObject {
    Q_OBJECT
  public:
    explicit ResponseCatcher(QDBusConnection& bus) : bus_(bus) {}
    ~ResponseCatcher() override {
        for (const QString& path : paths_)
            bus_.disconnect(kPortalService, path, kRequestInterface, "Response", this,
                            SLOT(Response(uint, QVariantMap)));
    }
    void Listen(const QString& path) {
        if (paths_.contains(path)) return;
        paths_ << path;
        bus_.connect(kPortalService, path, kRequestInterface, "Response", this,
                     SLOT(Response(uint, QVariantMap)));
    }
    bool answered = false;
    uint response = 2;
    QString uri;

  signals:
    void Answered();

  private slots:
    void Response(uint code, const QVariantMap& results) {
        if (answered) return;
        answered = true;
        response = code;
        uri = results.value("uri").toString();
        emit Answered();
    }

  private:
    QDBusConnection& bus_;
    QStringList paths_;
};

bool NoSuchService(const QDBusMessage& reply) {
    static const QStringList missing{
        "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
        "org.freedesktop.DBus.Error.UnknownObject", "org.freedesktop.DBus.Error.UnknownInterface",
        "org.freedesktop.DBus.Error.UnknownMethod"};
    return missing.contains(reply.errorName());
}

} // namespace

CapturePath ChooseCapturePath(const SessionFacts& facts) {
    if (facts.qtPlatform.rfind("wayland", 0) == 0) return CapturePath::Portal;
    if (facts.qtPlatform != "xcb") return CapturePath::None;
    if (facts.sessionType == "wayland") return CapturePath::Portal;
    if (facts.sessionType == "x11") return CapturePath::X11Grab;
    return facts.waylandDisplay ? CapturePath::Portal : CapturePath::X11Grab;
}

QString PortalParentWindow(const std::string& qtPlatform, unsigned long long windowId) {
    if (qtPlatform != "xcb" || windowId == 0) return {};
    return "x11:" + QString::number(windowId, 16);
}

PortalAnswer AnswerForResponse(uint32_t response) {
    switch (response) {
    case 0:
        return PortalAnswer::Picture;
    case 1:
        return PortalAnswer::Denied;
    default:
        return PortalAnswer::Failed;
    }
}

std::string NoteForAnswer(PortalAnswer answer) {
    switch (answer) {
    case PortalAnswer::Picture:
        return {};
    case PortalAnswer::Denied:
        return kCaptureDenied;
    case PortalAnswer::Failed:
        return kCaptureCancelledOrFailed;
    case PortalAnswer::NoPortal:
        return kCaptureUnavailable;
    case PortalAnswer::NoAnswer:
        return kCaptureNoAnswer;
    }
    return kCaptureUnavailable;
}

bool MayAskWhileHidden(uint32_t portalVersion, const PermissionTable& store, const QString& appId,
                       bool pictureThisRun, bool unansweredWhileHidden) {
    if (unansweredWhileHidden) return false;
    if (portalVersion < 2 || pictureThisRun) return true;
    const auto allows = [&store](const QString& id) {
        const auto entry = store.constFind(id);
        return entry != store.constEnd() && !entry->isEmpty() && entry->first() == "yes";
    };
    return (!appId.isEmpty() && allows(appId)) || allows(QString());
}

QImage TakePortalFile(const QString& uri, long long since) {
    const QUrl url(uri);
    if (!url.isLocalFile()) return {};
    const QByteArray path = QFile::encodeName(url.toLocalFile());
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat opened {};
    const bool ours =
        ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
        (long long)opened.st_mtime >= since - kFileClockSlack && opened.st_size <= kMaxPictureBytes;
    QByteArray bytes;
    if (ours) {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            bytes = file.readAll();
    }
    ::close(fd);
    if (!ours) return {};
    // Removed only while the name still leads to the file that was read.
    struct stat now {};
    if (::lstat(path.constData(), &now) == 0 && now.st_dev == opened.st_dev &&
        now.st_ino == opened.st_ino)
        ::unlink(path.constData());
    QImage picture = QImage::fromData(bytes);
    if (picture.isNull()) return {};
    picture = picture.convertToFormat(QImage::Format_RGB32);
    picture.setDevicePixelRatio(1);
    return picture;
}

uint32_t ScreenshotPortal::Version() {
    if (!bus_.isConnected()) return 0;
    QDBusMessage get = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QString(kScreenshotInterface) << QString("version");
    const QDBusMessage reply = bus_.call(get, QDBus::Block, kPropertyWaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCInfo(lcCapture) << "no screenshot portal:" << reply.errorName() << reply.errorMessage();
        return 0;
    }
    bool number = false;
    const uint version =
        qvariant_cast<QDBusVariant>(reply.arguments().at(0)).variant().toUInt(&number);
    qCInfo(lcCapture) << "screenshot portal version" << version;
    return number && version > 0 ? version : 1; // the interface answered: at least the first
}

PermissionTable ScreenshotPortal::StoredPermissions() {
    PermissionTable table;
    if (!bus_.isConnected()) return table;
    QDBusMessage lookup =
        QDBusMessage::createMethodCall(kStoreService, kStorePath, kStoreService, "Lookup");
    lookup << QString("screenshot") << QString("screenshot");
    const QDBusMessage reply = bus_.call(lookup, QDBus::Block, kPropertyWaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return table;
    const QVariant first = reply.arguments().at(0);
    if (first.userType() != qMetaTypeId<QDBusArgument>()) return table;
    const QDBusArgument argument = first.value<QDBusArgument>();
    if (argument.currentSignature() != "a{sas}") return table;
    argument >> table;
    return table;
}

ScreenshotPortal::Shot ScreenshotPortal::Take(const QString& parentWindow, bool interactive,
                                              int waitMs) {
    if (!bus_.isConnected()) return {PortalAnswer::NoPortal, {}};
    const QString token =
        QString("zorvik%1").arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    const QString expected = QString(kPortalPath) + "/request/" + sender + "/" + token;
    ResponseCatcher catcher(bus_);
    catcher.Listen(expected); // before asking, so that a quick answer is not missed
    const long long since = (long long)std::time(nullptr);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                       kScreenshotInterface, "Screenshot");
    call << parentWindow
         << QVariantMap{{"handle_token", token}, {"interactive", interactive}, {"modal", true}};
    qCInfo(lcCapture) << "screenshot request, interactive" << interactive << "parent"
                      << parentWindow;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallWaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCInfo(lcCapture) << "screenshot refused:" << reply.errorName() << reply.errorMessage();
        if (NoSuchService(reply)) return {PortalAnswer::NoPortal, {}};
        if (reply.errorName() == "org.freedesktop.DBus.Error.NoReply")
            return {PortalAnswer::NoAnswer, {}};
        return {PortalAnswer::Failed, {}};
    }
    // Portals before the handle token made up their own path.
    const QString handle = qvariant_cast<QDBusObjectPath>(reply.arguments().at(0)).path();
    if (!handle.isEmpty()) catcher.Listen(handle);

    if (!catcher.answered) {
        QEventLoop loop;
        QObject::connect(&catcher, &ResponseCatcher::Answered, &loop, &QEventLoop::quit);
        QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!catcher.answered) {
        // No prompt of ours may linger after we stopped listening.
        if (!handle.isEmpty())
            bus_.call(
                QDBusMessage::createMethodCall(kPortalService, handle, kRequestInterface, "Close"),
                QDBus::NoBlock);
        qCInfo(lcCapture) << "no screenshot response within" << waitMs << "ms";
        return {PortalAnswer::NoAnswer, {}};
    }
    qCInfo(lcCapture) << "screenshot response" << catcher.response;
    const PortalAnswer answer = AnswerForResponse(catcher.response);
    if (answer != PortalAnswer::Picture) return {answer, {}};
    QImage picture = TakePortalFile(catcher.uri, since);
    if (picture.isNull()) {
        qCInfo(lcCapture) << "the portal's picture cannot be read:" << catcher.uri;
        return {PortalAnswer::Failed, {}};
    }
    return {PortalAnswer::Picture, picture};
}

} // namespace zorvik

#include "ScreenshotPortal.moc"

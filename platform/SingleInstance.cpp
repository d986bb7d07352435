#include "SingleInstance.h"

#include <QGuiApplication>
#include <QLocalSocket>
#include <QLockFile>

#include <cstdlib>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace zorvik {
namespace {

// A request is a word or a path; anything far longer is not one.
constexpr qsizetype kMaxMessageBytes = 64 * 1024;
// Socket paths hold at most 107 bytes; the longest suffix added here is short.
constexpr size_t kMaxFolderLength = 80;
constexpr int kConnectMs = 1000, kLockMs = 5000;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Sanitised(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == ':' || c == '_' || c == '-';
        if (!plain) c = '_';
    }
    return out;
}

// ":91.0" and ":91" are the same display.
std::string WithoutScreen(std::string display) {
    const size_t colon = display.rfind(':');
    const size_t dot = display.rfind('.');
    if (colon != std::string::npos && dot != std::string::npos && dot > colon) display.erase(dot);
    return display;
}

// A file of someone else under that name is not ours to use or remove.
bool OwnedByOthers(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && info.st_uid != ::getuid();
}

} // namespace

std::string SingleInstanceName(unsigned uid, const std::string& platformName,
                               const std::string& display, const std::string& waylandDisplay,
                               const std::string& runtimeFolder) {
    std::string tag;
    if (platformName.starts_with("wayland") && !waylandDisplay.empty())
        tag = waylandDisplay;
    else if (platformName == "xcb" && !display.empty())
        tag = "x11-" + WithoutScreen(display);
    else
        return {};
    tag = Sanitised(tag);
    if (!runtimeFolder.empty() && runtimeFolder[0] == '/' &&
        runtimeFolder.size() <= kMaxFolderLength)
        return runtimeFolder + (runtimeFolder.back() == '/' ? "" : "/") + "zorvik-" + tag;
    return "/tmp/zorvik-" + std::to_string(uid) + "-" + tag;
}

std::string SingleInstanceName() {
    return SingleInstanceName(::getuid(), QGuiApplication::platformName().toStdString(),
                              Environment("DISPLAY"), Environment("WAYLAND_DISPLAY"),
                              Environment("XDG_RUNTIME_DIR"));
}

SingleInstance::SingleInstance(std::string name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] { Accept(); });
}

SingleInstance::Role SingleInstance::Start(const QByteArray& message) {
    if (name_.empty()) return Role::Alone;
    const std::string lockPath = name_ + ".lock";
    if (OwnedByOthers(name_) || OwnedByOthers(lockPath)) return Role::Alone;
    // Without the lock two starts could each find no server and both listen.
    QLockFile lock(QString::fromStdString(lockPath));
    const bool locked = lock.tryLock(kLockMs);
    if (Send(message)) return Role::Forwarded;
    if (!locked) return Role::Alone;
    const QString name = QString::fromStdString(name_);
    QLocalServer::removeServer(name); // a killed program's socket, if any
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(name) ? Role::First : Role::Alone;
}

bool SingleInstance::Send(const QByteArray& message) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(name_));
    if (!socket.waitForConnected(kConnectMs)) return false;
    socket.write(message);
    if (!socket.waitForBytesWritten(kConnectMs) && socket.bytesToWrite() > 0) return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kConnectMs);
    return true;
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        // The sender writes its request and closes; the request is complete then.
        struct Transfer {
            QByteArray bytes;
            bool finished = false;
        };
        auto transfer = std::make_shared<Transfer>();
        auto read = [socket, transfer] {
            transfer->bytes.append(socket->readAll());
            if (transfer->bytes.size() > kMaxMessageBytes) socket->abort();
        };
        auto finish = [this, socket, transfer, read] {
            if (transfer->finished) return;
            transfer->finished = true;
            if (transfer->bytes.size() <= kMaxMessageBytes) read();
            if (transfer->bytes.size() <= kMaxMessageBytes) emit MessageArrived(transfer->bytes);
            socket->deleteLater();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        connect(socket, &QLocalSocket::disconnected, this, finish);
        read();
        if (socket->state() == QLocalSocket::UnconnectedState) finish();
    }
}

} // namespace zorvik

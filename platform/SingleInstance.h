// One desktop program per user and display. The first program listens on a
// local socket; a later start hands its request to it and ends.
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <string>

namespace zorvik {

// The socket's path for a user on a display: $XDG_RUNTIME_DIR/zorvik-TAG
// where that folder is set (absolute and short enough for a socket path),
// else /tmp/zorvik-UID-TAG. TAG names the display the window system uses:
// "wayland-0" on Wayland (under any of its platform names), "x11-:91" for
// DISPLAY ":91" or ":91.0" (the screen number dropped); characters beyond
// letters, digits and ".:_-" become "_". Empty without a display (the
// offscreen platform, say): every such program runs on its own.
std::string SingleInstanceName(unsigned uid, const std::string& platformName,
                               const std::string& display, const std::string& waylandDisplay,
                               const std::string& runtimeFolder);
// The same for this process, from its environment and Qt's platform.
std::string SingleInstanceName();

class SingleInstance final : public QObject {
    Q_OBJECT
  public:
    enum class Role {
        First,     // listening: requests of later starts arrive as MessageArrived
        Forwarded, // message went to the running program; this one should end
        Alone,     // neither worked (a folder not writable, a name taken by
                   // another user): the program runs on its own
    };
    explicit SingleInstance(std::string name, QObject* parent = nullptr);

    // Sends message to a running program, or becomes the one that runs
    // (Alone for an empty name). A
    // socket left by a program that was killed is removed and taken over.
    // Two starts at the same moment agree through a lock file.
    Role Start(const QByteArray& message);

  signals:
    void MessageArrived(const QByteArray& message);

  private:
    void Accept();
    bool Send(const QByteArray& message);

    std::string name_;
    QLocalServer server_;
};

} // namespace zorvik

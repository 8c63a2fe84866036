// SPDX-License-Identifier: MIT
// The hand-over on Linux and other Unix systems: a local socket in a folder of the user's alone.
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QVariant>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/SingleInstance.h"

namespace {

// A start that is there at all answers a connection at once.
constexpr int kProbeTimeoutMs = 1000;
// Starts connected at once: more are turned away until these are done.
constexpr int kMaxConnections = 16;

QString fallbackFolderName()
{
    return QStringLiteral("marlo-") + QString::number(::getuid());
}

// A folder that only this user can enter: the place for a socket that others must not reach.
bool isPrivateFolder(const QString& path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

QString privateRuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        return runtime;
    const QString fallback = QDir::tempPath() + u'/' + fallbackFolderName();
    ::mkdir(QFile::encodeName(fallback).constData(), 0700);
    return isPrivateFolder(fallback) ? fallback : QString();
}

// The display the program shows on, which tells one desktop session of the user from another.
QString sessionKey()
{
    const QString platform = QGuiApplication::platformName();
    QString key = platform;
    if (platform == QLatin1String("xcb")) {
        // ":0" and ":0.0" are one X server.
        QString display = qEnvironmentVariable("DISPLAY");
        const qsizetype colon = display.lastIndexOf(u':');
        const qsizetype dot = display.indexOf(u'.', colon);
        if (colon >= 0 && dot > colon)
            display.truncate(dot);
        key = QStringLiteral("x11-") + display;
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        key = QStringLiteral("wayland-") + qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    }
    for (QChar& c : key)
        if (!(c.unicode() < 128 && c.isLetterOrNumber()) && c != u'.' && c != u'-')
            c = u'_';
    return key;
}

void dropConnection(QLocalSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

} // namespace

QString InstanceName()
{
    const QString folder = privateRuntimeFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/marlo-") + sessionKey();
}

bool SendHandOver(const QString& name, const QByteArray& message)
{
    if (name.isEmpty())
        return false;
    const QDeadlineTimer deadline(kHandOverTimeoutMs);
    const auto remaining = [&deadline] { return int(deadline.remainingTime()); };
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(remaining()))
        return false;
    socket.write(message);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remaining()))
            return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(remaining()))
            return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == kHandOverAccepted;
}

struct TInstanceServer::Impl {
    QLocalServer server;
};

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>())
{
    QLocalServer* server = &impl_->server;
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (server->findChildren<QLocalSocket*>().size() > kMaxConnections) {
                dropConnection(socket);
                continue;
            }
            // A start sends its message at once: one that holds the connection open without it
            // is let go, so that it holds nothing up.
            QTimer::singleShot(kHandOverTimeoutMs, socket, [socket] { dropConnection(socket); });
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                const QByteArray received = socket->property("received").toByteArray() + socket->readAll();
                socket->setProperty("received", received);
                switch (receive(received)) {
                case THandOver::Incomplete:
                    break;
                case THandOver::Malformed:
                    dropConnection(socket);
                    break;
                case THandOver::Whole:
                    socket->write(&kHandOverAccepted, 1);
                    socket->disconnectFromServer();
                    break;
                }
            });
        }
    });
}

TInstanceServer::~TInstanceServer()
{
    const QString socket = impl_->server.fullServerName();
    impl_->server.close();
    // The folder made for want of a runtime folder goes with the last Marlo that used it.
    const QString folder = QFileInfo(socket).path();
    if (!socket.isEmpty() && QFileInfo(folder).fileName() == fallbackFolderName())
        QDir().rmdir(folder);
}

bool TInstanceServer::Listen(const QString& name)
{
    if (name.isEmpty())
        return false;
    {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(kProbeTimeoutMs)) {
            probe.abort();
            return false;
        }
    }
    // Nothing answers there, so a socket file left under the name is a killed Marlo's.
    QLocalServer::removeServer(name);
    impl_->server.setSocketOptions(QLocalServer::UserAccessOption);
    return impl_->server.listen(name);
}

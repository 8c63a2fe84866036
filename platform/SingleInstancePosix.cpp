// SPDX-License-Identifier: MIT
// The hand-over on Linux and other Unix systems: a Unix domain socket in a folder of the user's
// alone, spoken to with the system's own calls. Qt's local sockets would bring in Qt Network, and
// with it TLS libraries that cost a start several megabytes of memory for nothing.
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

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

// The address of a socket; false when the name does not fit into one.
bool addressOf(const QString& name, sockaddr_un& address)
{
    const QByteArray path = QFile::encodeName(name);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Waits for the descriptor to become ready for events, until the deadline.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, int(std::max<qint64>(deadline.remainingTime(), 0)));
        if (n > 0)
            return (p.revents & events) != 0;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// A descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Hands the descriptor on, not closed.
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// A connection to the socket at name, made within the deadline; -1 when nothing answers there.
int connectTo(const QString& name, const QDeadlineTimer& deadline)
{
    sockaddr_un address;
    if (!addressOf(name, address))
        return -1;
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0)
        return -1;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        int error = 0;
        socklen_t length = sizeof error;
        if (errno != EINPROGRESS && errno != EAGAIN)
            return -1;
        if (!waitFor(fd.get(), POLLOUT, deadline) ||
            ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return -1;
    }
    return fd.release();
}

} // namespace

// One start's connection: what it brought so far, and a limit on how long it may take.
class TInstanceConnection : public QObject {
public:
    TInstanceConnection(int fd, QObject* parent) : QObject(parent), fd_(fd), notifier_(fd, QSocketNotifier::Read)
    {
        // A start sends its message at once: one that holds the connection open without it is let
        // go, so that it holds nothing up.
        QTimer::singleShot(kHandOverTimeoutMs, this, &QObject::deleteLater);
    }
    ~TInstanceConnection() override { ::close(fd_); }

    QSocketNotifier& notifier() { return notifier_; }
    // Reads what has arrived; false when the start has closed its end or the connection failed.
    bool read(QByteArray& received)
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                received.append(buffer, qsizetype(n));
                if (received.size() > kMaxHandOverBytes)
                    return false;
                continue;
            }
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
        }
    }
    void answer() { static_cast<void>(::write(fd_, &kHandOverAccepted, 1)); }

    QByteArray received;

private:
    int fd_;
    QSocketNotifier notifier_;
};


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
    Descriptor fd(connectTo(name, deadline));
    if (fd.get() < 0)
        return false;
    for (qsizetype written = 0; written < message.size();) {
        const ssize_t n = ::send(fd.get(), message.constData() + written, size_t(message.size() - written), MSG_NOSIGNAL);
        if (n > 0)
            written += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else if (!waitFor(fd.get(), POLLOUT, deadline))
            return false;
    }
    char answer = 0;
    for (;;) {
        const ssize_t n = ::read(fd.get(), &answer, 1);
        if (n == 1)
            return answer == kHandOverAccepted;
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || n == 0 || !waitFor(fd.get(), POLLIN, deadline))
            return false;
    }
}

struct TInstanceServer::Impl {
    Descriptor listening;
    std::unique_ptr<QSocketNotifier> notifier;
    QString name;
    int connections = 0;
};

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>()) {}

TInstanceServer::~TInstanceServer()
{
    // The connections under way, the only children, go while the counter they keep is there.
    const QObjectList connections = children();
    qDeleteAll(connections);
    if (impl_->listening.get() < 0)
        return;
    impl_->notifier.reset();
    impl_->listening.reset();
    ::unlink(QFile::encodeName(impl_->name).constData());
    // The folder made for want of a runtime folder goes with the last Marlo that used it.
    const QString folder = QFileInfo(impl_->name).path();
    if (QFileInfo(folder).fileName() == fallbackFolderName())
        QDir().rmdir(folder);
}

bool TInstanceServer::Listen(const QString& name)
{
    sockaddr_un address;
    if (name.isEmpty() || !addressOf(name, address))
        return false;
    {
        const Descriptor probe(connectTo(name, QDeadlineTimer(kProbeTimeoutMs)));
        if (probe.get() >= 0)
            return false;
    }
    // Nothing answers there, so a socket file left under the name is a killed Marlo's.
    ::unlink(address.sun_path);
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return false;
    // Only this user may connect, whatever the folder allows.
    if (::chmod(address.sun_path, 0600) != 0 || ::listen(fd.get(), kMaxConnections) != 0) {
        ::unlink(address.sun_path);
        return false;
    }
    impl_->name = name;
    impl_->notifier = std::make_unique<QSocketNotifier>(fd.get(), QSocketNotifier::Read);
    impl_->listening.reset(fd.release());
    connect(impl_->notifier.get(), &QSocketNotifier::activated, this, [this] { accept(); });
    return true;
}

void TInstanceServer::accept()
{
    for (;;) {
        const int fd = ::accept4(impl_->listening.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        // Starts connected at once beyond these are turned away until these are done.
        if (impl_->connections >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        auto* connection = new TInstanceConnection(fd, this);
        ++impl_->connections;
        connect(connection, &QObject::destroyed, this, [this] { --impl_->connections; });
        connect(&connection->notifier(), &QSocketNotifier::activated, connection, [this, connection] {
            const bool open = connection->read(connection->received);
            const THandOver message = receive(connection->received);
            if (message == THandOver::Incomplete && open)
                return;
            if (message == THandOver::Whole)
                connection->answer();
            connection->notifier().setEnabled(false);
            connection->deleteLater();
        });
    }
}

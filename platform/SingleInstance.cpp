// SPDX-License-Identifier: MIT
// What the hand-over of files to a running Marlo is on every system: the message, the token of
// the start, and how the window that takes the files comes to the front.
#include "platform/SingleInstance.h"

#include <QDir>
#include <QGuiApplication>
#include <QStringDecoder>
#include <QWidget>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <memory>

#if MARLO_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

const QByteArray kMagic = QByteArrayLiteral("MRLO");

void appendNumber(QByteArray& out, quint32 number)
{
    char bytes[4];
    qToBigEndian(number, bytes);
    out.append(bytes, 4);
}

#if MARLO_HAVE_XCB
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(xcb_intern_atom_reply(connection, cookie, nullptr),
                                                                    free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The launcher of the start that handed its files over shows a busy pointer until a window of
// that start appears, which never happens: the window that took the files tells it the start is
// done (startup notification's "remove"), and asks the window manager for the focus at the time
// of the user's launch, which the startup id carries ("..._TIME<n>"). A window manager that
// prevents focus stealing trusts that time, not the older one of this program's last event.
void finishStartupOnX11(QWidget* window, const QByteArray& id)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window->windowHandle())
        return;
    xcb_connection_t* connection = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const auto w = xcb_window_t(window->winId());

    const QByteArray message = QByteArrayLiteral("remove: ID=") + id + '\0';
    const xcb_atom_t begin = internAtom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = internAtom(connection, "_NET_STARTUP_INFO");
    for (qsizetype at = 0; at < message.size(); at += 20) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = w;
        event.type = at == 0 ? begin : more;
        std::memcpy(event.data.data8, message.constData() + at, size_t(std::min<qsizetype>(20, message.size() - at)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
    }

    const qsizetype time = id.lastIndexOf("_TIME");
    bool valid = false;
    const uint stamp = time < 0 ? 0 : id.mid(time + 5).toUInt(&valid);
    if (valid && stamp != 0) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = w;
        event.type = internAtom(connection, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 1; // from an application
        event.data.data32[1] = stamp;
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(connection);
}
#endif

// A token travels into the startup notification's text unquoted: printable ASCII without
// blanks, quotes or backslashes, which is what launchers and compositors hand out.
bool isSoundToken(const QByteArray& token)
{
    return token.size() <= kMaxTokenBytes &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7F && c != '"' && c != '\\'; });
}

} // namespace

QByteArray EncodeHandOver(const QStringList& files, const QByteArray& token)
{
    QByteArray out = kMagic;
    appendNumber(out, kHandOverVersion);
    appendNumber(out, quint32(token.size()));
    out += token;
    appendNumber(out, quint32(files.size()));
    for (const QString& file : files) {
        const QByteArray path = file.toUtf8();
        if (path.isEmpty() || path.size() > kMaxPathBytes)
            return {};
        appendNumber(out, quint32(path.size()));
        out += path;
        if (out.size() > kMaxHandOverBytes)
            return {};
    }
    return out;
}

THandOver DecodeHandOver(const QByteArray& data, QStringList& files, QByteArray& token)
{
    qsizetype at = 0;
    const auto has = [&](qint64 n) { return data.size() - at >= n; };
    const auto number = [&] {
        const quint32 n = qFromBigEndian<quint32>(data.constData() + at);
        at += 4;
        return n;
    };
    if (!has(4))
        return kMagic.startsWith(data) ? THandOver::Incomplete : THandOver::Malformed;
    if (data.left(4) != kMagic)
        return THandOver::Malformed;
    at = 4;
    if (!has(8))
        return THandOver::Incomplete;
    const quint32 version = number();
    const quint32 tokenLength = number();
    if (version != kHandOverVersion || tokenLength > quint32(kMaxTokenBytes))
        return THandOver::Malformed;
    if (!has(qint64(tokenLength) + 4))
        return THandOver::Incomplete;
    token = data.mid(at, tokenLength);
    at += tokenLength;
    const quint32 count = number();
    if (!isSoundToken(token) || count < 1 || count > quint32(kMaxFiles))
        return THandOver::Malformed;
    files.clear();
    for (quint32 i = 0; i < count; ++i) {
        if (!has(4))
            return THandOver::Incomplete;
        const quint32 length = number();
        if (length < 1 || length > quint32(kMaxPathBytes))
            return THandOver::Malformed;
        if (!has(length))
            return THandOver::Incomplete;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString path = utf8(QByteArrayView(data.constData() + at, length));
        at += length;
        // Only whole paths of files: a relative one would be taken against this program's
        // folder, not the sender's. A block request ("--block=WxH+X+Y", whose geometry the
        // window that opens it checks) names no file: it asks for a block of the next one.
        if (utf8.hasError() || path.contains(QChar(0)) ||
            !(QDir::isAbsolutePath(path) || path.startsWith(QLatin1String(kHandOverBlockPrefix))))
            return THandOver::Malformed;
        files << path;
    }
    return at == data.size() ? THandOver::Whole : THandOver::Malformed;
}

QByteArray ReadStartupToken(int argc, char* argv[])
{
#ifndef Q_OS_WIN
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-display") == 0 || std::strcmp(argv[i], "--display") == 0)
            qputenv("DISPLAY", argv[i + 1]);
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
#endif
    QByteArray token = qgetenv("DESKTOP_STARTUP_ID");
    if (token.isEmpty())
        token = qgetenv("XDG_ACTIVATION_TOKEN");
    return isSoundToken(token) ? token : QByteArray();
}

bool HandFilesOver(const QString& name, const QStringList& files, const QByteArray& token)
{
    if (name.isEmpty() || files.isEmpty() || files.size() > kMaxFiles)
        return false;
    const QByteArray message = EncodeHandOver(files, isSoundToken(token) ? token : QByteArray());
    return !message.isEmpty() && SendHandOver(name, message);
}

THandOver TInstanceServer::receive(const QByteArray& received)
{
    QStringList files;
    QByteArray token;
    const THandOver message = received.size() > kMaxHandOverBytes ? THandOver::Malformed
                                                                  : DecodeHandOver(received, files, token);
    if (message == THandOver::Whole)
        QMetaObject::invokeMethod(
            this,
            [this, files, token] {
                if (OnFilesHandedOver)
                    OnFilesHandedOver(files, token);
            },
            Qt::QueuedConnection);
    return message;
}

void BringToFront(QWidget* window, const QByteArray& token)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    if (!token.isEmpty() && isSoundToken(token)) {
#if MARLO_HAVE_XCB
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            finishStartupOnX11(window, token);
#endif
        // Qt's Wayland plugin, in the versions that look there, hands the token to the
        // compositor with the next activation.
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            qputenv("XDG_ACTIVATION_TOKEN", token);
    }
    window->activateWindow();
}

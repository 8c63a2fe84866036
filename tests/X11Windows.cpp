// SPDX-License-Identifier: MIT
#include "X11Windows.h"

#include <QElapsedTimer>
#include <QTest>
#include <QVector>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace {

struct Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    explicit Connection(const QString& display = QString())
    {
        c = xcb_connect(display.isEmpty() ? nullptr : display.toLocal8Bit().constData(), nullptr);
        if (xcb_connection_has_error(c))
            return;
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    }
    ~Connection() { xcb_disconnect(c); }
    bool ok() const { return root != 0; }

    xcb_atom_t atom(const char* name) const
    {
        const auto cookie = xcb_intern_atom(c, 0, uint16_t(strlen(name)), name);
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(xcb_intern_atom_reply(c, cookie, nullptr), free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // The raw bytes of a property, at most 64 KiB of it.
    QByteArray property(xcb_window_t w, xcb_atom_t name, xcb_atom_t type) const
    {
        const auto cookie = xcb_get_property(c, 0, w, name, type, 0, 16384);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(xcb_get_property_reply(c, cookie, nullptr), free);
        if (!reply || reply->type == XCB_ATOM_NONE)
            return QByteArray();
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

    bool viewable(xcb_window_t w) const
    {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> reply(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), free);
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }
};

template <typename T>
QVector<T> valuesOf(const QByteArray& bytes)
{
    QVector<T> out(bytes.size() / qsizetype(sizeof(T)));
    if (!out.isEmpty())
        memcpy(out.data(), bytes.constData(), size_t(out.size()) * sizeof(T));
    return out;
}

QString findWindow(const Connection& x, qint64 pid, const QString& title)
{
    const xcb_atom_t clients = x.atom("_NET_CLIENT_LIST"), wmPid = x.atom("_NET_WM_PID");
    const xcb_atom_t wmName = x.atom("_NET_WM_NAME"), utf8 = x.atom("UTF8_STRING");
    for (const xcb_window_t w : valuesOf<xcb_window_t>(x.property(x.root, clients, XCB_ATOM_WINDOW))) {
        const QVector<uint32_t> owner = valuesOf<uint32_t>(x.property(w, wmPid, XCB_ATOM_CARDINAL));
        if (owner.isEmpty() || owner.first() != pid)
            continue;
        if (QString::fromUtf8(x.property(w, wmName, utf8)) == title && x.viewable(w))
            return QString::number(w);
    }
    return QString();
}

// Whether a viewable window of the process titled title lies among the root's children or theirs
// (a window manager puts each client in a frame of its own).
bool mappedInTree(const Connection& x, qint64 pid, const QString& title)
{
    const xcb_atom_t wmPid = x.atom("_NET_WM_PID"), wmName = x.atom("_NET_WM_NAME"), utf8 = x.atom("UTF8_STRING");
    const auto children = [&x](xcb_window_t w) {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> reply(xcb_query_tree_reply(x.c, xcb_query_tree(x.c, w), nullptr), free);
        QVector<xcb_window_t> out;
        if (reply)
            out = QVector<xcb_window_t>(xcb_query_tree_children(reply.get()),
                                        xcb_query_tree_children(reply.get()) + xcb_query_tree_children_length(reply.get()));
        return out;
    };
    for (const xcb_window_t top : children(x.root)) {
        const QVector<xcb_window_t> windows = children(top) << top;
        for (const xcb_window_t w : windows) {
            const QVector<uint32_t> owner = valuesOf<uint32_t>(x.property(w, wmPid, XCB_ATOM_CARDINAL));
            if (!owner.isEmpty() && owner.first() == pid && QString::fromUtf8(x.property(w, wmName, utf8)) == title &&
                x.viewable(w))
                return true;
        }
    }
    return false;
}

} // namespace

QString WaitForProcessWindow(qint64 pid, const QString& title, int timeoutMs, const QString& display)
{
    const Connection x(display);
    if (!x.ok())
        return QString();
    QElapsedTimer clock;
    clock.start();
    do {
        const QString id = findWindow(x, pid, title);
        if (!id.isEmpty())
            return id;
        QTest::qWait(50);
    } while (clock.elapsed() < timeoutMs);
    return QString();
}

bool WaitForInputFocus(qint64 pid, const QString& title, const QString& display, int timeoutMs)
{
    const Connection x(display);
    if (!x.ok())
        return false;
    const xcb_atom_t wmPid = x.atom("_NET_WM_PID"), wmName = x.atom("_NET_WM_NAME"), utf8 = x.atom("UTF8_STRING");
    return QTest::qWaitFor(
        [&] {
            std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&free)> reply(
                xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr), free);
            if (!reply)
                return false;
            const QVector<uint32_t> owner = valuesOf<uint32_t>(x.property(reply->focus, wmPid, XCB_ATOM_CARDINAL));
            return !owner.isEmpty() && owner.first() == pid &&
                   QString::fromUtf8(x.property(reply->focus, wmName, utf8)) == title;
        },
        timeoutMs);
}

bool WaitForWindowGone(qint64 pid, const QString& title, const QString& display, int timeoutMs)
{
    const Connection x(display);
    return x.ok() && QTest::qWaitFor([&] { return !mappedInTree(x, pid, title); }, timeoutMs);
}

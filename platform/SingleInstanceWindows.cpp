// SPDX-License-Identifier: MIT
// The hand-over on Windows: a named pipe of the user and the session, served with overlapped
// input and output in the event loop (the Qt for Windows that Marlo ships has no Qt Network).
#include <QDeadlineTimer>
#include <QTimer>
#include <QWinEventNotifier>
#include <algorithm>
#include <string>
#include <windows.h>
#include <sddl.h>

#include "platform/SingleInstance.h"

namespace {

std::wstring pipePath(const QString& name)
{
    return (QStringLiteral("\\\\.\\pipe\\") + name).toStdWString();
}

// The SID of the user a process runs as, as text; empty when it cannot be read.
QString userSidOf(HANDLE process)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    QString sid;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    QByteArray buffer(qsizetype(size), 0);
    LPWSTR text = nullptr;
    if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = QString::fromWCharArray(text);
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}

DWORD currentSession()
{
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return session;
}

// Pipe names are the machine's, not the user's: another user could make a pipe of this name
// first. The files go only to a Marlo of this user in this session, which is then allowed to take
// the foreground, as Windows lets only the program the user just started allow it.
bool serverIsThisUsers(HANDLE pipe)
{
    ULONG pid = 0;
    DWORD session = 0;
    if (!::GetNamedPipeServerProcessId(pipe, &pid) || !::ProcessIdToSessionId(pid, &session) ||
        session != currentSession())
        return false;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return false;
    const QString sid = userSidOf(process);
    ::CloseHandle(process);
    if (sid.isEmpty() || sid != userSidOf(::GetCurrentProcess()))
        return false;
    ::AllowSetForegroundWindow(pid);
    return true;
}

// One read or write of the whole buffer on an overlapped pipe, given up at the deadline.
bool transfer(HANDLE pipe, bool write, char* data, DWORD size, const QDeadlineTimer& deadline)
{
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event)
        return false;
    bool done = true;
    for (DWORD moved = 0; done && moved < size;) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event;
        const BOOL started = write ? ::WriteFile(pipe, data + moved, size - moved, nullptr, &overlapped)
                                   : ::ReadFile(pipe, data + moved, size - moved, nullptr, &overlapped);
        if (!started && ::GetLastError() != ERROR_IO_PENDING) {
            done = false;
            break;
        }
        if (::WaitForSingleObject(event, DWORD(deadline.remainingTime())) != WAIT_OBJECT_0)
            ::CancelIo(pipe);
        DWORD count = 0;
        done = ::GetOverlappedResult(pipe, &overlapped, &count, TRUE) && count > 0;
        moved += count;
    }
    ::CloseHandle(event);
    return done;
}

} // namespace

QString InstanceName()
{
    const QString sid = userSidOf(::GetCurrentProcess());
    return sid.isEmpty() ? QString() : QStringLiteral("marlo-%1-%2").arg(sid).arg(currentSession());
}

bool SendHandOver(const QString& name, const QByteArray& message)
{
    if (name.isEmpty() || message.isEmpty())
        return false;
    const QDeadlineTimer deadline(kHandOverTimeoutMs);
    const std::wstring path = pipePath(name);
    HANDLE pipe = INVALID_HANDLE_VALUE;
    // The running Marlo serves one start at a time; the others wait their turn.
    while ((pipe = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr)) == INVALID_HANDLE_VALUE) {
        if (::GetLastError() != ERROR_PIPE_BUSY || deadline.hasExpired())
            return false;
        ::WaitNamedPipeW(path.c_str(), DWORD(std::max<qint64>(1, deadline.remainingTime())));
    }
    QByteArray out = message;
    char answer = 0;
    const bool accepted = serverIsThisUsers(pipe) && transfer(pipe, true, out.data(), DWORD(out.size()), deadline) &&
                          transfer(pipe, false, &answer, 1, deadline) && answer == kHandOverAccepted;
    ::CloseHandle(pipe);
    return accepted;
}

// One pipe instance: it waits for a start, reads its message, answers, waits for the start to
// go, and waits for the next one.
struct TInstanceServer::Impl {
    enum class TStep { Connecting, Reading, Answered };

    TInstanceServer* owner = nullptr;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    OVERLAPPED overlapped = {};
    QWinEventNotifier* notifier = nullptr;
    QTimer deadline;
    TStep step = TStep::Connecting;
    // Whether overlapped holds an operation the system has not finished with. An operation that
    // failed at once leaves overlapped as it was, or marked pending (Wine), so this is kept here
    // and not read from overlapped.
    bool pending = false;
    QByteArray received;
    char chunk[4096] = {};

    ~Impl()
    {
        if (pipe != INVALID_HANDLE_VALUE) {
            finishPending();
            ::CloseHandle(pipe);
        }
        delete notifier;
        if (event)
            ::CloseHandle(event);
    }

    bool started(BOOL result)
    {
        return result || ::GetLastError() == ERROR_IO_PENDING;
    }

    // An operation on overlapped: whether the event will tell its end.
    bool begin(BOOL result)
    {
        pending = started(result);
        return pending;
    }

    void waitForStart()
    {
        deadline.stop();
        received.clear();
        step = TStep::Connecting;
        overlapped = {};
        overlapped.hEvent = event;
        ::ResetEvent(event);
        const BOOL result = ::ConnectNamedPipe(pipe, &overlapped);
        const DWORD error = ::GetLastError();
        pending = result || error == ERROR_IO_PENDING;
        if (!result && error == ERROR_PIPE_CONNECTED)
            startReading();
        else if (!result && error != ERROR_IO_PENDING)
            // A start that came and went before the instance was ready: try again shortly.
            QTimer::singleShot(100, notifier, [this] { letGo(); });
    }

    void startReading()
    {
        step = TStep::Reading;
        deadline.start(kHandOverTimeoutMs);
        read();
    }

    void read()
    {
        overlapped = {};
        overlapped.hEvent = event;
        ::ResetEvent(event);
        if (!begin(::ReadFile(pipe, chunk, sizeof chunk, nullptr, &overlapped)))
            letGo();
    }

    // The start is done or misbehaved: the instance is free for the next one.
    void finishPending()
    {
        if (!pending)
            return;
        ::CancelIo(pipe);
        DWORD count = 0;
        ::GetOverlappedResult(pipe, &overlapped, &count, TRUE);
        pending = false;
    }

    void letGo()
    {
        finishPending();
        ::DisconnectNamedPipe(pipe);
        waitForStart();
    }

    void completed()
    {
        DWORD count = 0;
        const bool ok = ::GetOverlappedResult(pipe, &overlapped, &count, FALSE);
        if (!ok && ::GetLastError() == ERROR_IO_INCOMPLETE)
            return; // not this operation's end
        pending = false;
        switch (step) {
        case TStep::Connecting:
            return ok ? startReading() : letGo();
        case TStep::Reading:
            if (!ok)
                return letGo();
            received.append(chunk, count);
            switch (owner->receive(received)) {
            case THandOver::Incomplete:
                return read();
            case THandOver::Malformed:
                return letGo();
            case THandOver::Whole:
                break;
            }
            // The answer is one byte, which the pipe's buffer takes at once. Disconnecting now
            // would throw it away unread, so the instance waits for the start to close its end.
            {
                DWORD written = 0;
                OVERLAPPED answer = {};
                HANDLE answered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
                answer.hEvent = answered;
                if (started(::WriteFile(pipe, &kHandOverAccepted, 1, nullptr, &answer))) {
                    if (::WaitForSingleObject(answered, 1000) != WAIT_OBJECT_0)
                        ::CancelIo(pipe);
                    ::GetOverlappedResult(pipe, &answer, &written, TRUE);
                }
                ::CloseHandle(answered);
            }
            step = TStep::Answered;
            return read();
        case TStep::Answered:
            return letGo();
        }
    }
};

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>())
{
    impl_->owner = this;
    impl_->deadline.setSingleShot(true);
    connect(&impl_->deadline, &QTimer::timeout, this, [this] { impl_->letGo(); });
}

TInstanceServer::~TInstanceServer() = default;

bool TInstanceServer::Listen(const QString& name)
{
    if (name.isEmpty() || impl_->pipe != INVALID_HANDLE_VALUE)
        return false;
    const std::wstring sid = userSidOf(::GetCurrentProcess()).toStdWString();
    // Only this user may open the pipe (protected DACL: nothing inherited).
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (sid.empty() ||
        !::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    // The first instance only: where a Marlo already serves, it keeps serving.
    impl_->pipe = ::CreateNamedPipeW(pipePath(name).c_str(),
                                     PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                     PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                     4096, 4096, 0, &security);
    ::LocalFree(descriptor);
    if (impl_->pipe == INVALID_HANDLE_VALUE)
        return false;
    impl_->event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    impl_->notifier = new QWinEventNotifier(impl_->event);
    connect(impl_->notifier, &QWinEventNotifier::activated, this, [this] { impl_->completed(); });
    impl_->waitForStart();
    return true;
}

// SPDX-License-Identifier: MIT
#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

// One Marlo per user and desktop session: a start with files hands them to the Marlo already
// running there, through a local socket (a named pipe on Windows) that only this user reaches.
//
// What a start sends, every number an unsigned 32-bit big-endian integer:
//   "MRLO", version 1, the length of the activation token (0 to kMaxTokenBytes) and its bytes,
//   the number of files (1 to kMaxFiles), then for each file the length of its absolute path in
//   UTF-8 (1 to kMaxPathBytes) and its bytes. An entry may instead be kHandOverBlockPrefix and a
//   block "WxH+X+Y": it asks for that block of the file that follows.
// The running Marlo answers the one byte kHandOverAccepted once the message is whole and sound,
// and drops the connection without a word at anything else.
constexpr quint32 kHandOverVersion = 1;
constexpr int kMaxTokenBytes = 512;
constexpr int kMaxFiles = 4096;
constexpr int kMaxPathBytes = 32768;
constexpr int kMaxHandOverBytes = 4 * 1024 * 1024;
constexpr char kHandOverAccepted = 'K';
// How long a start waits for the running Marlo's answer before it opens the files itself; the
// running Marlo lets go of a connection that has not brought a whole message by then.
constexpr int kHandOverTimeoutMs = 5000;
constexpr char kHandOverBlockPrefix[] = "--block=";

// The message of a hand-over, in the form above; empty when a path is empty or too long.
QByteArray EncodeHandOver(const QStringList& files, const QByteArray& token);
enum class THandOver { Incomplete, Malformed, Whole };
// Reads what a start sent so far; files and token are set when it is Whole. Every length is
// checked against its limit before it is believed, and only absolute paths (and block requests)
// in sound UTF-8 pass.
THandOver DecodeHandOver(const QByteArray& data, QStringList& files, QByteArray& token);

// The name the running Marlo listens under. On Linux a socket in the user's runtime folder
// ($XDG_RUNTIME_DIR, else a folder of the user's own in the temporary folder), named after the
// X display or the Wayland socket the program shows on, so that two sessions of one user do not
// meet; on Windows a pipe named after the user's SID and the session. Empty where no folder of
// the user's alone is found. Needs the application object: the name follows its platform.
QString InstanceName();

// What lets the running Marlo take the focus for a later start: X11's startup id or Wayland's
// activation token. Read before the application object is made, which takes X11's for its own
// first window. Qt's -display option is made the DISPLAY of the process here, so that the
// instance name follows the display the program really shows on.
QByteArray ReadStartupToken(int argc, char* argv[]);

// Hands the files (absolute paths) and the token to the Marlo listening under name. True once it
// has taken them; false when none listens, when it is not this user's, or when it does not
// answer within kHandOverTimeoutMs: the caller then opens them itself.
bool HandFilesOver(const QString& name, const QStringList& files, const QByteArray& token);
// Sends one message as it is (HandFilesOver's own step): true when the running Marlo answered
// kHandOverAccepted.
bool SendHandOver(const QString& name, const QByteArray& message);

// The running Marlo's end.
class TInstanceServer : public QObject {
    Q_OBJECT
public:
    explicit TInstanceServer(QObject* parent = nullptr);
    ~TInstanceServer() override;

    // Listens under name, unless a Marlo already answers there (the first one started keeps
    // serving). A socket that a killed Marlo left behind is removed once a connection to it has
    // failed.
    bool Listen(const QString& name);

    // Called from the event loop with the files of each hand-over, in order, and the token of
    // the start that sent them.
    std::function<void(const QStringList& Files, const QByteArray& Token)> OnFilesHandedOver;

private:
    struct Impl; // the system's end of the connections: SingleInstancePosix.cpp, SingleInstanceWindows.cpp
    // What the bytes a connection brought so far amount to; a Whole message's files are handed
    // on once the event loop runs again, since opening them may show a message box.
    THandOver receive(const QByteArray& received);
    // Takes the starts waiting to connect (Unix; Windows' pipes announce themselves).
    void accept();

    std::unique_ptr<Impl> impl_;
};

// Brings the window to the front for the start that sent token: out of the minimized state,
// raised and activated, with the token where the window system asks for one.
void BringToFront(QWidget* window, const QByteArray& token);

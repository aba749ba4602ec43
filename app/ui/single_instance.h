// One running Quillmere per user. A lock file in the user's runtime folder, held with flock by
// the running instance, decides who is first; the first listens on a local socket beside it for
// the messages of later starts and of the hand-over producer. The converting marker is a lock
// file of the same kind.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace qm {

inline constexpr char SingleInstanceName[] = "QUILLMERE_VERSION_1_0";
inline constexpr char ConvertingMarkerName[] = "QUILLMERE_VERSION_1_0_IS_CONVERTING";
// Serialises hand-over producers: each one writes the list and waits for its answer alone.
inline constexpr char HandOverLockName[] = "QUILLMERE_VER_1_0.handover";
// The message that makes the running instance read the hand-over list.
inline constexpr char HandOverMessage[] = "QUILLMERE_VER_1_0";
// The message of a second start: come to the front.
inline constexpr char ActivateMessage[] = "QUILLMERE_VER_1_0 ACTIVATE";

// The user's runtime folder ($XDG_RUNTIME_DIR, or Qt's private per-user fallback); "" when
// there is none.
QString RuntimeFolder();
// The full path of the running instance's socket; never a bare name, which Qt would put into
// the temporary folder that every user shares.
QString InstanceSocketPath();

// A lock file in the runtime folder held with flock for the life of the object. It holds the
// holder's process id as text, for diagnostics. The file stays when the lock goes: removing it
// would let two processes lock two different files of the same name.
class TInstanceLock {
public:
    enum class TResult { lrAcquired, lrHeldElsewhere, lrUnavailable };

    // Takes the lock without waiting.
    static std::unique_ptr<TInstanceLock> TryAcquire(const QString& name,
                                                     TResult* result = nullptr);
    // Waits until the lock is free.
    static std::unique_ptr<TInstanceLock> Acquire(const QString& name);

    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    const QString& Path() const { return FilePath; }

private:
    TInstanceLock(int fd, QString path);
    static std::unique_ptr<TInstanceLock> Take(const QString& name, bool wait, TResult* result);

    int Fd;
    QString FilePath;
};

// Answers the messages that reach the running instance, one line each.
class TInstanceServer : public QObject {
    Q_OBJECT
public:
    // Writes one answer line to the sender; may be called later, or not at all.
    using TReply = std::function<void(const QByteArray& answer)>;
    using THandler = std::function<void(const QByteArray& message, const TReply& reply)>;

    enum class TListenResult { lrListening, lrOtherAnswers, lrFailed };

    explicit TInstanceServer(THandler handler, QObject* parent = nullptr);
    ~TInstanceServer() override;

    // Listens at the full path. A socket file left there is removed only after a connect to it
    // failed: one that answers belongs to a running instance.
    TListenResult Listen(const QString& socketPath);

private:
    void Accept();
    void Read(QLocalSocket* socket);

    QLocalServer* Server = nullptr;
    THandler Handler;
};

// Sends one message line and waits for the answer line. The connection is retried until
// `connectPatience` has passed (zero: one attempt); once connected, the answer is awaited for
// `answerPatience` (a hand-over is answered when its files have been added). Nothing when no
// instance answered.
std::optional<QByteArray>
SendInstanceMessage(const QString& socketPath, const QByteArray& message,
                    std::chrono::milliseconds connectPatience,
                    std::chrono::milliseconds answerPatience = std::chrono::seconds(30));

} // namespace qm

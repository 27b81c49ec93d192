// Notes from the server that another PC changed something: Firebird's events, heard on an
// attachment of their own so that the program's one connection keeps its transaction rules.
// The client library calls back on a thread of its own; the note reaches the owner's thread
// as a queued signal and nothing else happens there. A lost connection is opened again by
// itself with a bounded back-off.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QTimer;

class LiveEvents : public QObject
{
    Q_OBJECT

public:
    explicit LiveEvents(QObject *parent = nullptr);
    ~LiveEvents() override;

    // The database to listen on; empty stops listening. Listening starts with the first
    // name wanted.
    void SetDatabase(const QString &path);
    void SetCredentials(const QByteArray &user, const QByteArray &password);
    // Names are counted: every Want needs its Drop.
    void Want(const QString &name);
    void Drop(const QString &name);
    // Off, nothing is heard and the pollers alone find changes (as with another build).
    void SetEnabled(bool on);
    bool Enabled() const { return enabled; }

    // Whether every wanted name is armed on a live attachment.
    bool Listening() const;
    // The server's number of the attachment listened on; 0 when there is none.
    qint64 AttachmentId() const;
    // How often the attachment was found lost and opened again.
    int Reopened() const { return reopened; }

    // Pause before the n-th attempt to open a lost connection again, in milliseconds.
    static int BackOffMs(int attempt);
    // How often the attachment is asked whether it still lives.
    static constexpr int CheckMs = 2000;

    // The event names the program posts.
    static QString DrawingEvent(int drawing);
    static QString ChatEvent() { return QStringLiteral("HAROKAN_CHAT"); }
    static QString PresenceEvent() { return QStringLiteral("HAROKAN_PRESENCE"); }
    // The statement that posts name in the caller's transaction; empty for a name that is
    // not a plain event name.
    static QString PostStatement(const QString &name);

signals:
    // Another (or this) connection committed a transaction that posted name.
    void Posted(const QString &name);
    // The connection came back after it was lost: whatever was posted meanwhile is unknown,
    // so everything should be looked at once.
    void Resumed();

private:
    Q_INVOKABLE void TakeMail();
    void Open();
    void Close();
    void Lost();
    void Check();
    // Queues the block of the wanted names unless it is queued already.
    bool Arm();

    struct Impl;
    std::unique_ptr<Impl> d;
    QString path;
    QHash<QString, int> wanted;
    bool enabled = true;
    int attempt = 0;
    int reopened = 0;
    bool wasLost = false;
    QTimer *retry;
    QTimer *check;
};

// One window's interest in some names: its note comes for those names alone, and the names
// are dropped when the watch goes, also when the listener went first.
class LiveWatch : public QObject
{
    Q_OBJECT

public:
    LiveWatch(LiveEvents &live, QObject *parent);
    ~LiveWatch() override;
    void Add(const QString &name);
    void Clear();
    LiveEvents *Listener() const { return live; }

signals:
    // One of the names was posted, or the connection came back (an empty name).
    void Noted(const QString &name);

private:
    QPointer<LiveEvents> live;
    QStringList names;
};

#include "db/liveevents.h"

#include <QRegularExpression>
#include <QTimer>

#include "db/fbclient.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

using namespace Firebird;

namespace {

using fbclient::master;
using fbclient::Status;

// Seconds an attempt to reach the server may take before it counts as failed.
constexpr int ConnectSeconds = 3;

// What the client's thread hands over; taken on the owner's thread.
struct Mail
{
    quint64 serial;
    QByteArray data;
};

// One for each attachment, so that a callback of an attachment since closed can neither
// post nor be counted for the next one.
struct Mailbox
{
    std::mutex lock;
    // Cleared before the owner or the attachment goes: nothing is posted to it afterwards.
    LiveEvents *owner = nullptr;
    std::vector<Mail> mail;
    bool posted = false;
    // Calls with data that the client's event thread has finished. That thread handles one
    // packet at a time, so once the count has moved past a callback's retirement, no packet
    // taken for it before it was cancelled can still be on its way to it.
    quint64 finished = 0;
};

// Runs on the client library's threads: it copies what it was given and posts a note.
// Counted references: the client holds some of its own (its wrapper and its event record),
// but it can drop its last one while its event thread is about to call; so this side keeps
// one until that thread is known to be past it.
class Callback : public IEventCallbackImpl<Callback, ThrowStatusWrapper>
{
public:
    Callback(std::shared_ptr<Mailbox> box, quint64 serial) : box(std::move(box)), serial(serial)
    {}

    void eventCallbackFunction(unsigned length, const unsigned char *events) override
    {
        // Once the count below moves this object may go at any moment: the mailbox is held
        // here for the rest of the call, and nothing of this object is touched after it.
        const std::shared_ptr<Mailbox> keep = box;
        Mailbox &to = *keep;
        std::lock_guard<std::mutex> hold(to.lock);
        const bool data = events && length;
        if (to.owner) {
            // No data: the server went away, or the block was cancelled.
            to.mail.push_back({serial, data ? QByteArray(reinterpret_cast<const char *>(events),
                                                         int(length))
                                            : QByteArray()});
            if (!to.posted) {
                to.posted = true;
                QMetaObject::invokeMethod(to.owner, "TakeMail", Qt::QueuedConnection);
            }
        }
        // Only the event thread calls with data; a cancel calls without, on its own thread.
        if (data)
            ++to.finished;
    }

    void addRef() override { ++refs; }
    int release() override
    {
        const int left = --refs;
        if (left == 0)
            delete this;
        return left;
    }

private:
    const std::shared_ptr<Mailbox> box;
    const quint64 serial;
    std::atomic_int refs{1};
};

// All names in one block: the client library mixes up several blocks queued on one
// attachment when a delivered one is released, so there is only ever one.
constexpr int MostNames = 15;

struct Registration
{
    QStringList names;
    unsigned char *buffer = nullptr;
    unsigned char *result = nullptr;
    unsigned length = 0;
    IEvents *events = nullptr;
    Callback *callback = nullptr;
    quint64 serial = 0;
    bool first = true;
};

} // namespace

struct LiveEvents::Impl
{
    // The open attachment's; null without one.
    std::shared_ptr<Mailbox> box;
    IAttachment *att = nullptr;
    qint64 attachmentId = 0;
    Registration reg;
    // Callbacks no longer armed that the client's event thread may still be about to call,
    // with the mailbox's count of finished calls when they were retired.
    std::vector<std::pair<Callback *, quint64>> retired;
    quint64 nextSerial = 1;
    QByteArray user, password;

    void retire(Callback *c)
    {
        quint64 at = std::numeric_limits<quint64>::max();
        if (box) {
            std::lock_guard<std::mutex> hold(box->lock);
            at = box->finished;
        }
        retired.emplace_back(c, at);
    }

    // After the attachment is gone: a detach that worked has waited for the event thread.
    // One that failed may have left it running, and its callbacks stay for good (they hold
    // only their mailbox, which posts nowhere any more).
    void freeRetired(bool detached)
    {
        if (detached) {
            for (const auto &r : retired)
                r.first->release();
        }
        retired.clear();
    }

    // Lets go of the retired callbacks the event thread has gone past.
    void freeFinished()
    {
        if (!box)
            return;
        quint64 finished;
        {
            std::lock_guard<std::mutex> hold(box->lock);
            finished = box->finished;
        }
        std::erase_if(retired, [finished](const std::pair<Callback *, quint64> &r) {
            if (r.second >= finished)
                return false;
            r.first->release();
            return true;
        });
    }

    void drop(Registration &r, bool freeBuffers)
    {
        if (r.events) {
            try {
                Status st;
                // Done, the client lets go of the interface itself.
                r.events->cancel(&st);
            } catch (const FbException &) {
                // A dead attachment may still call back until it is gone.
                r.events->release();
            }
            r.events = nullptr;
        }
        if (r.callback) {
            retire(r.callback);
            r.callback = nullptr;
        }
        r.serial = 0;
        if (freeBuffers) {
            if (r.buffer)
                isc_free(reinterpret_cast<char *>(r.buffer));
            if (r.result)
                isc_free(reinterpret_cast<char *>(r.result));
            r.buffer = r.result = nullptr;
        }
        freeFinished();
    }

    bool queue(Registration &r)
    {
        if (!att || !box || r.names.isEmpty())
            return false;
        if (!r.buffer) {
            QByteArray bytes[MostNames];
            const char *n[MostNames] = {};
            const int count = int(std::min<qsizetype>(r.names.size(), MostNames));
            for (int i = 0; i < count; ++i) {
                bytes[i] = r.names[i].toLatin1();
                n[i] = bytes[i].constData();
            }
            r.length = unsigned(isc_event_block(&r.buffer, &r.result, ISC_USHORT(count), n[0],
                                                n[1], n[2], n[3], n[4], n[5], n[6], n[7], n[8],
                                                n[9], n[10], n[11], n[12], n[13], n[14]));
            if (!r.buffer || !r.result || r.length == 0)
                return false;
            r.first = true;
        }
        r.serial = nextSerial++;
        r.callback = new Callback(box, r.serial);
        try {
            Status st;
            r.events = att->queEvents(&st, r.callback, r.length, r.buffer);
            return r.events != nullptr;
        } catch (const FbException &) {
            retire(r.callback);
            r.callback = nullptr;
            r.serial = 0;
            return false;
        }
    }

    qint64 readAttachmentId()
    {
        const unsigned char items[] = {isc_info_attachment_id, isc_info_end};
        unsigned char buf[32] = {};
        try {
            Status st;
            att->getInfo(&st, sizeof items, items, sizeof buf, buf);
        } catch (const FbException &) {
            return 0;
        }
        if (buf[0] != isc_info_attachment_id)
            return 0;
        const int len = buf[1] | (buf[2] << 8);
        if (len <= 0 || len > 8)
            return 0;
        qint64 v = 0;
        for (int i = len - 1; i >= 0; --i)
            v = (v << 8) | buf[3 + i];
        return v;
    }
};

LiveEvents::LiveEvents(QObject *parent) : QObject(parent), d(new Impl)
{
    retry = new QTimer(this);
    retry->setSingleShot(true);
    connect(retry, &QTimer::timeout, this, &LiveEvents::Open);
    check = new QTimer(this);
    check->setInterval(CheckMs);
    connect(check, &QTimer::timeout, this, &LiveEvents::Check);
}

LiveEvents::~LiveEvents()
{
    Close();
}

void LiveEvents::SetCredentials(const QByteArray &user, const QByteArray &password)
{
    d->user = user;
    d->password = password;
}

void LiveEvents::SetDatabase(const QString &database)
{
    if (database == path && (d->att || retry->isActive() || database.isEmpty()))
        return;
    Close();
    path = database;
    attempt = 0;
    wasLost = false;
    Open();
}

void LiveEvents::Want(const QString &name)
{
    if (PostStatement(name).isEmpty())
        return;
    if (++wanted[name] > 1)
        return;
    if (d->att) {
        if (!Arm())
            Lost();
    } else if (!retry->isActive()) {
        Open();
    }
}

void LiveEvents::Drop(const QString &name)
{
    auto it = wanted.find(name);
    if (it == wanted.end())
        return;
    if (--it.value() > 0)
        return;
    wanted.erase(it);
    if (wanted.isEmpty()) {
        Close();
        retry->stop();
    } else if (d->att && !Arm()) {
        Lost();
    }
}

void LiveEvents::SetEnabled(bool on)
{
    if (on == enabled)
        return;
    enabled = on;
    retry->stop();
    attempt = 0;
    wasLost = false;
    if (on)
        Open();
    else
        Close();
}

bool LiveEvents::Listening() const
{
    if (!d->att || wanted.isEmpty())
        return false;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        if (!d->reg.events || !d->reg.names.contains(it.key()))
            return false;
    }
    return true;
}

qint64 LiveEvents::AttachmentId() const
{
    return d->att ? d->attachmentId : 0;
}

int LiveEvents::BackOffMs(int attempt)
{
    // 0.25 s, 0.5 s, 1 s, ... and never more than 8 s between tries.
    return 250 << std::clamp(attempt, 0, 5);
}

QString LiveEvents::DrawingEvent(int drawing)
{
    return QStringLiteral("HAROKAN_D") + QString::number(drawing);
}

QString LiveEvents::PostStatement(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Z][A-Z0-9_]{0,62}$"));
    if (!plain.match(name).hasMatch())
        return {};
    return QStringLiteral("EXECUTE BLOCK AS BEGIN POST_EVENT '") + name
           + QStringLiteral("'; END");
}

void LiveEvents::Open()
{
    if (d->att || path.isEmpty() || !enabled || wanted.isEmpty())
        return;
    try {
        Status st;
        IXpbBuilder *b =
            master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        b->insertString(&st, isc_dpb_user_name, d->user.constData());
        b->insertString(&st, isc_dpb_password, d->password.constData());
        b->insertInt(&st, isc_dpb_connect_timeout, ConnectSeconds);
        const QByteArray dpb(reinterpret_cast<const char *>(b->getBuffer(&st)),
                             int(b->getBufferLength(&st)));
        b->dispose();
        IProvider *prov = master()->getDispatcher();
        const QByteArray file = path.toLocal8Bit();
        try {
            d->att = prov->attachDatabase(&st, file.constData(), unsigned(dpb.size()),
                                          reinterpret_cast<const unsigned char *>(
                                              dpb.constData()));
        } catch (...) {
            prov->release();
            throw;
        }
        prov->release();
    } catch (const FbException &) {
        d->att = nullptr;
    }
    if (!d->att) {
        wasLost = true;
        retry->start(BackOffMs(attempt++));
        return;
    }
    d->box = std::make_shared<Mailbox>();
    d->box->owner = this;
    d->attachmentId = d->readAttachmentId();
    if (!Arm()) {
        Lost();
        return;
    }
    attempt = 0;
    check->start();
    if (wasLost) {
        wasLost = false;
        ++reopened;
        emit Resumed();
    }
}

void LiveEvents::Close()
{
    check->stop();
    if (d->box) {
        // From here on the attachment's callbacks post nothing, whenever they are called.
        std::lock_guard<std::mutex> hold(d->box->lock);
        d->box->owner = nullptr;
        d->box->mail.clear();
    }
    d->drop(d->reg, true);
    d->reg.names.clear();
    bool detached = true;
    if (d->att) {
        try {
            Status st;
            d->att->detach(&st);
        } catch (const FbException &) {
            d->att->release();
            detached = false;
        }
        d->att = nullptr;
    }
    d->attachmentId = 0;
    d->freeRetired(detached);
    d->box.reset();
}

void LiveEvents::Lost()
{
    Close();
    wasLost = true;
    if (enabled && !wanted.isEmpty())
        retry->start(BackOffMs(attempt++));
}

void LiveEvents::Check()
{
    if (!d->att)
        return;
    try {
        Status st;
        d->att->ping(&st);
    } catch (const FbException &) {
        Lost();
    }
}

bool LiveEvents::Arm()
{
    QStringList names = wanted.keys();
    names.sort();
    // Beyond the most one block holds, names are left to the polls.
    names = names.mid(0, MostNames);
    Registration &r = d->reg;
    if (r.events && r.names == names)
        return true;
    d->drop(r, true);
    r.names = names;
    return d->queue(r);
}

void LiveEvents::TakeMail()
{
    if (!d->box)
        return;
    std::vector<Mail> mail;
    {
        std::lock_guard<std::mutex> hold(d->box->lock);
        mail.swap(d->box->mail);
        d->box->posted = false;
    }
    QStringList posted;
    Registration &r = d->reg;
    for (const Mail &m : mail) {
        // A block since dropped or armed again.
        if (m.serial == 0 || m.serial != r.serial || !r.events)
            continue;
        if (m.data.isEmpty()) {
            Lost();
            return;
        }
        std::memcpy(r.result, m.data.constData(), std::min<size_t>(r.length, m.data.size()));
        ISC_ULONG counts[20] = {};
        isc_event_counts(counts, short(r.length), r.buffer, r.result);
        for (qsizetype i = 0; !r.first && i < r.names.size() && i < MostNames; ++i) {
            if (counts[i] > 0)
                posted << r.names[i];
        }
        r.first = false;
        // Delivered: the block is spent and is queued again with the new counts. It goes
        // first: the client hands its event record to the next block queued, and a
        // release after that would cancel the new block instead.
        r.events->release();
        r.events = nullptr;
        d->retire(r.callback);
        r.callback = nullptr;
        if (!d->queue(r)) {
            Lost();
            return;
        }
    }
    d->freeFinished();
    // A receiver may end this listener.
    const QPointer<LiveEvents> self(this);
    for (const QString &name : posted) {
        if (!self)
            return;
        if (wanted.contains(name))
            emit Posted(name);
    }
}

LiveWatch::LiveWatch(LiveEvents &listener, QObject *parent) : QObject(parent), live(&listener)
{
    connect(&listener, &LiveEvents::Posted, this, [this](const QString &name) {
        if (names.contains(name))
            emit Noted(name);
    });
    connect(&listener, &LiveEvents::Resumed, this, [this] {
        if (!names.isEmpty())
            emit Noted(QString());
    });
}

LiveWatch::~LiveWatch()
{
    Clear();
}

void LiveWatch::Add(const QString &name)
{
    if (!live || names.contains(name))
        return;
    names << name;
    live->Want(name);
}

void LiveWatch::Clear()
{
    if (live) {
        for (const QString &n : names)
            live->Drop(n);
    }
    names.clear();
}

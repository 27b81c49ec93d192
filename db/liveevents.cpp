#include "db/liveevents.h"

#include <QRegularExpression>
#include <QTimer>

#include "db/fbclient.h"

#include <atomic>
#include <cstring>
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

struct Mailbox
{
    std::mutex lock;
    LiveEvents *owner = nullptr;
    std::vector<Mail> mail;
    bool posted = false;
};

// Runs on the client library's thread: it copies what it was given and posts a note.
class Callback : public IEventCallbackImpl<Callback, ThrowStatusWrapper>
{
public:
    Callback(std::shared_ptr<Mailbox> box, quint64 serial) : box(std::move(box)), serial(serial)
    {}

    void eventCallbackFunction(unsigned length, const unsigned char *events) override
    {
        std::lock_guard<std::mutex> hold(box->lock);
        if (!box->owner)
            return;
        // No data: the server went away.
        box->mail.push_back({serial, events && length
                                         ? QByteArray(reinterpret_cast<const char *>(events),
                                                      int(length))
                                         : QByteArray()});
        if (!box->posted) {
            box->posted = true;
            QMetaObject::invokeMethod(box->owner, "TakeMail", Qt::QueuedConnection);
        }
    }

    void addRef() override { ++refs; }
    int release() override
    {
        if (--refs == 0) {
            delete this;
            return 0;
        }
        return 1;
    }

private:
    std::shared_ptr<Mailbox> box;
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
    std::shared_ptr<Mailbox> box = std::make_shared<Mailbox>();
    IAttachment *att = nullptr;
    qint64 attachmentId = 0;
    Registration reg;
    // Callbacks the client may still hold until the attachment is gone.
    std::vector<Callback *> retired;
    quint64 nextSerial = 1;
    QByteArray user, password;

    void drop(Registration &r, bool freeBuffers)
    {
        bool cancelled = !r.events;
        if (r.events) {
            try {
                Status st;
                r.events->cancel(&st);
                cancelled = true;
            } catch (const FbException &) {
                // A dead attachment may still call back until it is gone.
            }
            r.events->release();
            r.events = nullptr;
        }
        if (r.callback) {
            if (cancelled)
                r.callback->release();
            else
                retired.push_back(r.callback);
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
    }

    bool queue(Registration &r)
    {
        if (!att || r.names.isEmpty())
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
            retired.push_back(r.callback);
            r.callback = nullptr;
            r.serial = 0;
            return false;
        }
    }

    void freeRetired()
    {
        for (Callback *c : retired)
            c->release();
        retired.clear();
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
    d->box->owner = this;
    retry = new QTimer(this);
    retry->setSingleShot(true);
    connect(retry, &QTimer::timeout, this, &LiveEvents::Open);
    check = new QTimer(this);
    check->setInterval(CheckMs);
    connect(check, &QTimer::timeout, this, &LiveEvents::Check);
}

LiveEvents::~LiveEvents()
{
    {
        std::lock_guard<std::mutex> hold(d->box->lock);
        d->box->owner = nullptr;
    }
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
    d->drop(d->reg, true);
    d->reg.names.clear();
    if (d->att) {
        try {
            Status st;
            d->att->detach(&st);
        } catch (const FbException &) {
            d->att->release();
        }
        d->att = nullptr;
    }
    d->attachmentId = 0;
    d->freeRetired();
    std::lock_guard<std::mutex> hold(d->box->lock);
    d->box->mail.clear();
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
        // Delivered: the block is spent and is queued again with the new counts.
        r.events->release();
        r.events = nullptr;
        r.callback->release();
        r.callback = nullptr;
        if (!d->queue(r)) {
            Lost();
            return;
        }
    }
    for (const QString &name : posted) {
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

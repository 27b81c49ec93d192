#include "db/firebird.h"

#include "db/fbclient.h"

#include <QElapsedTimer>

#include <algorithm>
#include <charconv>
#include <cstring>

using namespace Firebird;

namespace fb {

namespace {

using fbclient::master;
using fbclient::Status;

QString describe(const FbException &e)
{
    char text[1024];
    master()->getUtilInterface()->formatStatus(text, sizeof text, e.getStatus());
    return QString::fromLocal8Bit(text);
}

// Whether any error code of the status is one of codes.
template<size_t N>
bool hasCode(const FbException &e, const intptr_t (&codes)[N])
{
    for (const intptr_t *v = e.getStatus()->getErrors(); *v != isc_arg_end;) {
        const intptr_t type = *v++;
        if (type == isc_arg_cstring) {
            v += 2;
            continue;
        }
        const intptr_t code = *v++;
        if (type == isc_arg_gds
            && std::find(std::begin(codes), std::end(codes), code) != std::end(codes))
            return true;
    }
    return false;
}

// A key another connection committed first. A row lock waited for in vain reports itself
// as an update conflict, so that is no collision.
bool isCollision(const FbException &e)
{
    static const intptr_t taken[] = {isc_unique_key_violation, isc_no_dup};
    return hasCode(e, taken);
}

// The server went away (stopped, restarted, the network cut) or ended this attachment: the
// attachment is dead, and only a new one can go on.
bool isConnectionLoss(const FbException &e)
{
    static const intptr_t lost[] = {isc_network_error, isc_net_read_err, isc_net_write_err,
                                    isc_lost_db_connection, isc_shutdown, isc_att_shutdown,
                                    isc_conn_lost, isc_bad_db_handle};
    return hasCode(e, lost);
}

QByteArray formatDouble(double v)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return QByteArray(buf, int(res.ptr - buf));
}

QByteArray formatScaled(qint64 v, int scale)
{
    if (scale >= 0) {
        QByteArray s = QByteArray::number(v);
        return scale == 0 || v == 0 ? s : s + QByteArray(scale, '0');
    }
    const bool negative = v < 0;
    QByteArray digits = QByteArray::number(negative ? -(quint64)v : (quint64)v);
    const int places = -scale;
    if (digits.size() <= places)
        digits.prepend(QByteArray(places - digits.size() + 1, '0'));
    digits.insert(digits.size() - places, '.');
    return negative ? "-" + digits : digits;
}

// Where and how one column lies in the output message, read once per statement.
struct Column
{
    unsigned type, offset, nullOffset, length;
    int scale;
    bool nullable;
};

std::vector<Column> describeColumns(IMessageMetadata *meta)
{
    Status st;
    std::vector<Column> cols(meta->getCount(&st));
    for (unsigned i = 0; i < cols.size(); ++i) {
        cols[i] = {meta->getType(&st, i) & ~1u, meta->getOffset(&st, i),
                   meta->getNullOffset(&st, i), meta->getLength(&st, i),
                   meta->getScale(&st, i), meta->isNullable(&st, i) != 0};
    }
    return cols;
}

// The column types a cell can be given for; any other (timestamps, times, blobs, arrays)
// fails the read instead of passing for an empty text.
bool readable(unsigned type)
{
    switch (type) {
    case SQL_VARYING:
    case SQL_TEXT:
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_BOOLEAN:
    case SQL_TYPE_DATE:
        return true;
    default:
        return false;
    }
}

template<typename T>
T load(const unsigned char *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

QByteArray formatCell(const Column &c, const unsigned char *buf)
{
    if (c.nullable && load<short>(buf + c.nullOffset))
        return {};
    const unsigned char *p = buf + c.offset;
    switch (c.type) {
    case SQL_VARYING:
        return QByteArray(reinterpret_cast<const char *>(p + 2), load<unsigned short>(p));
    case SQL_TEXT:
        return QByteArray(reinterpret_cast<const char *>(p), int(c.length));
    case SQL_SHORT:
        return formatScaled(load<qint16>(p), c.scale);
    case SQL_LONG:
        return formatScaled(load<qint32>(p), c.scale);
    case SQL_INT64:
        return formatScaled(load<qint64>(p), c.scale);
    case SQL_FLOAT:
        return formatDouble(load<float>(p));
    case SQL_DOUBLE:
        return formatDouble(load<double>(p));
    case SQL_BOOLEAN:
        return *p ? "1" : "0";
    case SQL_TYPE_DATE: {
        unsigned y, m, d;
        master()->getUtilInterface()->decodeDate(load<ISC_DATE>(p), &y, &m, &d);
        return QByteArray::number(y * 10000 + m * 100 + d);
    }
    default:
        return {};
    }
}

double scaled(qint64 v, int scale)
{
    double d = double(v);
    for (int i = scale; i < 0; ++i)
        d /= 10;
    for (int i = 0; i < scale; ++i)
        d *= 10;
    return d;
}

const std::vector<Column> &columnsOf(const void *p)
{
    return *static_cast<const std::vector<Column> *>(p);
}

// Ends a read transaction after a failure; one whose rollback fails too is released.
void abandon(ITransaction *t)
{
    if (!t)
        return;
    try {
        Status st;
        t->rollback(&st);
    } catch (const FbException &) {
        t->release();
    }
}

} // namespace

int Cells::count() const
{
    return int(columnsOf(columns).size());
}

bool Cells::null(int column) const
{
    const std::vector<Column> &cols = columnsOf(columns);
    if (column < 0 || size_t(column) >= cols.size())
        return true;
    const Column &c = cols[column];
    return c.nullable && load<short>(buffer + c.nullOffset) != 0;
}

double Cells::real(int column) const
{
    if (null(column))
        return 0;
    const Column &c = columnsOf(columns)[column];
    const unsigned char *p = buffer + c.offset;
    switch (c.type) {
    case SQL_SHORT:
        return scaled(load<qint16>(p), c.scale);
    case SQL_LONG:
        return scaled(load<qint32>(p), c.scale);
    case SQL_INT64:
        return scaled(load<qint64>(p), c.scale);
    case SQL_FLOAT:
        return load<float>(p);
    case SQL_DOUBLE:
        return load<double>(p);
    default:
        return 0;
    }
}

qint64 Cells::integer(int column) const
{
    if (null(column))
        return 0;
    const Column &c = columnsOf(columns)[column];
    const unsigned char *p = buffer + c.offset;
    if (c.scale == 0) {
        switch (c.type) {
        case SQL_SHORT:
            return load<qint16>(p);
        case SQL_LONG:
            return load<qint32>(p);
        case SQL_INT64:
            return load<qint64>(p);
        default:
            break;
        }
    }
    const double v = real(column);
    // Out of range and NaN give 0 rather than undefined behaviour.
    return v > -9.2e18 && v < 9.2e18 ? qint64(v) : 0;
}

QByteArray Cells::bytes(int column) const
{
    if (null(column))
        return {};
    const Column &c = columnsOf(columns)[column];
    const unsigned char *p = buffer + c.offset;
    if (c.type == SQL_VARYING)
        return QByteArray(reinterpret_cast<const char *>(p + 2), load<unsigned short>(p));
    if (c.type == SQL_TEXT)
        return QByteArray(reinterpret_cast<const char *>(p), int(c.length));
    return {};
}

struct Session::Impl
{
    IAttachment *att = nullptr;
    ITransaction *tra = nullptr;
    QString error;
    bool collision = false;
    // What attached, so that a lost attachment can be made again.
    QByteArray path;
    QByteArray params;
    bool lost = false;
    QElapsedTimer sinceTry;
    std::function<void(bool)> watcher;

    void fail(const FbException &e)
    {
        error = describe(e);
        collision = isCollision(e);
        if (isConnectionLoss(e) && att && !lost) {
            lost = true;
            sinceTry.invalidate();
            if (watcher)
                watcher(true);
        }
    }

    // The attachment, made again after a loss: at most one try every two seconds, so that
    // timers asking meanwhile neither wait nor flood the server.
    bool usable()
    {
        if (!att) {
            error = QStringLiteral("not attached");
            return false;
        }
        if (!lost)
            return true;
        if (sinceTry.isValid() && sinceTry.elapsed() < 2000) {
            error = QStringLiteral("connection lost");
            return false;
        }
        sinceTry.start();
        if (tra) {
            tra->release();
            tra = nullptr;
        }
        try {
            Status st;
            IProvider *prov = master()->getDispatcher();
            IAttachment *fresh = nullptr;
            try {
                fresh = prov->attachDatabase(&st, path.constData(), unsigned(params.size()),
                                             reinterpret_cast<const unsigned char *>(params.constData()));
            } catch (...) {
                prov->release();
                throw;
            }
            prov->release();
            att->release();
            att = fresh;
            lost = false;
            if (watcher)
                watcher(false);
            return true;
        } catch (const FbException &e) {
            error = describe(e);
            return false;
        }
    }

    static QByteArray dpb(const Credentials &who, int pageSize)
    {
        Status st;
        IXpbBuilder *b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB,
                                                                      nullptr, 0);
        b->insertString(&st, isc_dpb_user_name, who.user.constData());
        b->insertString(&st, isc_dpb_password, who.password.constData());
        if (pageSize > 0) {
            b->insertInt(&st, isc_dpb_page_size, pageSize);
            b->insertInt(&st, isc_dpb_sql_dialect, 3);
        }
        // A server that does not answer must not hold the program for minutes.
        b->insertInt(&st, isc_dpb_connect_timeout, 10);
        QByteArray out(reinterpret_cast<const char *>(b->getBuffer(&st)),
                       int(b->getBufferLength(&st)));
        b->dispose();
        return out;
    }

    ITransaction *begin(Session::Mode mode, int lockSeconds = 10)
    {
        // Writers wait a while for another PC's uncommitted row rather than failing at once,
        // but never forever.
        const unsigned char write[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_concurrency,
                                       isc_tpb_wait, isc_tpb_lock_timeout, 1,
                                       (unsigned char)std::clamp(lockSeconds, 1, 255)};
        const unsigned char latest[] = {isc_tpb_version3, isc_tpb_write,
                                        isc_tpb_read_committed, isc_tpb_rec_version,
                                        isc_tpb_wait, isc_tpb_lock_timeout, 1, write[6]};
        static const unsigned char read[] = {isc_tpb_version3, isc_tpb_read,
                                             isc_tpb_read_committed, isc_tpb_rec_version,
                                             isc_tpb_nowait};
        Status st;
        if (mode == Session::Mode::Write)
            return att->startTransaction(&st, sizeof write, write);
        if (mode == Session::Mode::WriteLatest)
            return att->startTransaction(&st, sizeof latest, latest);
        return att->startTransaction(&st, sizeof read, read);
    }

    // Empty on success, else why the rows cannot be read.
    QString fetchAll(ITransaction *t, const QByteArray &sql, Result &out)
    {
        Status st;
        IStatement *stmt = att->prepare(&st, t, 0, sql.constData(), 3,
                                        IStatement::PREPARE_PREFETCH_METADATA);
        IMessageMetadata *meta = nullptr;
        IResultSet *rs = nullptr;
        QString unreadable;
        try {
            meta = stmt->getOutputMetadata(&st);
            const std::vector<Column> cols = describeColumns(meta);
            out.columns = int(cols.size());
            out.rows.clear();
            for (unsigned i = 0; i < cols.size() && unreadable.isEmpty(); ++i) {
                if (!readable(cols[i].type)) {
                    unreadable = QStringLiteral("column %1 has type %2, which is not read as text")
                                     .arg(i + 1)
                                     .arg(cols[i].type);
                }
            }
            if (unreadable.isEmpty()) {
                std::vector<unsigned char> buf(meta->getMessageLength(&st) + 8);
                rs = stmt->openCursor(&st, t, nullptr, nullptr, meta, 0);
                while (rs->fetchNext(&st, buf.data()) == IStatus::RESULT_OK) {
                    Row row;
                    row.reserve(out.columns);
                    for (const Column &c : cols)
                        row.push_back(formatCell(c, buf.data()));
                    out.rows.push_back(std::move(row));
                }
                rs->close(&st);
                rs = nullptr;
            }
        } catch (...) {
            if (rs)
                rs->release();
            if (meta)
                meta->release();
            stmt->release();
            throw;
        }
        meta->release();
        stmt->free(&st);
        return unreadable;
    }
};

Session::Session() : d(new Impl) {}

Session::~Session()
{
    detach();
}

bool Session::create(const QByteArray &path, const Credentials &who, int pageSize)
{
    detach();
    try {
        const QByteArray params = Impl::dpb(who, pageSize);
        Status st;
        IProvider *prov = master()->getDispatcher();
        try {
            d->att = prov->createDatabase(&st, path.constData(), unsigned(params.size()),
                                          reinterpret_cast<const unsigned char *>(params.constData()));
        } catch (...) {
            prov->release();
            throw;
        }
        prov->release();
        d->path = path;
        d->params = Impl::dpb(who, 0);
        return true;
    } catch (const FbException &e) {
        d->error = describe(e);
        return false;
    }
}

bool Session::attach(const QByteArray &path, const Credentials &who)
{
    detach();
    try {
        const QByteArray params = Impl::dpb(who, 0);
        Status st;
        IProvider *prov = master()->getDispatcher();
        try {
            d->att = prov->attachDatabase(&st, path.constData(), unsigned(params.size()),
                                          reinterpret_cast<const unsigned char *>(params.constData()));
        } catch (...) {
            prov->release();
            throw;
        }
        prov->release();
        d->path = path;
        d->params = params;
        return true;
    } catch (const FbException &e) {
        d->error = describe(e);
        return false;
    }
}

void Session::detach()
{
    rollback();
    if (!d->att)
        return;
    if (d->lost) {
        // Nothing to say goodbye to.
        d->att->release();
        d->att = nullptr;
        d->lost = false;
        return;
    }
    try {
        Status st;
        d->att->detach(&st);
    } catch (const FbException &e) {
        d->error = describe(e);
        d->att->release();
    }
    d->att = nullptr;
}

bool Session::attached() const
{
    return d->att != nullptr;
}

bool Session::start(Mode mode, int lockSeconds)
{
    d->collision = false;
    rollback();
    if (!d->usable())
        return false;
    try {
        d->tra = d->begin(mode, lockSeconds);
        return true;
    } catch (const FbException &e) {
        d->fail(e);
        return false;
    }
}

bool Session::commit()
{
    d->collision = false;
    if (!d->tra) {
        d->error = QStringLiteral("no transaction");
        return false;
    }
    try {
        Status st;
        d->tra->commit(&st);
        d->tra = nullptr;
        return true;
    } catch (const FbException &e) {
        d->fail(e);
        rollback();
        return false;
    }
}

void Session::rollback()
{
    if (!d->tra)
        return;
    try {
        Status st;
        d->tra->rollback(&st);
    } catch (const FbException &e) {
        d->error = describe(e);
        d->tra->release();
    }
    d->tra = nullptr;
}

bool Session::active() const
{
    return d->tra != nullptr;
}

bool Session::execute(const QByteArray &sql)
{
    d->collision = false;
    if (!d->tra) {
        d->error = QStringLiteral("no transaction");
        return false;
    }
    try {
        Status st;
        d->att->execute(&st, d->tra, 0, sql.constData(), 3, nullptr, nullptr, nullptr, nullptr);
        return true;
    } catch (const FbException &e) {
        d->fail(e);
        return false;
    }
}

bool Session::executeEach(const QByteArray &sql, const std::vector<Row> &rows)
{
    d->collision = false;
    if (!d->tra) {
        d->error = QStringLiteral("no transaction");
        return false;
    }
    IStatement *stmt = nullptr;
    IMessageMetadata *meta = nullptr;
    try {
        Status st;
        stmt = d->att->prepare(&st, d->tra, 0, sql.constData(), 3, 0);
        IMessageMetadata *wanted = stmt->getInputMetadata(&st);
        const unsigned count = wanted->getCount(&st);
        wanted->release();
        unsigned longest = 1;
        for (const Row &row : rows) {
            if (row.size() != count) {
                stmt->free(&st);
                d->error = QStringLiteral("%1 values for %2 parameters").arg(row.size()).arg(count);
                return false;
            }
            for (const QByteArray &v : row)
                longest = std::max(longest, unsigned(v.size()));
        }
        IMetadataBuilder *builder = master()->getMetadataBuilder(&st, count);
        for (unsigned i = 0; i < count; ++i) {
            builder->setType(&st, i, SQL_VARYING);
            builder->setLength(&st, i, longest);
            builder->setCharSet(&st, i, 0);
        }
        meta = builder->getMetadata(&st);
        builder->release();
        std::vector<unsigned> offsets(count), nullOffsets(count);
        for (unsigned i = 0; i < count; ++i) {
            offsets[i] = meta->getOffset(&st, i);
            nullOffsets[i] = meta->getNullOffset(&st, i);
        }
        std::vector<unsigned char> buf(meta->getMessageLength(&st));
        for (const Row &row : rows) {
            for (unsigned i = 0; i < count; ++i) {
                const unsigned short length = (unsigned short)row[i].size();
                std::memcpy(buf.data() + offsets[i], &length, sizeof length);
                std::memcpy(buf.data() + offsets[i] + sizeof length, row[i].constData(), length);
                std::memset(buf.data() + nullOffsets[i], 0, sizeof(short));
            }
            stmt->execute(&st, d->tra, meta, buf.data(), nullptr, nullptr);
        }
        meta->release();
        stmt->free(&st);
        return true;
    } catch (const FbException &e) {
        d->fail(e);
        if (meta)
            meta->release();
        if (stmt)
            stmt->release();
        return false;
    }
}

bool Session::select(const QByteArray &sql, Result &out)
{
    d->collision = false;
    if (!d->tra) {
        d->error = QStringLiteral("no transaction");
        return false;
    }
    try {
        d->error = d->fetchAll(d->tra, sql, out);
        return d->error.isEmpty();
    } catch (const FbException &e) {
        d->fail(e);
        return false;
    }
}

bool Session::selectAside(const QByteArray &sql, Result &out)
{
    if (!d->usable())
        return false;
    ITransaction *t = nullptr;
    try {
        t = d->begin(Mode::Read);
        const QString unreadable = d->fetchAll(t, sql, out);
        Status st;
        t->commit(&st);
        d->error = unreadable;
        return unreadable.isEmpty();
    } catch (const FbException &e) {
        d->fail(e);
        abandon(t);
        return false;
    }
}

bool Session::readEach(const QByteArray &sql, const std::function<void(const Cells &)> &each)
{
    if (!d->usable())
        return false;
    ITransaction *t = nullptr;
    IStatement *stmt = nullptr;
    IMessageMetadata *meta = nullptr;
    IResultSet *rs = nullptr;
    try {
        Status st;
        t = d->begin(Mode::Read);
        stmt = d->att->prepare(&st, t, 0, sql.constData(), 3,
                               IStatement::PREPARE_PREFETCH_METADATA);
        meta = stmt->getOutputMetadata(&st);
        const std::vector<Column> cols = describeColumns(meta);
        std::vector<unsigned char> buf(meta->getMessageLength(&st) + 8);
        Cells cells;
        cells.columns = &cols;
        cells.buffer = buf.data();
        rs = stmt->openCursor(&st, t, nullptr, nullptr, meta, 0);
        while (rs->fetchNext(&st, buf.data()) == IStatus::RESULT_OK)
            each(cells);
        rs->close(&st);
        rs = nullptr;
        meta->release();
        meta = nullptr;
        stmt->free(&st);
        stmt = nullptr;
        t->commit(&st);
        return true;
    } catch (const FbException &e) {
        d->fail(e);
        if (rs)
            rs->release();
        if (meta)
            meta->release();
        if (stmt)
            stmt->release();
        abandon(t);
        return false;
    }
}

QString Session::lastError() const
{
    return d->error;
}

void Session::watchConnection(std::function<void(bool lost)> watcher)
{
    d->watcher = std::move(watcher);
}

bool Session::lastErrorWasCollision() const
{
    return d->collision;
}

} // namespace fb

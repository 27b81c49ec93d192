#include "db/database.h"

#include "db/textcodec.h"
#include "db/firebird.h"
#include "db/liveevents.h"
#include "db/sqltext.h"

#include <QFile>

namespace {

// The program's one database user.
fb::Credentials sysdba()
{
    return {QByteArrayLiteral("SYSDBA"), QByteArrayLiteral("tallowfen")};
}

// "a, b, c" as lines, each but the last ended by ",".
void addListLines(QStringList &lines, const QStringList &items, int count)
{
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("   ") + items[i] + (i + 1 < count ? QStringLiteral(",") : QString());
}

} // namespace

struct Database::Impl
{
    fb::Session session;
    fb::Result result;
    bool resultOpen = false;
    size_t cursor = 0;
    QStringList lastSql;
    QString lastError;
    QString path;
    std::unique_ptr<LiveEvents> live;

    bool connected() const { return session.attached(); }

    // The listener follows the connection to whichever database it goes.
    void follow(const QString &to)
    {
        path = to;
        if (live)
            live->SetDatabase(to);
    }

    // Sends the lines in the active transaction; a text CP932 cannot hold fails it.
    bool send(const QStringList &lines, fb::Result *rows)
    {
        lastSql = lines;
        const std::optional<QByteArray> sql = ToCp932(lines.join(u'\n'));
        if (!sql) {
            lastError = QStringLiteral("text that CP932 cannot hold");
            return false;
        }
        const bool ok = rows ? session.select(*sql, *rows) : session.execute(*sql);
        if (!ok)
            lastError = session.lastError();
        return ok;
    }

    void closeResult()
    {
        resultOpen = false;
        result = fb::Result();
        cursor = 0;
    }

    void closeQuery()
    {
        closeResult();
        session.rollback();
    }

    bool commitLines(const QStringList &lines)
    {
        closeQuery();
        bool ok = session.start(fb::Session::Mode::Write) && send(lines, nullptr)
                  && session.commit();
        if (!ok && lastError.isEmpty())
            lastError = session.lastError();
        closeQuery();
        return ok;
    }

    // Opens a reading result; false (with nothing open) on any error.
    bool read(const QStringList &lines)
    {
        closeQuery();
        lastError.clear();
        if (!session.start(fb::Session::Mode::Read)) {
            lastSql = lines;
            lastError = session.lastError();
            return false;
        }
        const bool sent = send(lines, &result);
        // The rows are all in memory: no transaction stays open while the caller goes
        // through them, whatever runs in between.
        session.rollback();
        if (!sent) {
            closeResult();
            return false;
        }
        resultOpen = true;
        cursor = 0;
        return true;
    }

    QStringList rowTexts(size_t index) const
    {
        QStringList texts;
        texts.reserve(result.columns);
        for (const QByteArray &cell : result.rows[index])
            texts << FromCp932(cell);
        return texts;
    }

    QStringList emptyRow() const
    {
        QStringList texts;
        for (int i = 0; i < result.columns; ++i)
            texts << QString();
        return texts;
    }

    static QStringList selectLines(const QString &columns, const QString &table,
                                   const QString &where)
    {
        QStringList lines{QStringLiteral("SELECT ") + columns + u' ',
                          QStringLiteral("   FROM ") + table + u' '};
        if (!where.isEmpty())
            lines << QStringLiteral("   WHERE ") + where + u' ';
        return lines;
    }
};

Database::Database() : d(new Impl) {}

Database::~Database() = default;

void Database::CreateDatabase(const QString &path)
{
    DisconnectDatabase();
    if (!d->session.create(QFile::encodeName(path), sysdba(), 4096))
        d->lastError = d->session.lastError();
    else
        d->follow(path);
}

void Database::WatchConnection(std::function<void(bool lost)> watcher)
{
    d->session.watchConnection(std::move(watcher));
}

void Database::ConnectDatabase(const QString &path)
{
    if (DatabaseConnected())
        return;
    DisconnectDatabase();
    if (!d->session.attach(QFile::encodeName(path), sysdba())) {
        d->lastError = d->session.lastError();
        DisconnectDatabase();
    } else {
        d->follow(path);
    }
}

void Database::DisconnectDatabase()
{
    d->closeQuery();
    d->session.detach();
    d->follow(QString());
}

LiveEvents &Database::Live()
{
    if (!d->live) {
        d->live = std::make_unique<LiveEvents>();
        const fb::Credentials who = sysdba();
        d->live->SetCredentials(who.user, who.password);
        d->live->SetDatabase(d->path);
    }
    return *d->live;
}

bool Database::PostEventNoCommit(const QString &name)
{
    const QString sql = LiveEvents::PostStatement(name);
    // The note is no statement of the caller's: the last one sent stays the caller's.
    const QStringList last = d->lastSql;
    const bool ok = !sql.isEmpty() && ExecSqlLinesNoCommit({sql});
    if (ok)
        d->lastSql = last;
    return ok;
}

fb::Session &Database::Connection()
{
    return d->session;
}

bool Database::DatabaseConnected() const
{
    return d->connected();
}

bool Database::TableExists(const QString &table)
{
    if (!DatabaseConnected())
        return false;
    // Names are stored in upper case, padded with blanks that "=" ignores.
    const std::optional<QByteArray> sql = ToCp932(
        QStringLiteral("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ")
        + SqlQuoted(table.toUpper())
        + QStringLiteral(" AND COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$VIEW_BLR IS NULL"));
    fb::Result found;
    if (!sql)
        return false;
    if (!d->session.selectAside(*sql, found)) {
        d->lastError = d->session.lastError();
        return false;
    }
    return !found.rows.empty();
}

bool Database::ExecSqlLines(const QStringList &lines)
{
    if (lines.isEmpty())
        return false;
    d->lastError.clear();
    return d->commitLines(lines);
}

bool Database::DropTable(const QString &table)
{
    if (!DatabaseConnected())
        return false;
    return ExecSqlLines({QStringLiteral("DROP TABLE ") + table + u';'});
}

bool Database::SqlInsert(const QString &table, int count, const QStringList &names,
                         const QStringList &values)
{
    if (!DatabaseConnected() || count <= 0 || count > names.size() || count > values.size())
        return false;
    QStringList lines{QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (")};
    addListLines(lines, names, count);
    lines << QStringLiteral("   ) ") << QStringLiteral("   VALUES (");
    addListLines(lines, values, count);
    lines << QStringLiteral("   );");
    return ExecSqlLines(lines);
}

namespace {

QStringList insertListLines(const QString &table, const QString &columns, const QString &values)
{
    return {QStringLiteral("INSERT INTO ") + table + QStringLiteral(" ("),
            QStringLiteral("   ") + columns, QStringLiteral("   ) "),
            QStringLiteral("  VALUES ("), QStringLiteral("   ") + values,
            QStringLiteral("   );")};
}

} // namespace

bool Database::SqlInsertList(const QString &table, const QString &columns,
                             const QString &values)
{
    if (!DatabaseConnected())
        return false;
    return ExecSqlLines(insertListLines(table, columns, values));
}

bool Database::SqlUpdate(const QString &table, int count, const QStringList &names,
                         const QStringList &values, const QString &where)
{
    if (!DatabaseConnected() || count <= 0 || count > names.size() || count > values.size())
        return false;
    QStringList lines{QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ")};
    for (int i = 0; i < count; ++i) {
        lines << QStringLiteral("   ") + names[i] + u'=' + values[i]
                     + (i + 1 < count ? QStringLiteral(",") : QString());
    }
    if (!where.isEmpty())
        lines << QStringLiteral("   WHERE ") + where;
    lines << QStringLiteral("   ;");
    return ExecSqlLines(lines);
}

bool Database::SqlDelete(const QString &table, const QString &where)
{
    if (!DatabaseConnected())
        return false;
    QString line = QStringLiteral("DELETE FROM ") + table + u' ';
    if (!where.isEmpty())
        line += QStringLiteral("WHERE ") + where + u' ';
    return ExecSqlLines({line + u';'});
}

bool Database::StartTransaction()
{
    if (!DatabaseConnected())
        return false;
    d->closeQuery();
    return d->session.start(fb::Session::Mode::Write);
}

bool Database::CommitTransaction()
{
    const bool ok = d->session.commit();
    if (!ok)
        d->lastError = d->session.lastError();
    return ok;
}

void Database::RollbackTransaction()
{
    d->session.rollback();
}

bool Database::SqlInsertNoCommit(const QString &table, const QString &columns,
                                 const QString &values)
{
    if (!DatabaseConnected())
        return false;
    d->closeResult();
    return d->send(insertListLines(table, columns, values), nullptr);
}

bool Database::ExecSqlLinesNoCommit(const QStringList &lines)
{
    if (!DatabaseConnected())
        return false;
    d->closeResult();
    return d->send(lines, nullptr);
}

bool Database::SqlInsertRowsNoCommit(const QString &table, const QStringList &columns,
                                     const QList<QStringList> &rows)
{
    if (!DatabaseConnected())
        return false;
    d->closeResult();
    // Every execution carries a block of rows, so a round trip to the server is paid per
    // block rather than per row.
    constexpr qsizetype RowsPerBlock = 32;
    std::vector<fb::Row> blocks;
    fb::Row block;
    qsizetype longest = 1;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (rows[r].size() != columns.size()) {
            d->lastError = QStringLiteral("a row whose values do not match its columns");
            return false;
        }
        for (const QString &text : rows[r]) {
            const std::optional<QByteArray> v = ToCp932(text);
            if (!v) {
                d->lastError = QStringLiteral("text that CP932 cannot hold");
                return false;
            }
            longest = std::max(longest, v->size());
            block.push_back(*v);
        }
        if ((r + 1) % RowsPerBlock == 0 || r + 1 == rows.size()) {
            blocks.push_back(std::move(block));
            block.clear();
        }
    }
    const auto run = [&](qsizetype rowCount, const std::vector<fb::Row> &values) {
        if (values.empty())
            return true;
        QStringList lines{QStringLiteral("EXECUTE BLOCK (")};
        const QString type = QStringLiteral(" VARCHAR(%1) CHARACTER SET NONE = ?").arg(longest);
        const qsizetype count = rowCount * columns.size();
        for (qsizetype i = 0; i < count; ++i)
            lines << QStringLiteral("   V%1").arg(i) + type + (i + 1 < count ? "," : "");
        lines << QStringLiteral("   ) AS BEGIN");
        for (qsizetype r = 0; r < rowCount; ++r) {
            QStringList names;
            for (qsizetype c = 0; c < columns.size(); ++c)
                names << QStringLiteral(":V%1").arg(r * columns.size() + c);
            lines << QStringLiteral("   INSERT INTO ") + table + QStringLiteral(" (")
                         + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                         + names.join(QStringLiteral(", ")) + QStringLiteral(");");
        }
        lines << QStringLiteral("   END");
        d->lastSql = lines;
        const std::optional<QByteArray> sql = ToCp932(lines.join(u'\n'));
        if (!sql || !d->session.executeEach(*sql, values)) {
            d->lastError = d->session.lastError();
            return false;
        }
        return true;
    };
    // All full blocks share one statement; a shorter last block gets its own.
    const qsizetype rest = rows.size() % RowsPerBlock;
    std::vector<fb::Row> last;
    if (rest != 0) {
        last.push_back(std::move(blocks.back()));
        blocks.pop_back();
    }
    return run(RowsPerBlock, blocks) && run(rest, last);
}

bool Database::SqlUpdateNoCommit(const QString &table, const QString &assignments,
                                 const QString &where)
{
    if (!DatabaseConnected())
        return false;
    d->closeResult();
    QStringList lines{QStringLiteral("UPDATE ") + table + QStringLiteral(" SET "),
                      QStringLiteral("   ") + assignments};
    if (!where.isEmpty())
        lines << QStringLiteral("   WHERE ") + where;
    lines << QStringLiteral("   ;");
    return d->send(lines, nullptr);
}

void Database::CloseQuery()
{
    d->closeQuery();
}

bool Database::SqlSelectPairs(const QString &table, const QString &column, const QString &where,
                              int value)
{
    if (!DatabaseConnected())
        return false;
    QString condition = QStringLiteral("   WHERE ");
    if (!where.isEmpty())
        condition += u'(' + where + QStringLiteral(") AND ");
    condition += u'(' + column + u'=' + QString::number(value) + QStringLiteral(") ");
    const QStringList lines{QStringLiteral("SELECT ") + column + u' ',
                            QStringLiteral("   FROM ") + table + u' ', condition,
                            QStringLiteral("   ;")};
    const bool found = d->read(lines) && !d->result.rows.empty();
    d->closeResult();
    return found;
}

QString Database::SqlSelectMax(const QString &table, const QString &column, const QString &where)
{
    if (!DatabaseConnected())
        return {};
    QStringList lines = Impl::selectLines(QStringLiteral("MAX(") + column + u')', table, where);
    lines << QStringLiteral("   ;");
    QString max;
    if (d->read(lines) && !d->result.rows.empty() && d->result.columns > 0)
        max = FromCp932(d->result.rows[0][0]);
    d->closeResult();
    return max;
}

int Database::SqlSelectRow(const QString &columns, const QString &table, const QString &where,
                           QStringList &values)
{
    if (!DatabaseConnected())
        return -1;
    QStringList lines = Impl::selectLines(columns, table, where);
    lines << QStringLiteral("   ;");
    int count = -1;
    if (d->read(lines) && !d->result.rows.empty()) {
        values = d->rowTexts(0);
        count = int(values.size());
    }
    d->closeResult();
    return count;
}

int Database::SqlSelect(const QString &columns, const QString &table, const QString &where,
                        const QString &order)
{
    if (!DatabaseConnected())
        return 0;
    QStringList lines = Impl::selectLines(columns, table, where);
    if (!order.isEmpty())
        lines << QStringLiteral("   ORDER BY ") + order + u' ';
    lines << QStringLiteral("   ;");
    if (!d->read(lines))
        return 0;
    return int(d->result.rows.size());
}

void Database::FetchRow(QStringList &values)
{
    if (!d->resultOpen)
        return;
    d->cursor = 0;
    values = d->result.rows.empty() ? d->emptyRow() : d->rowTexts(0);
}

void Database::FetchNextRow(QStringList &values)
{
    if (!d->resultOpen)
        return;
    if (d->cursor < d->result.rows.size())
        ++d->cursor;
    values = d->cursor < d->result.rows.size() ? d->rowTexts(d->cursor) : d->emptyRow();
}

void Database::CloseSelect()
{
    d->closeResult();
}

QList<QStringList> Database::ReadRows(const QStringList &lines, qsizetype skip,
                                      qsizetype limit)
{
    QList<QStringList> rows;
    if (!DatabaseConnected())
        return rows;
    if (d->read(lines)) {
        const size_t count = d->result.rows.size();
        for (size_t i = size_t(std::max<qsizetype>(skip, 0));
             i < count && rows.size() < limit; ++i)
            rows << d->rowTexts(i);
    }
    d->closeQuery();
    return rows;
}

QList<QStringList> Database::SelectRows(const QString &columns, const QString &table,
                                        const QString &where, const QString &order)
{
    QList<QStringList> rows;
    const int n = SqlSelect(columns, table, where, order);
    QStringList row;
    for (int i = 0; i < n; ++i) {
        i == 0 ? FetchRow(row) : FetchNextRow(row);
        rows << row;
    }
    CloseSelect();
    return rows;
}

QStringList Database::LastSql() const
{
    return d->lastSql;
}

QString Database::LastError() const
{
    return d->lastError;
}

bool Database::LastErrorWasCollision() const
{
    return d->session.lastErrorWasCollision();
}

// The program's one database connection with its one transaction and one open result, and
// the helpers through which every window builds and runs its statements.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class LiveEvents;

namespace fb {
class Session;
}

class Database
{
public:
    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Connection. Failures are silent; callers ask DatabaseConnected() afterwards.
    void CreateDatabase(const QString &path);
    void ConnectDatabase(const QString &path);
    void DisconnectDatabase();
    bool DatabaseConnected() const;
    // Told when the connection is found lost (true) and when it is made again (false); the
    // next helper after a loss re-connects by itself, trying at most every two seconds.
    void WatchConnection(std::function<void(bool lost)> watcher);
    bool TableExists(const QString &table);

    // Committing writers: true when the statement ran and was committed.
    bool ExecSqlLines(const QStringList &lines);
    bool DropTable(const QString &table);
    bool SqlInsert(const QString &table, int count, const QStringList &names,
                   const QStringList &values);
    bool SqlInsertList(const QString &table, const QString &columns, const QString &values);
    bool SqlUpdate(const QString &table, int count, const QStringList &names,
                   const QStringList &values, const QString &where);
    bool SqlDelete(const QString &table, const QString &where);

    // Writers inside the caller's own transaction (StartTransaction ... CommitTransaction);
    // false when not connected or when the statement failed, and then the caller rolls back.
    bool StartTransaction();
    bool CommitTransaction();
    void RollbackTransaction();
    bool SqlInsertNoCommit(const QString &table, const QString &columns, const QString &values);
    bool SqlUpdateNoCommit(const QString &table, const QString &assignments,
                           const QString &where);
    bool ExecSqlLinesNoCommit(const QStringList &lines);
    // Many rows in few round trips, the values as parameters: the stored texts themselves
    // (no quotes), which the server converts to the columns' types.
    bool SqlInsertRowsNoCommit(const QString &table, const QStringList &columns,
                               const QList<QStringList> &rows);

    void CloseQuery();

    // Readers. A row comes back as one text per selected column: NULL as empty text,
    // integers in decimal, doubles with up to 15 significant digits.
    bool SqlSelectPairs(const QString &table, const QString &column, const QString &where,
                        int value);
    QString SqlSelectMax(const QString &table, const QString &column, const QString &where);
    // The number of columns read, -1 when no row matched (values then stay as they were).
    int SqlSelectRow(const QString &columns, const QString &table, const QString &where,
                     QStringList &values);
    // The number of rows; the result stays open for FetchRow / FetchNextRow until
    // CloseSelect or the next helper.
    int SqlSelect(const QString &columns, const QString &table, const QString &where,
                  const QString &order);
    void FetchRow(QStringList &values);
    void FetchNextRow(QStringList &values);
    void CloseSelect();

    // The lines of the last statement sent, and the last error the server gave.
    QStringList LastSql() const;
    QString LastError() const;
    // Whether that error was another PC having taken the same key first.
    bool LastErrorWasCollision() const;

    // Runs a select of the caller's own lines and hands back the rows from position skip on,
    // at most limit of them; empty on any error.
    QList<QStringList> ReadRows(const QStringList &lines, qsizetype skip, qsizetype limit);
    // The whole result of one select, read with the fetch cycle and closed again.
    QList<QStringList> SelectRows(const QString &columns, const QString &table,
                                  const QString &where, const QString &order);

    // The connection itself, for the typed bulk readers of db/.
    fb::Session &Connection();

    // What other PCs post about their changes, heard on an attachment of its own to the
    // database connected to; made when first asked for.
    LiveEvents &Live();
    // Posts the event in the transaction begun with StartTransaction, seen by listeners
    // once it commits; false when it could not be posted.
    bool PostEventNoCommit(const QString &name);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

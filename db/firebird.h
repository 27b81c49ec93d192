// The one wrapper over the Firebird client library. It speaks bytes (the database's code
// page) and reports errors as values; it never shows anything.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace fb {

// One result row; a NULL column is an empty cell. Numbers are in their text form:
// integers in decimal, floating point in the general format with 15 significant digits.
using Row = std::vector<QByteArray>;

struct Result
{
    int columns = 0;
    std::vector<Row> rows;
};

// One fetched row read in place from the message buffer: columns by position, numbers in
// their stored types, no text in between. Valid only while the callback that receives it
// runs.
class Cells
{
public:
    bool null(int column) const;
    // Integer and floating columns (a fraction truncated); NULL and text give 0.
    qint64 integer(int column) const;
    // Any numeric column; NULL and text give 0.
    double real(int column) const;
    // Text columns as stored; NULL gives empty bytes.
    QByteArray bytes(int column) const;
    int count() const;

private:
    friend class Session;
    const void *columns = nullptr;
    const unsigned char *buffer = nullptr;
};

struct Credentials
{
    QByteArray user;
    QByteArray password;
};

class Session
{
public:
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Creates the database file (dialect 3) and stays attached to it.
    bool create(const QByteArray &path, const Credentials &who, int pageSize);
    bool attach(const QByteArray &path, const Credentials &who);
    void detach();
    bool attached() const;

    // Write sees the database as it was at the start; WriteLatest sees what others have
    // committed since, so that a row lock waited for gives the row as the other left it.
    enum class Mode { Write, Read, WriteLatest };
    // A writer waits at most lockSeconds (1-255) for another connection's row lock.
    bool start(Mode mode, int lockSeconds = 10);
    bool commit();
    void rollback();
    bool active() const;

    // Both run in the active transaction.
    bool execute(const QByteArray &sql);
    bool select(const QByteArray &sql, Result &out);
    // Prepares sql once and runs it for each row, whose values go in as text parameters
    // that the server converts to the columns' types.
    bool executeEach(const QByteArray &sql, const std::vector<Row> &rows);
    // Runs a read in a short transaction of its own, leaving the active one alone.
    bool selectAside(const QByteArray &sql, Result &out);

    // Runs a read in a short read-only transaction of its own, handing each row to each as
    // it arrives; the statement is freed and the transaction ended before it returns, so
    // nothing stays open on the tables read.
    bool readEach(const QByteArray &sql, const std::function<void(const Cells &)> &each);

    QString lastError() const;
    // Told when the attachment is found lost (true) and when a later transaction has made
    // it again (false). Until then every call fails at once but for a try every two seconds.
    void watchConnection(std::function<void(bool lost)> watcher);
    // Whether the last statement, select or commit failed because another connection had
    // taken the same key first: tried again with fresh numbers it may succeed. A row lock
    // waited for in vain is no such collision.
    bool lastErrorWasCollision() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace fb

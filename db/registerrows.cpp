#include "db/registerrows.h"

#include "db/database.h"
#include "db/sqltext.h"

#include <algorithm>
#include <type_traits>

namespace {

// The one place that lists a table's columns in order; the visitors below turn it into
// the table's definition, a row read with "*", or the names and values of a write.
template<typename Row>
concept Drawing = std::is_same_v<std::remove_const_t<Row>, DrawingRow>;
template<typename Row>
concept Revision = std::is_same_v<std::remove_const_t<Row>, RevisionRow>;

template<Drawing Row, typename Visitor>
void columns(Row &r, Visitor &&v)
{
    v("N", r.N);
    v("ZNAME", r.ZNAME, 80);
    v("ZUMENN", r.ZUMENN, 80);
    v("MTITLE", r.MTITLE, 80);
    v("STITLE", r.STITLE, 80);
    v("MEMO1", r.MEMO1, 80);
    v("MEMO2", r.MEMO2, 80);
    v("MEMO3", r.MEMO3, 80);
    v("PAPER", r.PAPER);
    v("PAPX", r.PAPX);
    v("PAPY", r.PAPY);
    v("MN", r.MN);
    v("DDATE", r.DDATE, 8);
    v("UDATE", r.UDATE, 8);
    v("KN", r.KN);
    v("KDATE", r.KDATE, 8);
    v("AN", r.AN);
    v("ADATE", r.ADATE, 8);
    v("PN", r.PN);
    v("PDATE", r.PDATE, 8);
    v("RN", r.RN);
    v("RDATE", r.RDATE, 8);
}

template<Revision Row, typename Visitor>
void columns(Row &r, Visitor &&v)
{
    v("N", r.N);
    v("ZN", r.ZN);
    v("CONT", r.CONT, 80);
    v("RN", r.RN);
    v("RDATE", r.RDATE, 8);
}

struct Definition
{
    QList<QPair<QString, QString>> columns;

    void add(const char *name, const QString &type)
    {
        columns << qMakePair(QString::fromLatin1(name), type);
    }
    void operator()(const char *name, const int &) { add(name, QStringLiteral("INTEGER")); }
    void operator()(const char *name, const std::optional<int> &)
    {
        add(name, QStringLiteral("INTEGER"));
    }
    void operator()(const char *name, const std::optional<double> &)
    {
        add(name, QStringLiteral("DOUBLE PRECISION"));
    }
    void operator()(const char *name, const QString &, int bytes)
    {
        add(name, QStringLiteral("VARCHAR(%1)").arg(bytes));
    }
};

// Cells in stored order, as the query helpers give them: numbers in decimal, NULL empty.
struct CellReader
{
    const QStringList &cells;
    qsizetype next = 0;
    bool ok = true;

    const QString &cell() { return cells[next++]; }
    void operator()(const char *, int &v) { v = number(cell()).value_or(0); }
    void operator()(const char *, std::optional<int> &v) { v = number(cell()); }
    void operator()(const char *, std::optional<double> &v)
    {
        const QString &c = cell();
        bool isNumber = false;
        v = c.isEmpty() ? std::nullopt : std::optional<double>(c.toDouble(&isNumber));
        ok = ok && (c.isEmpty() || isNumber);
    }
    void operator()(const char *, QString &v, int) { v = cell(); }

    std::optional<int> number(const QString &c)
    {
        bool isNumber = false;
        const int v = c.toInt(&isNumber);
        ok = ok && (c.isEmpty() || isNumber);
        return isNumber ? std::optional<int>(v) : std::nullopt;
    }
};

struct Writer
{
    QStringList names, values;

    void add(const char *name, const QString &literal)
    {
        names << QString::fromLatin1(name);
        values << literal;
    }
    void operator()(const char *name, const int &v) { add(name, QString::number(v)); }
    void operator()(const char *name, const std::optional<int> &v)
    {
        add(name, v ? QString::number(*v) : QStringLiteral("NULL"));
    }
    void operator()(const char *name, const std::optional<double> &v)
    {
        add(name, v ? QString::number(*v, 'g', 15) : QStringLiteral("NULL"));
    }
    void operator()(const char *name, const QString &v, int) { add(name, SqlText(v)); }
};

template<typename Row>
QList<QPair<QString, QString>> definition()
{
    const Row row;
    Definition d;
    columns(row, d);
    return d.columns;
}

struct Counter
{
    int count = 0;
    template<typename... Args>
    void operator()(Args &&...) { ++count; }
};

template<typename Row>
std::optional<Row> fromCells(const QStringList &cells)
{
    const Row empty;
    Counter columnCount;
    columns(empty, columnCount);
    if (cells.size() != columnCount.count)
        return std::nullopt;
    Row row;
    CellReader reader{cells};
    columns(row, reader);
    return reader.ok ? std::optional<Row>(row) : std::nullopt;
}

bool writeDrawing(Database &db, const DrawingRow &row, bool insert)
{
    Writer w;
    columns(row, w);
    const QString table = QStringLiteral("CADLIST");
    const int count = int(w.names.size());
    return insert ? db.SqlInsert(table, count, w.names, w.values)
                  : db.SqlUpdate(table, count, w.names, w.values,
                                 QStringLiteral("N=") + QString::number(row.N));
}

} // namespace

QList<QPair<QString, QString>> DrawingRowColumns()
{
    return definition<DrawingRow>();
}

QList<QPair<QString, QString>> RevisionRowColumns()
{
    return definition<RevisionRow>();
}

std::optional<DrawingRow> ReadDrawingRow(Database &db, int n)
{
    QStringList cells;
    if (db.SqlSelectRow(QStringLiteral("*"), QStringLiteral("CADLIST"),
                        QStringLiteral("N=") + QString::number(n), cells)
        < 0)
        return std::nullopt;
    return fromCells<DrawingRow>(cells);
}

QList<DrawingRow> ReadDrawingRows(Database &db, const QStringList &select, qsizetype skip,
                                  qsizetype limit)
{
    QList<DrawingRow> rows;
    for (const QStringList &cells : db.ReadRows(select, skip, limit)) {
        if (const std::optional<DrawingRow> row = fromCells<DrawingRow>(cells))
            rows << *row;
    }
    return rows;
}

bool InsertDrawingRow(Database &db, const DrawingRow &row)
{
    return writeDrawing(db, row, true);
}

bool UpdateDrawingRow(Database &db, const DrawingRow &row)
{
    return writeDrawing(db, row, false);
}

bool TouchDrawingUpdateDate(Database &db, int n, const QString &day)
{
    if (day.size() != 8 || !std::all_of(day.begin(), day.end(), [](QChar c) {
            return c >= u'0' && c <= u'9';
        }))
        return false;
    const QString quoted = u'\'' + day + u'\'';
    // Rewriting the same day would only add a record version for nothing.
    return db.SqlUpdate(QStringLiteral("CADLIST"), 1, {QStringLiteral("UDATE")}, {quoted},
                        QStringLiteral("N=%1 AND (UDATE IS NULL OR UDATE<>%2)").arg(n).arg(quoted));
}

QList<RevisionRow> ReadRevisionRows(Database &db, int n, const QString &order)
{
    QList<RevisionRow> rows;
    for (const QStringList &cells :
         db.SelectRows(QStringLiteral("*"), QStringLiteral("CADREV"),
                       QStringLiteral("ZN=") + QString::number(n), order)) {
        if (const std::optional<RevisionRow> row = fromCells<RevisionRow>(cells))
            rows << *row;
    }
    return rows;
}

std::optional<TitleRecord> ReadTitleRecord(Database &db, int n)
{
    std::optional<DrawingRow> row = ReadDrawingRow(db, n);
    if (!row)
        return std::nullopt;
    TitleRecord out;
    out.drawing = *row;
    const QList<RevisionRow> revisions =
        ReadRevisionRows(db, n, QStringLiteral("RDATE DESC,N DESC"));
    out.revisions = int(revisions.size());
    out.latest = revisions.value(0);
    QStringList numbers;
    for (const std::optional<int> &m : {row->MN, row->KN, row->AN, row->PN})
        if (m && *m > 0)
            numbers << QString::number(*m);
    // Without a members' table the names stay empty.
    if (!numbers.isEmpty()) {
        for (const QStringList &cells :
             db.SelectRows(QStringLiteral("N,PNAME"), QStringLiteral("MEMBER"),
                           QStringLiteral("N IN (") + numbers.join(u',') + u')', QString())) {
            if (cells.size() == 2)
                out.names.insert(cells[0].toInt(), cells[1]);
        }
    }
    return out;
}

// The register's rows by name: a drawing of CADLIST and a revision of CADREV, with the
// column definitions their tables are created from. A NULL number is an empty optional, a
// NULL text an empty text (and an empty text is written as NULL).
#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

class Database;

struct DrawingRow
{
    int N = 0;
    QString ZNAME, ZUMENN, MTITLE, STITLE, MEMO1, MEMO2, MEMO3;
    std::optional<int> PAPER;
    std::optional<double> PAPX, PAPY;
    std::optional<int> MN; // drawn by
    QString DDATE, UDATE;
    std::optional<int> KN; // checked by
    QString KDATE;
    std::optional<int> AN; // approved by
    QString ADATE;
    std::optional<int> PN; // issued by
    QString PDATE;
    std::optional<int> RN; // revised by
    QString RDATE;
};

struct RevisionRow
{
    int N = 0;
    std::optional<int> ZN; // the drawing
    QString CONT;
    std::optional<int> RN; // revised by
    QString RDATE;
};

// Name and SQL type of each column, in stored order.
QList<QPair<QString, QString>> DrawingRowColumns();
QList<QPair<QString, QString>> RevisionRowColumns();

// The drawing numbered n; nothing when there is none or the read failed.
std::optional<DrawingRow> ReadDrawingRow(Database &db, int n);
// The drawings a select of whole CADLIST rows ("*") gives from position skip on, at most
// limit of them.
QList<DrawingRow> ReadDrawingRows(Database &db, const QStringList &select, qsizetype skip,
                                  qsizetype limit);
// Writes the row under its number as a new row, or over the stored one.
bool InsertDrawingRow(Database &db, const DrawingRow &row);
bool UpdateDrawingRow(Database &db, const DrawingRow &row);
// Sets UDATE of drawing n to day ("yyyymmdd") unless it holds that day already; false when
// day is not eight digits or the database refused.
bool TouchDrawingUpdateDate(Database &db, int n, const QString &day);

// The revisions of drawing n in the given order.
QList<RevisionRow> ReadRevisionRows(Database &db, int n, const QString &order);

// What a sheet's title block shows of the register: the drawing's row, how many revisions it
// has with the latest of them (by date, then number), and the names of the members either
// names by number.
struct TitleRecord
{
    DrawingRow drawing;
    int revisions = 0;
    RevisionRow latest;
    QHash<int, QString> names;
};
// Nothing when the drawing is not registered or the read failed.
std::optional<TitleRecord> ReadTitleRecord(Database &db, int n);

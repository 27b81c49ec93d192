#include "db/schema.h"

#include "db/database.h"
#include "db/registerrows.h"

#include <QHash>

namespace {

struct TableDef
{
    QString name; // a drawing table's prefix ends in "_"
    QList<QPair<QString, QString>> columns; // the first is the key
};

QList<QPair<QString, QString>> columnsOf(const char *type, const QStringList &names)
{
    QList<QPair<QString, QString>> out;
    for (const QString &n : names)
        out << qMakePair(n, QString::fromLatin1(type));
    return out;
}

constexpr char Int[] = "INTEGER";
constexpr char Small[] = "SMALLINT";
constexpr char Dbl[] = "DOUBLE PRECISION";

QString varchar(int n)
{
    return QStringLiteral("VARCHAR(%1)").arg(n);
}

const QList<TableDef> &tables()
{
    static const QList<TableDef> all = [] {
        const auto lineCommon = columnsOf(Small, {"LAY", "COL", "LTP", "WID"});
        QList<TableDef> t;
        t << TableDef{"SECTION", {{"N", Int}, {"SNAME", varchar(32)}}};
        t << TableDef{"MEMBER", {{"N", Int}, {"SN", Int}, {"PNAME", varchar(16)}}};
        t << TableDef{"CHAT",
                      {{"N", Int}, {"MN", Int}, {"CTEXT", varchar(80)}, {"CDATE", varchar(8)},
                       {"CTIME", varchar(6)}}};
        t << TableDef{"MOUSEPOS", columnsOf(Int, {"MN", "ST", "MX", "MY"})};
        t << TableDef{"CADLIST", DrawingRowColumns()};
        t << TableDef{"CADREV", RevisionRowColumns()};
        // Who has which drawing open and where their pointer is; TS is the server's clock.
        t << TableDef{"PRESENCE",
                      {{"PC", varchar(40)}, {"MN", Int}, {"ZN", Int}, {"PX", Dbl}, {"PY", Dbl},
                       {"ST", Small}, {"TS", QStringLiteral("TIMESTAMP")}}};
        t << TableDef{"WORKDISPLAY",
                      columnsOf(Int, {"N", "ZN", "PX", "PY", "SX", "SY"})
                          + columnsOf(Dbl, {"WX1", "WY1", "WX2", "WY2", "WSC"})};
        t << TableDef{"LAYER_",
                      QList<QPair<QString, QString>>{{"N", Int}, {"LNAME", varchar(255)}}
                          + columnsOf(Small, {"VISI", "PRN", "COL", "LTP", "WID"})
                          + columnsOf(Dbl, {"SCL"})};
        t << TableDef{"COLOR_", {{"N", Int}, {"CNAME", varchar(255)}, {"COL", Int}}};
        TableDef ltype{"LTYPE_", {{"N", Int}, {"SNAME", varchar(255)}, {"SN", Small}}};
        for (int i = 1; i <= 10; ++i)
            ltype.columns << qMakePair(QStringLiteral("P%1").arg(i), Small);
        t << ltype;
        t << TableDef{"VAR_", {{"N", Int}, {"OPN", Int}}};
        t << TableDef{"HISTORY_", {{"N", Int}, {"OPN", Int}, {"MD", Small}, {"EN", Int}}};
        t << TableDef{"ENTITY_",
                      {{"N", Int}, {"MN", Int}, {"DS", Small}, {"DT", Small}, {"DN", Int}}};
        t << TableDef{"ENT_LINE_", columnsOf(Int, {"N"}) + lineCommon
                                       + columnsOf(Dbl, {"X1", "Y1", "X2", "Y2"})};
        t << TableDef{"ENT_CIRCLE_",
                      columnsOf(Int, {"N"}) + lineCommon + columnsOf(Dbl, {"CX", "CY", "CR"})};
        t << TableDef{"ENT_ARC_", columnsOf(Int, {"N"}) + lineCommon
                                      + columnsOf(Dbl, {"CX", "CY", "CR", "SA", "EA"})};
        t << TableDef{"ENT_TEXT_",
                      columnsOf(Int, {"N"}) + columnsOf(Small, {"LAY", "COL", "STL", "BAS", "DIR"})
                          + columnsOf(Dbl, {"PX", "PY", "MH", "MW", "MD", "ANG"})
                          + QList<QPair<QString, QString>>{{"FNT", varchar(80)},
                                                           {"TXT", varchar(255)}}};
        return t;
    }();
    return all;
}

const TableDef *find(const QString &name)
{
    for (const TableDef &t : tables()) {
        if (t.name == name)
            return &t;
    }
    return nullptr;
}

QStringList linesFor(const TableDef &t, const QString &fullName)
{
    QStringList lines{QStringLiteral("CREATE TABLE ") + fullName + QStringLiteral(" (")};
    for (qsizetype i = 0; i < t.columns.size(); ++i) {
        QString line = QStringLiteral("  ") + t.columns[i].first + u' ' + t.columns[i].second;
        // MOUSEPOS alone has no key.
        if (i == 0 && t.name != QLatin1String("MOUSEPOS"))
            line += QStringLiteral(" NOT NULL UNIQUE");
        if (i + 1 < t.columns.size())
            line += u',';
        lines << line;
    }
    lines << QStringLiteral("  );");
    return lines;
}

bool create(Database &db, const QString &name, const QString &suffix = QString())
{
    const TableDef *t = find(name);
    return t && db.ExecSqlLines(linesFor(*t, name + suffix));
}

bool createDrawing(Database &db, const char *prefix, int n)
{
    return create(db, QString::fromLatin1(prefix), QString::number(n));
}

} // namespace

bool CreateSectionTable(Database &db) { return create(db, QStringLiteral("SECTION")); }
bool CreateMemberTable(Database &db) { return create(db, QStringLiteral("MEMBER")); }
bool CreateChatTable(Database &db) { return create(db, QStringLiteral("CHAT")); }
bool CreateMousePosTable(Database &db) { return create(db, QStringLiteral("MOUSEPOS")); }
bool CreateCadListTable(Database &db) { return create(db, QStringLiteral("CADLIST")); }
bool CreateCadRevTable(Database &db) { return create(db, QStringLiteral("CADREV")); }
bool CreateWorkDisplayTable(Database &db) { return create(db, QStringLiteral("WORKDISPLAY")); }
bool CreatePresenceTable(Database &db) { return create(db, QStringLiteral("PRESENCE")); }

bool CreateLayerTable(Database &db, int n) { return createDrawing(db, "LAYER_", n); }
bool CreateColorTable(Database &db, int n) { return createDrawing(db, "COLOR_", n); }
bool CreateLtypeTable(Database &db, int n) { return createDrawing(db, "LTYPE_", n); }
bool CreateVarTable(Database &db, int n) { return createDrawing(db, "VAR_", n); }
bool CreateHistoryTable(Database &db, int n) { return createDrawing(db, "HISTORY_", n); }
bool CreateEntityTable(Database &db, int n) { return createDrawing(db, "ENTITY_", n); }
bool CreateEntLineTable(Database &db, int n) { return createDrawing(db, "ENT_LINE_", n); }
bool CreateEntCircleTable(Database &db, int n) { return createDrawing(db, "ENT_CIRCLE_", n); }
bool CreateEntArcTable(Database &db, int n) { return createDrawing(db, "ENT_ARC_", n); }
bool CreateEntTextTable(Database &db, int n) { return createDrawing(db, "ENT_TEXT_", n); }

QStringList DrawingTablePrefixes()
{
    QStringList out;
    for (const TableDef &t : tables()) {
        if (t.name.endsWith(u'_'))
            out << t.name;
    }
    return out;
}

QStringList DrawingTableLines(const QString &prefix, int n)
{
    const TableDef *t = prefix.endsWith(u'_') ? find(prefix) : nullptr;
    return t ? linesFor(*t, prefix + QString::number(n)) : QStringList();
}

bool CreateDrawingTable(Database &db, const QString &prefix, int n)
{
    return prefix.endsWith(u'_') && create(db, prefix, QString::number(n));
}

bool CreateSharedTable(Database &db, const QString &name)
{
    return !name.endsWith(u'_') && create(db, name);
}

int ColumnPosition(const QString &table, const QString &column)
{
    const TableDef *t = table.endsWith(u'_') ? nullptr : find(table);
    for (qsizetype i = 0; t && i < t->columns.size(); ++i) {
        if (t->columns[i].first == column)
            return int(i);
    }
    return -1;
}


#include "register/drawingset.h"

#include "base/values.h"
#include "db/database.h"
#include "db/schema.h"
#include "db/sqltext.h"

#include <QSet>

namespace {

struct Colour
{
    const char *name;
    int red, green, blue;
};

constexpr Colour NamedColours[16] = {
    {"black", 0, 0, 0},          {"red", 255, 0, 0},          {"green", 0, 255, 0},
    {"blue", 0, 0, 255},         {"yellow", 255, 255, 0},     {"magenta", 255, 0, 255},
    {"cyan", 0, 255, 255},       {"white", 255, 255, 255},    {"deeppink", 192, 0, 128},
    {"brown", 192, 128, 64},     {"orange", 255, 128, 0},     {"lightgreen", 128, 192, 128},
    {"lightblue", 0, 128, 255},  {"lavender", 128, 64, 255},  {"lightgray", 192, 192, 192},
    {"darkgray", 128, 128, 128},
};

struct LineType
{
    const char *name;
    int pitches[10]; // the pattern, then zeros
};

constexpr LineType NamedLineTypes[15] = {
    {"continuous", {}},
    {"dashed", {600, 150}},
    {"dashed spaced", {600, 600}},
    {"long dashed dotted", {1200, 150, 25, 150}},
    {"long dashed double-dotted", {1200, 150, 25, 150, 25, 150}},
    {"long dashed triplicate-dotted", {1200, 150, 25, 150, 25, 150, 25, 150}},
    {"dotted", {25, 150}},
    {"chain", {1200, 150, 350, 150}},
    {"chain double dash", {1200, 150, 350, 150, 350, 150}},
    {"dashed dotted", {600, 150, 25, 150}},
    {"double-dashed", {600, 150, 600, 150, 25, 150}},
    {"dashed double-dotted", {600, 150, 25, 150, 25, 150}},
    {"double-dashed double-dotted", {600, 150, 600, 150, 25, 150, 25, 150}},
    {"dashed triplicate-dotted", {600, 150, 25, 150, 25, 150, 25, 150}},
    {"double-dashed triplicate-dotted", {600, 150, 600, 150, 25, 150, 25, 150, 25, 150}},
};

QString table(const char *prefix, int n)
{
    return QString::fromLatin1(prefix) + QString::number(n);
}

// The numbers of the default rows the table holds.
QSet<QString> defaultRowsPresent(Database &db, const DefaultRows &d)
{
    QSet<QString> present;
    const QString range = QStringLiteral("N BETWEEN %1 AND %2")
                              .arg(d.rows.first().first(), d.rows.last().first());
    for (const QStringList &row : db.SelectRows(QStringLiteral("N"), d.table, range, QString()))
        present << row.value(0);
    return present;
}

// Writes the default rows the table lacks in one transaction: all of them or none. When
// another PC writes the same rows at the same moment the key refuses ours, and the next
// attempt finds them there.
bool writeMissingRows(Database &db, const DefaultRows &d)
{
    const QSet<QString> present = defaultRowsPresent(db, d);
    QList<QStringList> missing;
    for (const QStringList &row : d.rows) {
        if (!present.contains(row[0]))
            missing << row;
    }
    if (missing.isEmpty())
        return true;
    if (db.StartTransaction() && db.SqlInsertRowsNoCommit(d.table, d.columns, missing)
        && db.CommitTransaction())
        return true;
    db.RollbackTransaction();
    return false;
}

// Creates the missing tables together, which costs one commit instead of one for each.
// When that fails (another PC may have created one meanwhile) each is tried on its own, and
// what counts is that it exists afterwards.
bool createMissingTables(Database &db, int n)
{
    QStringList missing;
    for (const QString &prefix : DrawingTablePrefixes()) {
        if (!db.TableExists(prefix + QString::number(n)))
            missing << prefix;
    }
    if (missing.isEmpty())
        return true;
    bool together = db.StartTransaction();
    for (const QString &prefix : missing)
        together = together && db.ExecSqlLinesNoCommit(DrawingTableLines(prefix, n));
    if (together && db.CommitTransaction())
        return true;
    db.RollbackTransaction();
    bool complete = true;
    for (const QString &prefix : missing) {
        const QString name = prefix + QString::number(n);
        if (!db.TableExists(name) && !CreateDrawingTable(db, prefix, n) && !db.TableExists(name))
            complete = false;
    }
    return complete;
}

} // namespace

QStringList DrawingTables(int n)
{
    QStringList names;
    for (const QString &prefix : DrawingTablePrefixes())
        names << prefix + QString::number(n);
    return names;
}

QList<DefaultRows> DefaultDrawingRows(int n)
{
    DefaultRows layers{table("LAYER_", n),
                       {"N", "LNAME", "VISI", "PRN", "COL", "LTP", "WID", "SCL"},
                       {}};
    for (int i = 0; i <= 255; ++i)
        layers.rows << QStringList{QString::number(i), QStringLiteral("LAYER_%1").arg(i),
                                   "1", "1", "1", "1", "18", "1.0"};

    DefaultRows colours{table("COLOR_", n), {"N", "CNAME", "COL"}, {}};
    for (int i = 1; i <= 255; ++i) {
        QString name = QStringLiteral("COLOR_%1").arg(i);
        int value = 0;
        if (i <= 16) {
            const Colour &c = NamedColours[i - 1];
            name = QString::fromLatin1(c.name);
            value = c.red + 256 * c.green + 65536 * c.blue;
        }
        colours.rows << QStringList{QString::number(i), name, QString::number(value)};
    }

    DefaultRows lineTypes{table("LTYPE_", n), {"N", "SNAME", "SN"}, {}};
    for (int p = 1; p <= 10; ++p)
        lineTypes.columns << QStringLiteral("P%1").arg(p);
    for (int i = 1; i <= 32; ++i) {
        const LineType named = i <= 15 ? NamedLineTypes[i - 1] : LineType{nullptr, {}};
        const QString name = named.name ? QString::fromLatin1(named.name)
                                        : QStringLiteral("LTYPE_%1").arg(i);
        int count = 0;
        while (count < 10 && named.pitches[count] != 0)
            ++count;
        QStringList row{QString::number(i), name, QString::number(count)};
        for (int pitch : named.pitches)
            row << QString::number(pitch);
        lineTypes.rows << row;
    }

    DefaultRows variables{table("VAR_", n), {"N", "OPN"}, {{"1", "0"}}};
    return {layers, colours, lineTypes, variables};
}

bool EnsureDrawingTables(Database &db, int n)
{
    if (!db.TableExists(QStringLiteral("WORKDISPLAY")))
        CreateWorkDisplayTable(db);
    bool complete = createMissingTables(db, n);
    for (const DefaultRows &d : DefaultDrawingRows(n)) {
        bool written = false;
        for (int attempt = 0; attempt < 3 && !written; ++attempt) {
            if (attempt > 0)
                WaitTicks(500);
            written = writeMissingRows(db, d);
        }
        complete = complete && written;
    }
    return complete;
}

bool DropDrawingTables(Database &db, int n)
{
    const QStringList names = DrawingTables(n);
    for (const QString &name : names) {
        if (db.TableExists(name))
            db.DropTable(name);
    }
    // Asked once more at the end, so that a server that stopped answering on the way counts
    // as tables still there, never as "deleted".
    QStringList quoted;
    for (const QString &name : names)
        quoted << SqlQuoted(name);
    QStringList left;
    return db.SqlSelectRow(QStringLiteral("COUNT(*)"), QStringLiteral("RDB$RELATIONS"),
                           QStringLiteral("RDB$RELATION_NAME IN (") + quoted.join(u',') + u')',
                           left)
               == 1
           && left.value(0) == QStringLiteral("0");
}

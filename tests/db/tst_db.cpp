#include "db/database.h"
#include "db/drawingrows.h"
#include "db/firebird.h"
#include "db/registerrows.h"
#include "db/schema.h"
#include "db/textcodec.h"
#include "support/testdb.h"

#include <QtTest>

class TestDatabase : public QObject
{
    Q_OBJECT

private slots:
    void connection();
    void writerLines();
    void readerLines();
    void fetchCycle();
    void unconnectedFailures();
    void textConversion();
    void numberForms();
    void insertRowsInBlocks();
    void entitiesReadBack();
    void schemaTables_data();
    void schemaTables();
    void twoPcsSameNumber();
    void updateDateTouched();
};

namespace {

QStringList sectionColumns()
{
    return {QStringLiteral("N"), QStringLiteral("SNAME")};
}

int rowCount(Database &db, const QString &table)
{
    return QueryValue(db, QStringLiteral("COUNT(*)"), table).toInt();
}

// Column i of a table as "NAME:TYPE", with "*" for the NOT NULL UNIQUE key.
QStringList describeTable(Database &db, const QString &table)
{
    QStringList key;
    for (const QStringList &row :
         db.SelectRows("S.RDB$FIELD_NAME",
                       "RDB$RELATION_CONSTRAINTS C JOIN RDB$INDEX_SEGMENTS S "
                       "ON C.RDB$INDEX_NAME=S.RDB$INDEX_NAME",
                       QStringLiteral("C.RDB$RELATION_NAME='%1' AND "
                                      "C.RDB$CONSTRAINT_TYPE='UNIQUE'").arg(table),
                       QString()))
        key << row.value(0).trimmed();
    QStringList columns;
    const QHash<int, QString> types = {{7, "S"}, {8, "I"}, {27, "D"}, {37, "V"}};
    for (const QStringList &row :
         db.SelectRows("RF.RDB$FIELD_NAME, F.RDB$FIELD_TYPE, F.RDB$FIELD_LENGTH, RF.RDB$NULL_FLAG",
                       "RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F "
                       "ON RF.RDB$FIELD_SOURCE=F.RDB$FIELD_NAME",
                       QStringLiteral("RF.RDB$RELATION_NAME='%1'").arg(table),
                       "RF.RDB$FIELD_POSITION")) {
        const QString name = row.value(0).trimmed();
        QString type = types.value(row.value(1).toInt(), "?" + row.value(1));
        if (type == "V")
            type += row.value(2);
        // "!" marks a key without NOT NULL, or the reverse.
        if (key.contains(name) != (row.value(3) == "1"))
            type += u'!';
        columns << name + u':' + type + (key.contains(name) ? "*" : "");
    }
    return columns;
}

} // namespace

void TestDatabase::connection()
{
    TestDb t;
    Database db;
    QVERIFY(!db.DatabaseConnected());
    QVERIFY(!db.TableExists(QStringLiteral("SECTION")));

    // Embedded: created and attached; a second creation fails and keeps the file.
    db.CreateDatabase(t.embeddedPath());
    QVERIFY2(db.DatabaseConnected(), qPrintable(db.LastError()));
    QVERIFY(CreateSectionTable(db));
    QVERIFY(db.TableExists("section"));
    // Only whole names of our own tables count: no prefix, quote trick, view or system table.
    QVERIFY(db.ExecSqlLines({"CREATE VIEW V_SECTION AS SELECT N FROM SECTION"}));
    for (const char *no : {"SECT", "SECTION' OR 1=1 OR 'A'='", "V_SECTION", "RDB$RELATIONS"})
        QVERIFY2(!db.TableExists(no), no);
    db.DisconnectDatabase();
    QVERIFY(!db.DatabaseConnected());
    db.CreateDatabase(t.embeddedPath());
    QVERIFY(!db.DatabaseConnected());
    db.ConnectDatabase(t.embeddedPath());
    QVERIFY(db.DatabaseConnected());
    QVERIFY(db.TableExists(QStringLiteral("SECTION")));
    db.DisconnectDatabase();

    // Through the local server.
    TestDb s;
    Database remote;
    remote.CreateDatabase(s.serverPath());
    QVERIFY2(remote.DatabaseConnected(), qPrintable(remote.LastError()));
    QVERIFY(CreateMemberTable(remote));
    remote.DisconnectDatabase();
    remote.ConnectDatabase(s.serverPath());
    QVERIFY(remote.TableExists(QStringLiteral("MEMBER")));
    QCOMPARE(QueryValue(remote, "MON$PAGE_SIZE || '/' || MON$SQL_DIALECT", "MON$DATABASE"),
             QString("4096/3"));

    // Unreachable places are refused and leave the connection closed.
    Database bad;
    bad.CreateDatabase(t.folder() + "missing/dir/X.FDB");
    QVERIFY(!bad.DatabaseConnected());
    const QString none = t.folder() + "NONE.FDB";
    for (const QString &place : {none, "localhost/1:" + none}) {
        bad.ConnectDatabase(place);
        QVERIFY2(!bad.DatabaseConnected(), qPrintable(place));
    }
}

void TestDatabase::writerLines()
{
    TestDb t;
    Database db;
    QVERIFY(t.open(db));
    QVERIFY(CreateSectionTable(db));
    QCOMPARE(db.LastSql(), QStringList({"CREATE TABLE SECTION (", "  N INTEGER NOT NULL UNIQUE,",
                                        "  SNAME VARCHAR(32)", "  );"}));

    QVERIFY(db.SqlInsert("SECTION", 2, sectionColumns(), {"5", "'A'"}));
    QCOMPARE(db.LastSql(), QStringList({"INSERT INTO SECTION (", "   N,", "   SNAME", "   ) ",
                                        "   VALUES (", "   5,", "   'A'", "   );"}));
    // Duplicate key: refused, table unchanged.
    QVERIFY(!db.SqlInsert("SECTION", 2, sectionColumns(), {"5", "'B'"}));
    QCOMPARE(rowCount(db, "SECTION"), 1);
    QCOMPARE(QueryValue(db, "SNAME", "SECTION", "N=5"), QString("A"));
    // A count beyond the arrays is refused before anything is sent.
    QVERIFY(!db.SqlInsert("SECTION", 3, sectionColumns(), {"6", "'C'"}));

    QVERIFY(db.SqlInsertList("SECTION", "N, SNAME", "6, 'C'"));
    QCOMPARE(db.LastSql(), QStringList({"INSERT INTO SECTION (", "   N, SNAME", "   ) ",
                                        "  VALUES (", "   6, 'C'", "   );"}));

    QVERIFY(db.SqlUpdate("SECTION", 1, {"SNAME"}, {"'D'"}, "N=6"));
    QCOMPARE(QueryValue(db, "SNAME", "SECTION", "N=6"), QString("D"));
    QVERIFY(db.SqlUpdate("SECTION", 2, sectionColumns(), {"7", "'E'"}, "N=6"));
    QCOMPARE(db.LastSql(),
             QStringList({"UPDATE SECTION SET ", "   N=7,", "   SNAME='E'", "   WHERE N=6", "   ;"}));

    // The caller's own transaction: nothing shows before the commit, a rollback drops it.
    QVERIFY(db.StartTransaction());
    QVERIFY(db.SqlInsertNoCommit("SECTION", "N, SNAME", "8, 'F'"));
    QVERIFY(db.SqlUpdateNoCommit("SECTION", "SNAME='G'", "N=8"));
    QCOMPARE(db.LastSql(), QStringList({"UPDATE SECTION SET ", "   SNAME='G'", "   WHERE N=8",
                                        "   ;"}));
    db.RollbackTransaction();
    QCOMPARE(rowCount(db, "SECTION"), 2);
    QVERIFY(db.StartTransaction());
    QVERIFY(db.SqlInsertNoCommit("SECTION", "N, SNAME", "8, 'F'"));
    QVERIFY(!db.SqlInsertNoCommit("SECTION", "N, SNAME", "8, 'F'"));
    QVERIFY(db.CommitTransaction());
    QCOMPARE(rowCount(db, "SECTION"), 3);

    QVERIFY(db.SqlDelete("SECTION", "N=5"));
    QCOMPARE(db.LastSql(), QStringList({"DELETE FROM SECTION WHERE N=5 ;"}));
    QVERIFY(db.SqlDelete("SECTION", ""));
    QCOMPARE(db.LastSql(), QStringList({"DELETE FROM SECTION ;"}));
    QCOMPARE(rowCount(db, "SECTION"), 0);

    QVERIFY(!db.ExecSqlLines({}));
    QVERIFY(!db.ExecSqlLines({"INSERT INTO NOWHERE VALUES (1);"}));
    QVERIFY(!db.LastError().isEmpty());
    QVERIFY(db.DropTable("SECTION"));
    QCOMPARE(db.LastSql(), QStringList({"DROP TABLE SECTION;"}));
    QVERIFY(!db.TableExists("SECTION"));
    QVERIFY(!db.DropTable("SECTION"));
}

void TestDatabase::readerLines()
{
    TestDb t;
    Database db;
    QVERIFY(t.open(db));
    QVERIFY(CreateSectionTable(db));

    QCOMPARE(db.SqlSelectMax("SECTION", "N", ""), QString());
    QCOMPARE(db.SqlSelectMax("NOWHERE", "N", ""), QString());

    QVERIFY(db.SqlInsertList("SECTION", "N, SNAME", "3, 'x'"));
    QVERIFY(db.SqlInsertList("SECTION", "N, SNAME", "12, 'y'"));
    QCOMPARE(db.SqlSelectMax("SECTION", "N", "N<10"), QString("3"));
    QCOMPARE(db.LastSql(),
             QStringList({"SELECT MAX(N) ", "   FROM SECTION ", "   WHERE N<10 ", "   ;"}));

    QVERIFY(db.SqlSelectPairs("SECTION", "N", "", 3));
    QVERIFY(!db.SqlSelectPairs("SECTION", "N", "SNAME='y'", 3));
    QCOMPARE(db.LastSql(), QStringList({"SELECT N ", "   FROM SECTION ",
                                        "   WHERE (SNAME='y') AND (N=3) ", "   ;"}));

    QStringList values{"keep"};
    QCOMPARE(db.SqlSelectRow("N, SNAME", "SECTION", "N=12", values), 2);
    QCOMPARE(values, QStringList({"12", "y"}));
    values = QStringList{"keep"};
    QCOMPARE(db.SqlSelectRow("N, SNAME", "SECTION", "N=99", values), -1);
    QCOMPARE(values, QStringList({"keep"}));
    QCOMPARE(db.SqlSelectRow("N, SNAME", "NOWHERE", "", values), -1);

    QCOMPARE(db.SqlSelect("N, SNAME", "SECTION", "", "N DESC"), 2);
    QCOMPARE(db.LastSql(), QStringList({"SELECT N, SNAME ", "   FROM SECTION ",
                                        "   ORDER BY N DESC ", "   ;"}));
    db.CloseSelect();
    QCOMPARE(db.SqlSelect("N", "SECTION", "N>3", ""), 1);
    db.CloseSelect();
    QCOMPARE(db.SqlSelect("N", "NOWHERE", "", ""), 0);
}

void TestDatabase::fetchCycle()
{
    TestDb t;
    Database db;
    QVERIFY(t.open(db));
    QVERIFY(CreateSectionTable(db));
    QVERIFY(db.SqlInsertList("SECTION", "N, SNAME", "1, 'one'"));
    QVERIFY(db.SqlInsertList("SECTION", "N, SNAME", "2, NULL"));

    QStringList row;
    QCOMPARE(db.SqlSelect("N, SNAME", "SECTION", "", "N"), 2);
    // The rows are read; no transaction waits open while the caller goes through them.
    QVERIFY(!db.Connection().active());
    db.FetchRow(row);
    QCOMPARE(row, QStringList({"1", "one"}));
    db.FetchNextRow(row);
    QCOMPARE(row, QStringList({"2", ""}));
    db.FetchNextRow(row);
    QCOMPARE(row, QStringList({"", ""}));
    db.FetchNextRow(row);
    QCOMPARE(row, QStringList({"", ""}));
    db.FetchRow(row);
    QCOMPARE(row, QStringList({"1", "one"}));
    // Indexing past the row gives empty text, never garbage.
    QCOMPARE(row.value(5), QString());
    db.CloseSelect();
    row = QStringList{"kept"};
    db.FetchRow(row);
    db.FetchNextRow(row);
    QCOMPARE(row, QStringList({"kept"}));

    // Any helper between SqlSelect and the fetches closes the result.
    QCOMPARE(db.SqlSelect("N, SNAME", "SECTION", "", "N"), 2);
    QCOMPARE(db.SqlSelectMax("SECTION", "N", ""), QString("2"));
    db.FetchRow(row);
    db.FetchNextRow(row);
    QCOMPARE(row, QStringList({"kept"}));
}

void TestDatabase::unconnectedFailures()
{
    Database db;
    QStringList values{"v"};
    QVERIFY(!db.TableExists("SECTION"));
    QVERIFY(!db.ExecSqlLines({"DELETE FROM SECTION ;"}));
    QVERIFY(!db.DropTable("SECTION"));
    QVERIFY(!db.SqlInsert("SECTION", 2, sectionColumns(), {"1", "'a'"}));
    QVERIFY(!db.SqlInsertList("SECTION", "N", "1"));
    QVERIFY(!db.SqlUpdate("SECTION", 1, {"N"}, {"1"}, ""));
    QVERIFY(!db.SqlDelete("SECTION", ""));
    QVERIFY(!db.StartTransaction());
    QVERIFY(!db.SqlInsertNoCommit("SECTION", "N", "1"));
    QVERIFY(!db.SqlUpdateNoCommit("SECTION", "N=1", ""));
    QVERIFY(!db.CommitTransaction());
    db.RollbackTransaction();
    db.CloseQuery();
    QVERIFY(!db.SqlSelectPairs("SECTION", "N", "", 1));
    QCOMPARE(db.SqlSelectMax("SECTION", "N", ""), QString());
    QCOMPARE(db.SqlSelectRow("N", "SECTION", "", values), -1);
    QCOMPARE(db.SqlSelect("N", "SECTION", "", ""), 0);
    db.FetchRow(values);
    db.FetchNextRow(values);
    db.CloseSelect();
    QCOMPARE(values, QStringList({"v"}));
    QVERIFY(!CreateSectionTable(db));
}

void TestDatabase::textConversion()
{
    // The converters themselves: full-width forms round-trip, what CP932 lacks is refused,
    // a broken byte becomes U+FFFD, plain ASCII passes as it is.
    const QString s = QStringLiteral("～－ｱ表");
    const std::optional<QByteArray> b = ToCp932(s);
    QVERIFY(b);
    QCOMPARE(b->size(), 7);
    QCOMPARE(FromCp932(*b), s);
    QVERIFY(!ToCp932(QStringLiteral("a😀")));
    QVERIFY(!ToCp932(QStringLiteral("\u00e9")));
    QCOMPARE(FromCp932(QByteArray("\x82", 1)), QString(QChar(0xFFFD)));
    QCOMPARE(FromCp932(QByteArray("a\x82 ", 3) + *b), QStringLiteral("a\ufffd ") + s);
    QCOMPARE(ToCp932(s), b); // a failed conversion leaves nothing behind for the next
    QCOMPARE(*ToCp932(QStringLiteral("C:\\data\\~")), QByteArray("C:\\data\\~"));

    TestDb t;
    Database db;
    QVERIFY(t.open(db));
    QVERIFY(CreateMemberTable(db));
    // Eight double-byte characters fill the 16 bytes of PNAME; the wave dash and the
    // full-width hyphen come back as they went in.
    const QString name = QStringLiteral("山田～太郎－花子");
    QVERIFY(db.SqlInsertList("MEMBER", "N, SN, PNAME", "1, 0, '" + name + "'"));
    QCOMPARE(QueryValue(db, "PNAME", "MEMBER", "N=1"), name);
    QCOMPARE(QueryValue(db, "COUNT(*)", "MEMBER", "PNAME='" + name + "'"), QString("1"));
    QVERIFY(!db.SqlInsertList("MEMBER", "N, SN, PNAME", "2, 0, '" + name + "あ'"));

    // What CP932 cannot hold fails the statement instead of being stored as "?".
    QVERIFY(!db.SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("3, 0, '笑😀'")));
    QVERIFY(!db.SqlUpdate("MEMBER", 1, {"PNAME"}, {QStringLiteral("'😀'")}, "N=1"));
    QCOMPARE(rowCount(db, "MEMBER"), 1);
    QCOMPARE(QueryValue(db, "PNAME", "MEMBER", "N=1"), name);
    QStringList values{"v"};
    QCOMPARE(db.SqlSelectRow("N", "MEMBER", QStringLiteral("PNAME='😀'"), values), -1);
}

void TestDatabase::numberForms()
{
    TestDb t;
    Database db;
    QVERIFY(t.open(db));
    QVERIFY(db.ExecSqlLines({"CREATE TABLE T (", "  I INTEGER,", "  S SMALLINT,",
                             "  D DOUBLE PRECISION,", "  B BIGINT,", "  M NUMERIC(9,2)", "  );"}));
    const QStringList rows[] = {
        {"-2147483648, -32768, 0.18, 9007199254740993, -12.5",
         "-2147483648|-32768|0.18|9007199254740993|-12.50"},
        {"2147483647, 5, 1189, 0, 0.05", "2147483647|5|1189|0|0.05"},
        {"0, 0, 1e-20, 1, 3", "0|0|1e-20|1|3.00"},
        {"1, 1, 123456789012345678, 2, -0.01", "1|1|1.23456789012346e+17|2|-0.01"},
        {"2, 2, 0.1, 3, 0", "2|2|0.1|3|0.00"},
        {"NULL, NULL, NULL, 4, NULL", "|||4|"},
    };
    for (const QStringList &r : rows) {
        QVERIFY(db.SqlInsertList("T", "I, S, D, B, M", r[0]));
        const QString b = r[0].section(u',', 3, 3).trimmed();
        QStringList values;
        QCOMPARE(db.SqlSelectRow("I, S, D, B, M", "T", "B=" + b, values), 5);
        QCOMPARE(values.join(u'|'), r[1]);
    }
    // A type that has no text form here fails the read instead of looking like NULL.
    for (const char *column : {"CAST('2020-01-02 03:04:05' AS TIMESTAMP)",
                               "CAST('03:04:05' AS TIME)", "RDB$DESCRIPTION"}) {
        QStringList values{"kept"};
        QCOMPARE(db.SqlSelectRow(column, "RDB$DATABASE", "", values), -1);
        QCOMPARE(values, QStringList({"kept"}));
        QVERIFY2(db.LastError().contains("not read as text"), column);
    }
    QVERIFY(db.SelectRows("N, RDB$DESCRIPTION", "T, RDB$DATABASE", "", "").isEmpty());
}

void TestDatabase::insertRowsInBlocks()
{
    TestDb t;
    Database db;
    QVERIFY(t.open(db));
    QVERIFY(CreateLayerTable(db, 1));
    const QStringList columns{"N", "LNAME", "WID", "SCL"};
    // 70 rows: two full blocks and a shorter last one, texts stored as given.
    QList<QStringList> rows;
    for (int i = 0; i < 70; ++i)
        rows << QStringList{QString::number(i), QStringLiteral("O'層%1").arg(i), "18", "0.5"};
    QVERIFY(db.StartTransaction());
    QVERIFY(db.SqlInsertRowsNoCommit("LAYER_1", columns, rows));
    QVERIFY(db.CommitTransaction());
    QCOMPARE(rowCount(db, "LAYER_1"), 70);
    QStringList stored;
    QCOMPARE(db.SqlSelectRow("LNAME, WID, SCL", "LAYER_1", "N=69", stored), 3);
    QCOMPARE(stored.join(u'|'), QStringLiteral("O'層69|18|0.5"));
    QCOMPARE(QueryValue(db, "SUM(N)", "LAYER_1"), QString::number(69 * 70 / 2));

    // A duplicate key, a text CP932 cannot hold, a short row or a value the column's type
    // refuses fail the call, and the caller's rollback leaves nothing of it.
    const QList<QList<QStringList>> bad{
        {{"100", "a", "1", "1"}, {"5", "b", "1", "1"}},
        {{"101", QStringLiteral("😀"), "1", "1"}},
        {{"102", "c", "1"}},
        {{"103", "d", "wide", "1"}},
    };
    for (const QList<QStringList> &b : bad) {
        QVERIFY(db.StartTransaction());
        QVERIFY(!db.SqlInsertRowsNoCommit("LAYER_1", columns, b));
        db.RollbackTransaction();
        QCOMPARE(rowCount(db, "LAYER_1"), 70);
    }
}

namespace {

// Every field of a read entity, numbers exactly, for comparisons that show what differs.
QString describe(const EntityRecord &e)
{
    const auto g = [](double v) { return QString::number(v, 'g', 17); };
    QStringList f{QString::number(e.entity.n), QString::number(e.entity.member),
                  QString::number(e.entity.state), QString::number(e.entity.type),
                  QString::number(e.entity.target), QString::number(e.row),
                  QString::number(e.look.layer), QString::number(e.look.colour),
                  QString::number(e.look.lineType), QString::number(e.look.width)};
    if (const auto *l = std::get_if<LineShape>(&e.shape))
        f << "line" << g(l->x1) << g(l->y1) << g(l->x2) << g(l->y2);
    else if (const auto *c = std::get_if<CircleShape>(&e.shape))
        f << "circle" << g(c->cx) << g(c->cy) << g(c->r);
    else if (const auto *a = std::get_if<ArcShape>(&e.shape))
        f << "arc" << g(a->cx) << g(a->cy) << g(a->r) << g(a->sa) << g(a->ea);
    else if (const auto *t = std::get_if<TextShape>(&e.shape))
        f << "text" << g(t->px) << g(t->py) << g(t->height) << g(t->width) << g(t->spacing)
          << g(t->angle) << QString::number(t->style) << QString::number(t->anchor)
          << QString::number(t->vertical) << t->font << t->text;
    else
        f << "none";
    return f.join(u'|');
}

} // namespace

// A drawing of every kind interleaved, with erased entities, texts in CP932, rows another
// build numbered far apart or shared, a kind this program does not know and a row gone
// missing. Read in steps of any size, every entity comes once, in order, as it was stored
// and as the joined read of the same numbers gives it.
void TestDatabase::entitiesReadBack()
{
    TestDb place;
    Database db;
    QVERIFY(place.open(db, true));
    constexpr int D = 3;
    for (auto create : {CreateEntityTable, CreateEntLineTable, CreateEntCircleTable,
                        CreateEntArcTable, CreateEntTextTable})
        QVERIFY(create(db, D));

    const QStringList texts{QStringLiteral("図面番号"), QStringLiteral("SECTION A-A 断面"),
                            QStringLiteral("材質：ＳＳ４００　仕上げ：黒皮"), QString(),
                            QStringLiteral("ﾊﾝｶｸ ｶﾅ"), QStringLiteral("寸法は'25'とする")};
    const int kinds[10] = {1, 2, 1, 3, 1, 4, 1, 1, 3, 4};
    constexpr int Count = 400;
    std::vector<EntityRecord> stored;
    QList<QStringList> entities, lines, circles, arcs, textRows;
    int32_t next[5] = {0, 0, 0, 0, 0};
    const auto q = [](double v) { return QString::number(v, 'g', 17); };
    for (int i = 1; i <= Count; ++i) {
        EntityRecord e;
        int16_t kind = int16_t(kinds[i % 10]);
        if (i % 53 == 0)
            kind = 9; // another build's kind
        int32_t dn = kind <= KindText ? ++next[kind] : 7;
        if (kind == KindCircle && i % 9 == 0)
            dn = 50000 + i; // far from the others
        if (kind == KindArc)
            dn *= 1000; // spread wide
        if (i == 397)
            dn = 1; // shares the first line's row
        e.entity = {i, 1 + i % 5, int16_t(i % 7 == 0 ? 0 : 1), kind, dn};
        if (i % 61 == 0)
            e.entity.target = 999999; // its row is gone
        entities << QStringList{QString::number(i), QString::number(e.entity.member),
                                QString::number(e.entity.state), QString::number(kind),
                                QString::number(e.entity.target)};
        const bool own = kind <= KindText && e.entity.target == dn && i != 397;
        e.row = kind <= KindText && e.entity.target != 999999 ? dn : 0;
        if (kind == KindText) {
            e.look = {int16_t(i % 8), int16_t(i % 3), 0, 0};
            TextShape t;
            t.px = i * 0.25, t.py = -i * 1.5, t.height = 2.5 + i % 4, t.width = i % 2 * 1.75;
            t.spacing = 0.125, t.angle = i % 5 * 30.5, t.style = int16_t(i % 2);
            t.anchor = int16_t(1 + i % 9), t.vertical = int16_t(i % 7 == 3);
            // Every other font is NULL, which reads as the default.
            t.font = i % 2 ? QStringLiteral("IPAゴシック") : QString();
            t.text = texts[i % texts.size()];
            e.shape = t;
            if (own)
                textRows << QStringList{QString::number(dn), QString::number(e.look.layer),
                                        QString::number(e.look.colour), QString::number(t.style),
                                        QString::number(t.anchor), QString::number(t.vertical),
                                        q(t.px), q(t.py), q(t.height), q(t.width), q(t.spacing),
                                        q(t.angle), t.font, t.text};
        } else if (kind <= KindText) {
            e.look = {int16_t(i % 8), int16_t(i % 3), int16_t(i % 4), int16_t(i % 5 * 10)};
            QStringList row{QString::number(dn), QString::number(e.look.layer),
                            QString::number(e.look.colour), QString::number(e.look.lineType),
                            QString::number(e.look.width)};
            if (kind == KindLine) {
                e.shape = LineShape{i * 0.25, -i * 0.5, i + 0.125, 3.75 - i};
                row << q(i * 0.25) << q(-i * 0.5) << q(i + 0.125) << q(3.75 - i);
                if (own)
                    lines << row;
            } else if (kind == KindCircle) {
                e.shape = CircleShape{-i * 2.0, i / 8.0, double(1 + i % 6)};
                row << q(-i * 2.0) << q(i / 8.0) << q(1 + i % 6);
                if (own)
                    circles << row;
            } else {
                e.shape = ArcShape{i * 3.0, -i / 4.0, 0.5 + i % 3, double(i % 360), 359.5};
                row << q(i * 3.0) << q(-i / 4.0) << q(0.5 + i % 3) << q(i % 360) << q(359.5);
                if (own)
                    arcs << row;
            }
        }
        if (e.row == 0) {
            e.look = {};
            e.shape = std::monostate();
        }
        stored.push_back(e);
    }
    // The shared row is the first line's, entity 2's.
    QCOMPARE(stored[1].entity.type, int16_t(KindLine));
    stored[396].look = stored[1].look;
    stored[396].shape = stored[1].shape;
    const QStringList lined{"N", "LAY", "COL", "LTP", "WID"};
    QVERIFY(db.StartTransaction());
    QVERIFY(db.SqlInsertRowsNoCommit("ENTITY_3", {"N", "MN", "DS", "DT", "DN"}, entities));
    QVERIFY(db.SqlInsertRowsNoCommit("ENT_LINE_3", lined + QStringList{"X1", "Y1", "X2", "Y2"},
                                     lines));
    QVERIFY(db.SqlInsertRowsNoCommit("ENT_CIRCLE_3", lined + QStringList{"CX", "CY", "CR"},
                                     circles));
    QVERIFY(db.SqlInsertRowsNoCommit("ENT_ARC_3",
                                     lined + QStringList{"CX", "CY", "CR", "SA", "EA"}, arcs));
    QVERIFY(db.SqlInsertRowsNoCommit("ENT_TEXT_3",
                                     {"N", "LAY", "COL", "STL", "BAS", "DIR", "PX", "PY", "MH",
                                      "MW", "MD", "ANG", "FNT", "TXT"},
                                     textRows));
    QVERIFY(db.CommitTransaction());
    QVERIFY(db.ExecSqlLines({"UPDATE ENT_TEXT_3 SET FNT = NULL WHERE FNT = ''"}));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENT_TEXT_3", "FNT IS NULL"),
             QString::number(std::count_if(textRows.begin(), textRows.end(),
                                           [](const QStringList &r) { return r[12].isEmpty(); })));

    std::vector<int32_t> numbers;
    for (const EntityRecord &e : stored)
        numbers.push_back(e.entity.n);
    std::vector<EntityRecord> joined;
    QVERIFY(ReadEntitiesNumbered(db, D, numbers, [&](const EntityRecord &e) { joined.push_back(e); }));
    QCOMPARE(int(joined.size()), Count);
    for (int limit : {0, 1, 7, 64, 1000}) {
        std::vector<EntityRecord> got;
        for (int round = 0; round <= Count; ++round) {
            const size_t before = got.size();
            QVERIFY(ReadEntities(db, D, got.empty() ? 0 : got.back().entity.n, limit,
                                 [&](const EntityRecord &e) { got.push_back(e); }));
            if (limit == 0 || int(got.size() - before) < limit)
                break;
        }
        QCOMPARE(int(got.size()), Count);
        for (int i = 0; i < Count; ++i) {
            QCOMPARE(describe(got[i]), describe(stored[i]));
            QCOMPARE(describe(got[i]), describe(joined[i]));
        }
    }
    // Above the last one there is nothing; a step starting inside reads on from there.
    int above = 0;
    QVERIFY(ReadEntities(db, D, Count, 10, [&](const EntityRecord &) { ++above; }));
    QCOMPARE(above, 0);
    std::vector<EntityRecord> tail;
    QVERIFY(ReadEntities(db, D, 390, 0, [&](const EntityRecord &e) { tail.push_back(e); }));
    QCOMPARE(int(tail.size()), 10);
    QCOMPARE(describe(tail.front()), describe(stored[390]));
}

void TestDatabase::schemaTables_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("columns");
    const QString line = "N:I*,LAY:S,COL:S,LTP:S,WID:S,";
    const QStringList rows = {
        "SECTION|N:I*,SNAME:V32",
        "MEMBER|N:I*,SN:I,PNAME:V16",
        "CHAT|N:I*,MN:I,CTEXT:V80,CDATE:V8,CTIME:V6",
        "MOUSEPOS|MN:I,ST:I,MX:I,MY:I",
        "CADLIST|N:I*,ZNAME:V80,ZUMENN:V80,MTITLE:V80,STITLE:V80,MEMO1:V80,MEMO2:V80,"
        "MEMO3:V80,PAPER:I,PAPX:D,PAPY:D,MN:I,DDATE:V8,UDATE:V8,KN:I,KDATE:V8,AN:I,"
        "ADATE:V8,PN:I,PDATE:V8,RN:I,RDATE:V8",
        "CADREV|N:I*,ZN:I,CONT:V80,RN:I,RDATE:V8",
        "WORKDISPLAY|N:I*,ZN:I,PX:I,PY:I,SX:I,SY:I,WX1:D,WY1:D,WX2:D,WY2:D,WSC:D",
        "LAYER_7|N:I*,LNAME:V255,VISI:S,PRN:S,COL:S,LTP:S,WID:S,SCL:D",
        "COLOR_7|N:I*,CNAME:V255,COL:I",
        "LTYPE_7|N:I*,SNAME:V255,SN:S,P1:S,P2:S,P3:S,P4:S,P5:S,P6:S,P7:S,P8:S,P9:S,P10:S",
        "VAR_7|N:I*,OPN:I",
        "HISTORY_7|N:I*,OPN:I,MD:S,EN:I",
        "ENTITY_7|N:I*,MN:I,DS:S,DT:S,DN:I",
        "ENT_LINE_7|" + line + "X1:D,Y1:D,X2:D,Y2:D",
        "ENT_CIRCLE_7|" + line + "CX:D,CY:D,CR:D",
        "ENT_ARC_7|" + line + "CX:D,CY:D,CR:D,SA:D,EA:D",
        "ENT_TEXT_7|N:I*,LAY:S,COL:S,STL:S,BAS:S,DIR:S,PX:D,PY:D,MH:D,MW:D,MD:D,ANG:D,"
        "FNT:V80,TXT:V255",
        "LAYER_10|N:I*,LNAME:V255,VISI:S,PRN:S,COL:S,LTP:S,WID:S,SCL:D",
    };
    for (const QString &r : rows)
        QTest::newRow(qPrintable(r.section(u'|', 0, 0))) << r.section(u'|', 0, 0)
                                                         << r.section(u'|', 1);
}

void TestDatabase::schemaTables()
{
    QFETCH(QString, table);
    QFETCH(QString, columns);
    TestDb t;
    Database db;
    QVERIFY(t.open(db));
    const int underscore = int(table.lastIndexOf(u'_'));
    const bool drawing = underscore > 0 && table.mid(underscore + 1).toInt() > 0;
    if (drawing) {
        const int n = table.mid(underscore + 1).toInt();
        const QString prefix = table.left(underscore + 1);
        QVERIFY(DrawingTablePrefixes().contains(prefix));
        QVERIFY(CreateDrawingTable(db, prefix, n));
        QVERIFY(!CreateDrawingTable(db, prefix, n));
    } else {
        QVERIFY(CreateSharedTable(db, table));
        QVERIFY(!CreateSharedTable(db, table));
    }
    QVERIFY(db.TableExists(table));
    QCOMPARE(describeTable(db, table).join(u','), columns);
    if (table == "MOUSEPOS") {
        QVERIFY(db.SqlInsertList("MOUSEPOS", "MN, ST, MX, MY", "1, 1, 0, 0"));
        QVERIFY(db.SqlInsertList("MOUSEPOS", "MN, ST, MX, MY", "1, 1, 0, 0"));
    }
}

void TestDatabase::twoPcsSameNumber()
{
    TestDb t;
    Database a, b;
    QVERIFY2(t.open(a, true), qPrintable(a.LastError()));
    QVERIFY(CreateSectionTable(a));
    b.ConnectDatabase(t.serverPath());
    QVERIFY2(b.DatabaseConnected(), qPrintable(b.LastError()));

    // Both propose the same next number.
    const int next = a.SqlSelectMax("SECTION", "N", "").toInt() + 1;
    QCOMPARE(b.SqlSelectMax("SECTION", "N", "").toInt() + 1, next);
    const bool first = a.SqlInsert("SECTION", 2, sectionColumns(), {QString::number(next), "'A'"});
    const bool second = b.SqlInsert("SECTION", 2, sectionColumns(), {QString::number(next), "'B'"});
    QVERIFY(first && !second);
    QCOMPARE(rowCount(b, "SECTION"), 1);
    QCOMPARE(QueryValue(b, "SNAME", "SECTION"), QString("A"));
}

void TestDatabase::updateDateTouched()
{
    TestDb t;
    Database db;
    QVERIFY(t.open(db));
    QVERIFY(CreateCadListTable(db));
    QVERIFY(db.SqlInsertList("CADLIST", "N, UDATE", "3, NULL"));
    QVERIFY(db.SqlInsertList("CADLIST", "N, UDATE", "4, '20200101'"));
    QVERIFY(TouchDrawingUpdateDate(db, 3, "20261208"));
    QCOMPARE(QueryValue(db, "UDATE", "CADLIST", "N=3"), QString("20261208"));
    QCOMPARE(QueryValue(db, "UDATE", "CADLIST", "N=4"), QString("20200101"));
    // The same day again changes nothing and is no failure.
    QVERIFY(TouchDrawingUpdateDate(db, 3, "20261208"));
    QCOMPARE(QueryValue(db, "UDATE", "CADLIST", "N=3"), QString("20261208"));
    // Only eight digits reach the SQL.
    for (const char *bad : {"2026120'", "2026-1208", "202612080", ""})
        QVERIFY(!TouchDrawingUpdateDate(db, 4, bad));
    QCOMPARE(QueryValue(db, "UDATE", "CADLIST", "N=4"), QString("20200101"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_db.moc"

#include "figures.h"

#include "app/commandline.h"
#include "base/messages.h"
#include "base/settings.h"
#include "db/drawingrows.h"
#include "db/schema.h"
#include "editor/output/dxfimport.h"
#include "editor/output/dxfstore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QToolButton>

#include <cmath>

class TestDxfImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void kindsBlocksAndLooks();
    void curvesWithinTolerance();
    void japaneseInEveryEncoding();
    void oddValuesAndBadFiles();
    void storedAsOneOperationAndUndone();
    void commandLine();

private:
    QTemporaryDir dir;
    QJsonObject made; // what the generator reports besides the files
};

namespace {

// The files the tests read, written by an independent DXF writer.
const char *MakeFiles = R"(
import sys, json, os, ezdxf
out = sys.argv[1]
doc = ezdxf.new("R2018")
doc.linetypes.add("DASH10", pattern=[15.0, 10.0, -5.0])
doc.layers.add("図面枠", color=3, linetype="DASH10", lineweight=35)
doc.layers.add("HIDDEN", color=5).off()
doc.layers.add("NOPLOT", color=1).dxf.plot = 0
msp = doc.modelspace()
msp.add_line((0, 0), (10, 5), dxfattribs={"layer": "図面枠"})
msp.add_line((1, 1), (2, 2), dxfattribs={"layer": "HIDDEN"})
msp.add_line((3, 3), (4, 4), dxfattribs={"layer": "NOPLOT", "true_color": 0xFF8000, "lineweight": 50})
msp.add_circle((5, 5), 3, dxfattribs={"color": 1})
msp.add_arc((20, 20), 4, 30, 120)
msp.add_text("TEXT1", dxfattribs={"height": 3.5, "rotation": 30}).set_placement((1, 2))
msp.add_text("MID", dxfattribs={"height": 2}).set_placement((50, 60), align=ezdxf.enums.TextEntityAlignment.MIDDLE_CENTER)
msp.add_point((7, 7))
msp.add_lwpolyline([(0, 0, 0, 0, 1), (10, 0, 0, 0, 0), (10, 10, 0, 0, 0)], format="xyseb")
msp.add_polyline2d([(30, 0), (35, 5), (40, 0)], close=True)
msp.add_mtext("一行目\\P{\\fArial|b1;二行目}\\U+4E09\\P\\S1^2;", dxfattribs={"char_height": 2.5, "insert": (100, 100)})
h = msp.add_hatch(color=2)
h.paths.add_polyline_path([(0, 0), (10, 0), (10, 10)], is_closed=True)
e = msp.add_hatch().paths.add_edge_path()
e.add_line((5, 0), (0, 5)); e.add_arc((0, 0), 5, 0, 90)
msp.add_solid([(60, 0), (61, 0), (60, 1)])
msp.add_ray((0, 0), (1, 0))
msp.add_xline((0, 0), (0, 1))
doc.layout("Layout1").add_line((0, 0), (1, 1))
inner = doc.blocks.new("INNER")
inner.add_line((0, 0), (1, 0))
inner.add_circle((0, 0), 1, dxfattribs={"color": 0})
outer = doc.blocks.new("OUTER")
outer.add_blockref("INNER", (10, 0), dxfattribs={"rotation": 90, "color": 0})
outer.add_line((0, 0), (0, 1))
msp.add_blockref("OUTER", (100, 0), dxfattribs={"xscale": 2, "yscale": 2, "color": 3, "layer": "部品"})
msp.add_blockref("INNER", (200, 0), dxfattribs={"xscale": 1, "yscale": 3})
msp.add_blockref("INNER", (300, 0)).grid(size=(2, 3), spacing=(10, 20))
doc.saveas(os.path.join(out, "kinds.dxf"))

doc = ezdxf.new("R2018")
msp = doc.modelspace()
ell = msp.add_ellipse((50, 50), (10, 0), 0.5)
spl = msp.add_open_spline([(0, 0), (10, 20), (20, -10), (30, 10), (40, 0)], degree=3)
doc.saveas(os.path.join(out, "curves.dxf"))
ellipse = [list(v)[:2] for v in ell.vertices([i * 6.283185307179586 / 20000 for i in range(20001)])]
spline = [list(v)[:2] for v in spl.construction_tool().approximate(20000)]

for version, name in (("R12", "jp12.dxf"), ("R2018", "jp2018.dxf")):
    doc = ezdxf.new(version)
    if version == "R12":
        doc.header["$DWGCODEPAGE"] = "ANSI_932"
    doc.layers.add("図面枠", color=4)
    msp = doc.modelspace()
    msp.add_text("日本語の文字", dxfattribs={"layer": "図面枠", "height": 5}).set_placement((10, 20))
    msp.add_text("直径%%c10 \\U+4E09 \\M+18140", dxfattribs={"height": 5}).set_placement((10, 30))
    doc.saveas(os.path.join(out, name))

doc = ezdxf.new("R2018")
msp = doc.modelspace()
msp.add_line((5, 5), (5, 5))
msp.add_circle((1, 1), 0)
msp.add_line((1e12, -1e12), (1e12 + 1, -1e12))
msp.add_text("部品\U0001F600", dxfattribs={"height": 2}).set_placement((0, 5))
msp.add_text("あ" * 200, dxfattribs={"height": 2}).set_placement((0, 0))
doc.saveas(os.path.join(out, "odd.dxf"))
print(json.dumps({"ellipse": ellipse, "spline": spline}))
)";

QString python()
{
    return QStringLiteral(DEBIAN_PYTHON3);
}

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Starts the editor's import and waits, boundedly, for it to end.
bool importInto(TForm13 *e, const QString &path)
{
    if (!e->ImportDxf(path))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (e->ImportingDxf() && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return !e->ImportingDxf();
}

// A fresh drawing 1 and its own rows, to import into.
struct Fresh : Editor
{
    DxfTarget target;
    bool ready()
    {
        return prepare() && ReadLayers(db, 1, target.layers)
               && ReadColours(db, 1, target.colours) && ReadLineTypes(db, 1, target.lineTypes);
    }
};

const LayerRow *layerNamed(const DxfImportResult &r, const QString &name)
{
    for (const LayerRow &l : r.layers) {
        if (l.name == name)
            return &l;
    }
    return nullptr;
}

// The figure read as described (a line drawn either way), or null.
const EntityRecord *find(const DxfImportResult &r, const QString &figure)
{
    for (const EntityRecord &e : r.records) {
        const LineShape *l = std::get_if<LineShape>(&e.shape);
        if (described(e.shape) == figure
            || (l && described(LineShape{l->x2, l->y2, l->x1, l->y1}) == figure))
            return &e;
    }
    return nullptr;
}

const TextShape *textOf(const DxfImportResult &r, const QString &text)
{
    for (const EntityRecord &e : r.records) {
        if (const TextShape *t = std::get_if<TextShape>(&e.shape); t && t->text == text)
            return t;
    }
    return nullptr;
}

// The largest distance of a chord's midpoint from the densely sampled curve.
double worstMidpoint(const std::vector<LineShape> &lines, const QJsonArray &curve)
{
    double worst = 0;
    for (const LineShape &l : lines) {
        const double mx = (l.x1 + l.x2) / 2, my = (l.y1 + l.y2) / 2;
        double best = 1e300;
        for (const QJsonValue &v : curve) {
            const QJsonArray p = v.toArray();
            best = std::min(best, std::hypot(p[0].toDouble() - mx, p[1].toDouble() - my));
        }
        worst = std::max(worst, best);
    }
    return worst;
}

} // namespace

void TestDxfImport::initTestCase()
{
    if (!QFile::exists(python()))
        QSKIP("python3 is not installed: the DXF files cannot be made");
    bool ok = false;
    const QByteArray out = RunProgram(python(), {"-c", MakeFiles, dir.path()}, &ok);
    if (!ok)
        QSKIP("python3-ezdxf did not write the DXF files (is it installed?)");
    made = QJsonDocument::fromJson(out).object();
    QVERIFY2(!made.isEmpty(), "the generator's report is not JSON");
}

void TestDxfImport::kindsBlocksAndLooks()
{
    Fresh f;
    QVERIFY(f.ready());
    const DxfImportResult r = ImportDxfFile(dir.filePath("kinds.dxf"), f.target);
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));

    // Layers by name in free rows, with the file's colour, line type, width, on and plot.
    const LayerRow *frame = layerNamed(r, "図面枠"), *hidden = layerNamed(r, "HIDDEN");
    const LayerRow *noplot = layerNamed(r, "NOPLOT"), *part = layerNamed(r, "部品");
    QVERIFY(frame && hidden && noplot && part);
    QVERIFY(frame->colour == 3 && frame->width == 35 && frame->visible == 1); // green
    QVERIFY(frame->lineType >= 16);
    QVERIFY(hidden->visible == 0 && noplot->printed == 0 && noplot->visible == 1);
    QCOMPARE(r.lineTypes.size(), size_t(1));
    const LineTypeRow &dash = r.lineTypes[0];
    QVERIFY(dash.name == "DASH10" && dash.n == frame->lineType && dash.count == 2);
    QCOMPARE(QList<int>(dash.pitches, dash.pitches + 3), QList<int>({1000, 500, 0}));
    std::set<int> rowsTaken;
    for (const LayerRow &l : r.layers)
        rowsTaken.insert(l.n);
    QCOMPARE(rowsTaken.size(), r.layers.size());

    const EntityRecord *e = find(r, "line 0 0 10 5");
    QVERIFY(e && e->look.layer == frame->n && e->look.colour == 0 && e->look.lineType == 0);
    e = find(r, "line 3 3 4 4");
    QVERIFY(e && e->look.colour == 11 && e->look.width == 50); // orange, nearest the true colour
    e = find(r, "circle 5 5 3");
    QVERIFY(e && e->look.colour == 2);
    // The polyline's bulge of 1 as a half circle below its chord, then its straight side; the
    // closing side of the closed polyline; the hatch's edge and polyline paths; the solid's
    // outline; the point's cross.
    for (const char *figure : {"arc 5 0 5 180 0", "line 10 0 10 10", "arc 20 20 4 30 120",
                               "line 40 0 30 0", "line 5 0 0 5", "arc 0 0 5 0 90",
                               "line 0 0 10 0", "line 10 10 0 0", "line 61 0 60 1",
                               "line 6.5 7 7.5 7", "line 7 6.5 7 7.5"})
        QVERIFY2(find(r, figure), figure);

    // Blocks nested two deep: scaled, rotated, on the insert's layer and in its colour.
    e = find(r, "line 100 0 100 2");
    QVERIFY(e && e->look.layer == part->n);
    QVERIFY(find(r, "line 120 0 120 2"));
    e = find(r, "circle 120 0 2");
    QVERIFY(e && e->look.colour == 3);
    // Squeezed, the circle becomes lines; arrays repeat the block.
    for (const char *figure : {"line 200 0 201 0", "line 300 0 301 0", "line 340 10 341 10"})
        QVERIFY2(find(r, figure), figure);

    QVERIFY(find(r, "text 1 2 3.5 30 1 TEXT1"));
    QVERIFY(textOf(r, "MID") && textOf(r, "MID")->anchor == 5 && textOf(r, "MID")->px == 50);
    const TextShape *first = textOf(r, "一行目"), *second = textOf(r, "二行目三");
    QVERIFY(first && second && textOf(r, "1/2"));
    QVERIFY(first->anchor == 7 && first->py == 100);
    QVERIFY(near(second->py, 100 - 2.5 * 5 / 3));

    QCOMPARE(r.skippedTotal, 3);
    QCOMPARE(DxfImportSummary(r).section(u'（', 1),
             QString("読み込めなかった要素 3 個：RAY 1、XLINE 1、ペーパー空間の要素 1）"));
    QVERIFY(DxfImportSummary(r).startsWith(QString("%1 本の線、").arg(r.lines)));
}

void TestDxfImport::curvesWithinTolerance()
{
    Fresh f;
    QVERIFY(f.ready());
    const DxfImportResult r = ImportDxfFile(dir.filePath("curves.dxf"), f.target);
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    std::vector<LineShape> ellipse, spline;
    for (const EntityRecord &e : r.records) {
        if (const LineShape *l = std::get_if<LineShape>(&e.shape))
            (l->x1 >= 39.99 && l->y1 >= 44.99 ? ellipse : spline).push_back(*l);
    }
    QVERIFY(ellipse.size() > 20 && spline.size() > 20);
    QVERIFY(find(r, described(LineShape{60, 50, ellipse.front().x2, ellipse.front().y2})));
    QVERIFY(worstMidpoint(ellipse, made["ellipse"].toArray()) <= DxfCurveTolerance * 1.05);
    QVERIFY(worstMidpoint(spline, made["spline"].toArray()) <= DxfCurveTolerance * 1.05);
    // The spline runs from its first control point to its last.
    QVERIFY(std::hypot(spline.front().x1, spline.front().y1) < 1e-9);
    QVERIFY(std::hypot(spline.back().x2 - 40, spline.back().y2) < 1e-9);
}

void TestDxfImport::japaneseInEveryEncoding()
{
    Fresh f;
    QVERIFY(f.ready());
    for (const char *file : {"jp12.dxf", "jp2018.dxf"}) {
        const DxfImportResult r = ImportDxfFile(dir.filePath(file), f.target);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QVERIFY2(find(r, "text 10 20 5 0 1 日本語の文字"), file);
        const LayerRow *layer = layerNamed(r, "図面枠");
        QVERIFY2(layer && layer->colour == 7, file); // cyan
        // %%c, \U+ and \M+ (CP932 bytes 81 40: the ideographic space).
        QVERIFY2(textOf(r, QString("直径φ10 三 　")), file);
    }
    QCOMPARE(DxfMTextLines("a\\Pb{\\H2x;c}\\\\d\\~e^Jf"), QStringList({"a", "bc\\d e", "f"}));
}

void TestDxfImport::oddValuesAndBadFiles()
{
    Fresh f;
    QVERIFY(f.ready());
    const DxfImportResult odd = ImportDxfFile(dir.filePath("odd.dxf"), f.target);
    QVERIFY2(odd.error.isEmpty(), qPrintable(odd.error));
    QVERIFY(find(odd, "line 5 5 5 5"));
    QVERIFY(find(odd, described(LineShape{1e12, -1e12, 1e12 + 1, -1e12})));
    QCOMPARE(odd.circles, 0);
    // A text with a character CP932 lacks is left out and counted, never changed.
    QCOMPARE(odd.skipped, (std::vector<std::pair<QString, int>>{
                              {"CIRCLE", 1}, {QStringLiteral("CP932にない字を含む文字"), 1}}));
    // 200 kana are 400 bytes: cut to the column's 255.
    QCOMPARE(odd.texts, 1);
    QCOMPARE(std::get<TextShape>(odd.records.back().shape).text, QString(127, QChar(u'あ')));
    QCOMPARE(odd.textsChanged, 1);

    const QString good = readFile(dir.filePath("jp2018.dxf"));
    QVERIFY(!good.isEmpty());
    const QString minimal = "0\nSECTION\n2\nENTITIES\n%1  0\nENDSEC\n  0\nEOF\n";
    struct Case { const char *name; QByteArray bytes; QString error; };
    const Case cases[] = {
        {"text.dxf", "これはDXFではありません\n", "DXFファイルではないため読み込めません"},
        {"empty.dxf", "", "DXFファイルではないため読み込めません"},
        {"cut.dxf", good.left(good.size() / 2).toLatin1(),
         "DXFファイルが途中で切れているため読み込めません"},
        {"binary.dxf", QByteArray("AutoCAD Binary DXF\r\n\x1a\0", 22) + QByteArray(100, '\1'),
         "バイナリ形式のDXFは読み込めません。アスキー形式で保存したファイルを指定して下さい"},
        {"count.dxf", minimal.arg("0\nLWPOLYLINE\n8\n0\n90\n2000000000\n10\n0\n20\n0\n").toLatin1(),
         "DXFファイルの要素の個数が正しくないため読み込めません"},
        {"code.dxf", minimal.arg("0\nLINE\nx\n0\n").toLatin1(),
         "DXFファイルの 7 行目付近が壊れているため読み込めません"},
    };
    for (const Case &c : cases) {
        const QString path = dir.filePath(c.name);
        QVERIFY(writeFile(path, c.bytes));
        const DxfImportResult r = ImportDxfFile(path, f.target);
        QCOMPARE(r.error, c.error);
        QVERIFY(r.records.empty());
        StoredOperation out;
        QString message;
        QVERIFY(!StoreDxfImport(f.db, 1, r, 7, {}, out, message));
        QCOMPARE(message, c.error);
    }
    // Values that are no finite number never reach a row.
    const QString nan = dir.filePath("nan.dxf");
    QVERIFY(writeFile(nan, minimal.arg("0\nLINE\n8\n0\n10\n1e999\n20\n0\n11\n1\n21\nnan\n"
                                       "0\nCIRCLE\n8\n0\n10\ninf\n20\n0\n40\n1\n").toLatin1()));
    const DxfImportResult r = ImportDxfFile(nan, f.target);
    QVERIFY(r.error.isEmpty());
    for (const EntityRecord &e : r.records)
        QVERIFY2(!described(e.shape).contains("nan") && !described(e.shape).contains("inf"),
                 qPrintable(described(e.shape)));
    // A number too large to hold is no coordinate either.
    QCOMPARE(r.skipped, (std::vector<std::pair<QString, int>>{{QStringLiteral("LINE"), 1}}));
    QCOMPARE(QueryValue(f.db, "COUNT(*)", "ENTITY_1"), QString("0"));
    QCOMPARE(ImportDxfFile(dir.filePath("missing.dxf"), f.target).error,
             QString("ファイル「%1」を開けません").arg(dir.filePath("missing.dxf")));
}

void TestDxfImport::storedAsOneOperationAndUndone()
{
    MessageRecorder messages;
    Editor ed;
    QVERIFY(ed.prepare());
    QVERIFY(storeLine(ed.db, 1, 1, 0, 1, 1, 2, 2)); // layer 0 is in use: not free
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    const auto live = [&] { return QueryValue(ed.db, "COUNT(*)", "ENTITY_1", "DS = 1"); };
    QVERIFY(importInto(e, dir.filePath("kinds.dxf")));
    const QString summary = messages.last();
    QVERIFY2(summary.contains("を読み込みました（読み込めなかった要素 3 個："), qPrintable(summary));

    const int lines = QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1").toInt();
    const QString entities = QueryValue(ed.db, "COUNT(*)", "ENTITY_1");
    QCOMPARE(summary.section(u' ', 0, 0).remove(u',').toInt(), lines - 1);
    QCOMPARE(QueryValue(ed.db, "COUNT(DISTINCT OPN)", "HISTORY_1", "EN > 1"), QString("1"));
    QCOMPARE(rows(ed.db, "N, COL", "LAYER_1", "LNAME = '図面枠'"), QStringList{"1 3"});
    QCOMPARE(QueryValue(ed.db, "SN", "LTYPE_1", "SNAME = 'DASH10'"), QString("2"));
    QCOMPARE(rows(ed.db, "X2, Y2", "ENT_LINE_1", "LAY = 1"), QStringList{"10 5"});
    QCOMPARE(e->Model().Count(), size_t(entities.toInt()));
    QCOMPARE(e->Model().Layer(1)->name, QString("図面枠"));
    QCOMPARE(e->History().NextUndo()->name, QString("DXF読込"));

    // One undo takes the whole file back; the first line stays.
    e->Undo();
    QCOMPARE(rows(ed.db, "N", "ENTITY_1", "DS = 1"), QStringList{"1"});

    // A second import of the same file: its layers are found by name, not made again.
    QVERIFY(importInto(e, dir.filePath("kinds.dxf")));
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "LAYER_1", "LNAME = '図面枠'"), QString("1"));
    QCOMPARE(live(), entities);

    // A bad file stores nothing and says why.
    messages.clear();
    QVERIFY(writeFile(dir.filePath("bad.dxf"), "not a drawing\n"));
    QVERIFY(importInto(e, dir.filePath("bad.dxf")));
    QCOMPARE(messages.last(), QString("DXFファイルではないため読み込めません"));
    QCOMPARE(live(), entities);

    // Cancelled from the status bar: the progress goes, nothing is stored.
    QVERIFY(e->ImportDxf(dir.filePath("kinds.dxf")));
    auto *cancel = e->findChild<QToolButton *>("DxfImportCancel");
    QVERIFY(cancel && cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!e->ImportingDxf());
    QTRY_VERIFY(!e->findChild<QToolButton *>("DxfImportCancel"));
    QCOMPARE(live(), entities);

    // Far from the sheet: told where it lies and, asked to fit, moved to the centre and
    // shown at a scale that fits: its new layer has that scale and stores the file's
    // millimetres, moved. Kept as it is when refused.
    QVERIFY(writeFile(dir.filePath("far.dxf"),
                      "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\nSITE\n10\n100000\n20\n50000\n"
                      "11\n110000\n21\n55000\n0\nENDSEC\n0\nEOF\n"));
    messages.clear();
    messages.answer(true);
    QVERIFY(importInto(e, dir.filePath("far.dxf")));
    QVERIFY2(messages.texts.value(0).contains("X 100000 〜 110000、Y 50000 〜 55000"),
             qPrintable(messages.texts.value(0)));
    QVERIFY(messages.texts.value(0).contains("1:50"));
    const QString site = "LAY = (SELECT N FROM LAYER_1 WHERE LNAME = 'SITE')";
    QCOMPARE(rows(ed.db, "X1, Y1, X2", "ENT_LINE_1", site), QStringList{"-5000 -2500 5000"});
    QCOMPARE(QueryValue(ed.db, "SCL", "LAYER_1", "LNAME = 'SITE'").toDouble(), 0.02);
    messages.answer(false);
    QVERIFY(importInto(e, dir.filePath("far.dxf")));
    // On paper where the file has it: in the units of the layer, now 1:50.
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1", site + " AND X1 = 5000000"), QString("1"));
}

void TestDxfImport::commandLine()
{
    Editor ed;
    QVERIFY(ed.prepare());
    QVERIFY(CreateCadListTable(ed.db));
    QVERIFY(ed.db.SqlInsertList("CADLIST", "N, ZNAME, PAPX, PAPY", "1, 'plan', 420, 297"));
    Settings s;
    s.ServerName.clear();
    s.DataFolder = ed.place.folder();
    s.DbFileName = ed.place.embeddedPath().mid(s.DataFolder.size());
    s.PcUserNo = 7;
    QVERIFY(writeFile(dir.filePath("bad.dxf"), "not a drawing\n"));
    const QString kinds = dir.filePath("kinds.dxf");

    // Each good file one operation; a bad one stores nothing and fails the run.
    QCOMPARE(RunCommandLine({"--import-dxf", "1", kinds, dir.filePath("bad.dxf"),
                             dir.filePath("jp12.dxf")}, s), 1);
    QCOMPARE(QueryValue(ed.db, "COUNT(DISTINCT OPN)", "HISTORY_1"), QString("2"));
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_TEXT_1", "TXT = '日本語の文字'"), QString("1"));
    const QString entities = QueryValue(ed.db, "COUNT(*)", "ENTITY_1");
    QVERIFY(entities.toInt() > 20);
    // The second file found the layer the first one made by its name.
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "LAYER_1", "LNAME = '図面枠'"), QString("1"));

    // Refused before anything is read or stored.
    Settings nowhere = s;
    nowhere.DbFileName = "MISSING.FDB";
    QCOMPARE(RunCommandLine({"--import-dxf", "1", kinds}, nowhere), 1);
    for (const QStringList &args : {QStringList{"--import-dxf", "2", kinds},
                                    {"--import-dxf", "1x", kinds}, {"--import-dxf", "1"}})
        QCOMPARE(RunCommandLine(args, s), 1);
    QCOMPARE(RunCommandLine({"--import"}, s), 2);
    QCOMPARE(RunCommandLine({"--help"}, s), 0);
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENTITY_1"), entities);

    // The sheet as a PDF, or a failure and no file.
    const QString pdf = dir.filePath("plan.pdf"), nofolder = dir.filePath("none/plan.pdf");
    QCOMPARE(RunCommandLine({"--export-pdf", "1", pdf}, s), 0);
    QFile written(pdf);
    QVERIFY(written.open(QIODevice::ReadOnly) && written.read(5) == "%PDF-");
    QVERIFY(written.size() > 1000);
    QCOMPARE(RunCommandLine({"--export-pdf", "1", nofolder}, s), 1);
    QVERIFY(!QFile::exists(nofolder));

    // The drawing as DXF of either release, every entity written.
    const QString dxf = dir.filePath("plan.dxf");
    QCOMPARE(RunCommandLine({"--export-dxf", "1", dxf}, s), 0);
    const QString text = readFile(dxf);
    QVERIFY(text.contains("AC1015"));
    const int lines = QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1").toInt();
    const qsizetype out = text.count("\nLINE\r\n") + text.count("\nLINE\n");
    QVERIFY2(out >= lines + 4, qPrintable(QString::number(out))); // and the frame
    QCOMPARE(RunCommandLine({"--export-dxf", "1", dxf, "--r12"}, s), 0);
    QVERIFY(readFile(dxf).contains("AC1009"));
    QCOMPARE(RunCommandLine({"--export-dxf", "1", "--r12", dxf}, s), 1);
}

QTEST_MAIN(TestDxfImport)
#include "tst_dxfimport.moc"

#include "figures.h"

#include "db/drawingrows.h"
#include "editor/output/dxfexport.h"
#include "editor/output/dxfimport.h"
#include "editor/output/paperdrawing.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

class TestDxfExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readBackInBothReleases();
    void roundTripThroughImport();
    void failureLeavesNothing();

private:
    QTemporaryDir dir;
};

namespace {

// What an independent reader finds in the file, as JSON.
const char *ReadDxf = R"(
import sys, json, ezdxf
doc = ezdxf.readfile(sys.argv[1])
def look(e):
    d = {"type": e.dxftype(), "layer": e.dxf.layer, "color": e.dxf.color,
         "linetype": e.dxf.linetype}
    if doc.dxfversion > "AC1009":
        d["lineweight"] = e.dxf.lineweight
        d["rgb"] = e.dxf.true_color if e.dxf.hasattr("true_color") else None
    if e.dxftype() == "LINE":
        d["at"] = list(e.dxf.start)[:2] + list(e.dxf.end)[:2]
    if e.dxftype() in ("CIRCLE", "ARC"):
        d["at"] = list(e.dxf.center)[:2] + [e.dxf.radius]
    if e.dxftype() == "ARC":
        d["at"] += [e.dxf.start_angle, e.dxf.end_angle]
    if e.dxftype() == "TEXT":
        d["at"] = list(e.dxf.insert)[:2] + [e.dxf.height, e.dxf.rotation, e.dxf.halign,
                                            e.dxf.valign]
        d["text"] = e.dxf.text
    d["figure"] = " ".join([e.dxftype()] + ["%.10g" % round(v, 6) for v in d.get("at", [])])
    return d
layers = {}
for l in doc.layers:
    layers[l.dxf.name] = {"on": l.is_on(), "color": l.color, "plot": l.dxf.plot,
                          "lineweight": l.dxf.lineweight,
                          "rgb": l.dxf.true_color if l.dxf.hasattr("true_color") else None}
print(json.dumps({"version": doc.dxfversion, "encoding": doc.encoding,
                  "codepage": doc.header.get("$DWGCODEPAGE", ""), "layers": layers,
                  "entities": [look(e) for e in doc.modelspace()]}))
)";

QString python()
{
    return QStringLiteral(DEBIAN_PYTHON3);
}

QJsonObject readDxf(const QString &file)
{
    bool ok = false;
    const QByteArray out = RunProgram(python(), {"-c", ReadDxf, file}, &ok);
    if (!ok)
        qWarning() << out;
    return ok ? QJsonDocument::fromJson(out).object() : QJsonObject();
}

// A sheet of every kind: a shown layer, a hidden one, a non-printing dashed one.
PaperDrawing sample()
{
    PaperDrawing d;
    d.name = QStringLiteral("見本");
    d.width = 420;
    d.height = 297;
    LinePen dashed;
    dashed.count = 2;
    dashed.pitches[0] = 6;
    dashed.pitches[1] = 1.5;
    dashed.total = 7.5;
    d.types = {{0, "CONTINUOUS", LinePen()}, {2, QStringLiteral("破線"), dashed}};
    d.layers = {{1, QStringLiteral("外形線"), 0x0000FF, 50, 0, true, true},
                {2, "HIDDEN", 0x00FF00, 35, 0, false, true},
                {3, "NOPLOT", 0xC86432, 18, 1, true, false}};
    auto line = [&](double x1, double y1, double x2, double y2, int layer) {
        SheetLine l;
        l.x1 = x1, l.y1 = y1, l.x2 = x2, l.y2 = y2;
        l.layer = layer;
        l.colour = d.layers[size_t(layer)].colour;
        l.width = d.layers[size_t(layer)].width;
        l.type = d.layers[size_t(layer)].type;
        return l;
    };
    d.lines.push_back(line(10.123456789, 20, 150, 130.000001, 0));
    SheetLine own = line(-100, -50, 1e7, 3, 0);
    own.colour = 0x123456;
    own.ownColour = true;
    own.width = 72;
    own.ownWidth = true;
    own.type = 1;
    own.ownType = true;
    d.lines.push_back(own);
    d.lines.push_back(line(1, 2, 3, 4, 1));
    SheetLine circle = line(0, 0, 0, 0, 2);
    circle.shape = CircleShape{5, 6, 7.25};
    d.lines.push_back(circle);
    SheetLine arc = circle;
    arc.shape = ArcShape{-5, 6, 3, 30, 300};
    d.lines.push_back(arc);
    SheetLine text = line(0, 0, 0, 0, 0);
    text.shape = TextShape{12, 34, 5, 0, 0, 30, 0, 5, 0, QString(), QStringLiteral("日本語の文字")};
    d.lines.push_back(text);
    text.shape = TextShape{1, 2, 2.5, 0, 0, 0, 0, 1, 0, QString(), QStringLiteral("aā")};
    d.lines.push_back(text);
    return d;
}

} // namespace

void TestDxfExport::initTestCase()
{
    if (!QFile::exists(python()))
        QSKIP("python3 is not installed: the files cannot be read back");
    bool ok = false;
    RunProgram(python(), {"-c", "import ezdxf"}, &ok);
    if (!ok)
        QSKIP("python3-ezdxf is not installed: the files cannot be read back");
}

void TestDxfExport::readBackInBothReleases()
{
    const PaperDrawing d = sample();
    QString error;
    const QString r2000 = dir.filePath("r2000.dxf");
    QVERIFY2(WriteDxfFile(d, r2000, DxfVersion::R2000, error), qPrintable(error));
    const QJsonObject dxf = readDxf(r2000);
    QVERIFY2(!dxf.isEmpty(), "the reader could not read the file");
    QCOMPARE(dxf["version"].toString(), QStringLiteral("AC1015"));
    QCOMPARE(dxf["encoding"].toString(), QStringLiteral("cp932"));
    QCOMPARE(dxf["codepage"].toString(), QStringLiteral("ANSI_932"));

    // Layers with their switch, plot flag, weight and colour.
    const QJsonObject layers = dxf["layers"].toObject();
    const auto ofLayers = [&](const char *field) {
        QList<int> values;
        for (const char *name : {"外形線", "HIDDEN", "NOPLOT"})
            values << layers[QString::fromUtf8(name)].toObject()[field].toVariant().toInt();
        return values;
    };
    QCOMPARE(ofLayers("on"), QList<int>({1, 0, 1}));
    QCOMPARE(ofLayers("plot"), QList<int>({1, 1, 0}));
    QCOMPARE(ofLayers("lineweight"), QList<int>({50, 35, 18}));
    QCOMPARE(ofLayers("color").mid(0, 2), QList<int>({1, 3}));
    QCOMPARE(ofLayers("rgb").at(2), 0x3264C8);

    // Every entity, hidden and non-printing ones too, with its own look where it has one.
    const QJsonArray e = dxf["entities"].toArray();
    QStringList figures;
    for (const QJsonValue &v : e)
        figures << v["figure"].toString();
    // A text by its place, height, angle and alignment.
    QCOMPARE(figures, QStringList({"LINE 10.123457 20 150 130.000001", "LINE -100 -50 10000000 3",
                                   "LINE 1 2 3 4", "CIRCLE 5 6 7.25", "ARC -5 6 3 30 300",
                                   "TEXT 12 34 5 30 1 2", "TEXT 1 2 2.5 0 0 0"}));
    const QJsonObject first = e[0].toObject(), own = e[1].toObject();
    QVERIFY(first["color"].toInt() == 256 && first["lineweight"].toInt() == -1);
    QCOMPARE(first["linetype"].toString(), QStringLiteral("BYLAYER"));
    QVERIFY(own["rgb"].toInt() == 0x563412 && own["lineweight"].toInt() == 70);
    QCOMPARE(own["linetype"].toString(), QStringLiteral("破線"));
    QCOMPARE(e[2].toObject()["layer"].toString(), QStringLiteral("HIDDEN"));
    QCOMPARE(e[5].toObject()["text"].toString(), QStringLiteral("日本語の文字"));
    QCOMPARE(e[6].toObject()["text"].toString(), QStringLiteral("a\\U+0101"));

    // Release 12 for old readers: the same entities, the hidden layer off, own line types.
    const QString r12 = dir.filePath("r12.dxf");
    QVERIFY2(WriteDxfFile(d, r12, DxfVersion::R12, error), qPrintable(error));
    const QJsonObject old = readDxf(r12);
    QVERIFY2(!old.isEmpty(), "the reader could not read the release 12 file");
    QCOMPARE(old["version"].toString(), QStringLiteral("AC1009"));
    QCOMPARE(old["encoding"].toString(), QStringLiteral("cp932"));
    const QJsonArray oldEntities = old["entities"].toArray();
    QCOMPARE(oldEntities.size(), 7);
    QVERIFY(!old["layers"].toObject()["HIDDEN"].toObject()["on"].toBool());
    QCOMPARE(oldEntities[1].toObject()["linetype"].toString(), QStringLiteral("破線"));
    QCOMPARE(oldEntities[5].toObject()["text"].toString(), QStringLiteral("日本語の文字"));

    QCOMPARE(DxfEncode(QStringLiteral("A外\n")), QByteArray("A\x8a\x4f\\U+000A"));
    QCOMPARE(QList<int>({DxfLineWeight(0), DxfLineWeight(24), DxfLineWeight(51),
                         DxfLineWeight(1000)}),
             QList<int>({0, 25, 50, 211}));
}

void TestDxfExport::roundTripThroughImport()
{
    Editor ed;
    DxfTarget target;
    QVERIFY(ed.prepare() && ReadLayers(ed.db, 1, target.layers)
            && ReadColours(ed.db, 1, target.colours) && ReadLineTypes(ed.db, 1, target.lineTypes));
    // The import leaves out a text with a character CP932 lacks: not part of the trip.
    PaperDrawing d = sample();
    d.lines.pop_back();
    QStringList sent;
    for (const SheetLine &l : d.lines) {
        const bool line = std::holds_alternative<std::monostate>(l.shape);
        sent << described(line ? Shape(LineShape{l.x1, l.y1, l.x2, l.y2}) : l.shape);
    }
    for (DxfVersion version : {DxfVersion::R2000, DxfVersion::R12}) {
        const QString file = dir.filePath("round.dxf");
        QString error;
        QVERIFY2(WriteDxfFile(d, file, version, error), qPrintable(error));
        const DxfImportResult r = ImportDxfFile(file, target);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QStringList back;
        for (const EntityRecord &e : r.records)
            back << described(e.shape);
        QCOMPARE(back, sent);
        QCOMPARE(QList<int>({r.lines, r.circles, r.arcs, r.texts}), QList<int>({3, 1, 1, 1}));
        // The layers come back by name, the hidden one hidden, the other not printed.
        int hidden = 0, unprinted = 0;
        for (const LayerRow &l : r.layers) {
            hidden += l.name == "HIDDEN" && l.visible == 0;
            unprinted += l.name == "NOPLOT" && l.printed == 0;
        }
        QCOMPARE(hidden, 1);
        QCOMPARE(unprinted, version == DxfVersion::R2000 ? 1 : 0);
    }
}

void TestDxfExport::failureLeavesNothing()
{
    QString error;
    const QString nowhere = dir.filePath("no such folder/a.dxf");
    QVERIFY(!WriteDxfFile(sample(), nowhere, DxfVersion::R2000, error));
    QCOMPARE(error, QStringLiteral("DXFファイルを保存出来ませんでした：") + nowhere);
    QVERIFY(!QFile::exists(nowhere));
    // A folder where the file should be: refused, the folder kept as it was.
    QVERIFY(QDir(dir.path()).mkpath("fail/taken.dxf"));
    const QString taken = dir.filePath("fail/taken.dxf");
    QVERIFY(!WriteDxfFile(sample(), taken, DxfVersion::R12, error));
    QVERIFY(QFileInfo(taken).isDir());
    QCOMPARE(QDir(dir.filePath("fail")).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(TestDxfExport)
#include "tst_dxfexport.moc"

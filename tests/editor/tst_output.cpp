#include "base/globals.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "db/database.h"
#include "db/schema.h"
#include "editor/model/drawingmodel.h"
#include "editor/output/drawingoutput.h"
#include "editor/output/dxfcolours.h"
#include "editor/output/dxfexport.h"
#include "editor/editorwindow.h"
#include "editor/output/paperdrawing.h"
#include "editor/pen/canvas.h"
#include "editor/output/printing.h"
#include "editor/view/renderer.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include <cmath>

class TestOutput : public QObject
{
    Q_OBJECT

private slots:
    void dxfReadBack();
    void pdfPageAndPicture();
    void printPreviewAndFitting();
    void progressCancelAndFailure();
    void printAndSaveThroughTheDialogs();
    void indexedColoursAndNames();
};

namespace {

constexpr int Drawing = 5;
constexpr double PaperW = 420, PaperH = 297;


// A line as the program stores it: history, entity and geometry rows.
bool addLine(Database &db, int n, int layer, double x1, double y1, double x2, double y2,
             int colour = 0, int type = 0, int width = 0, int state = 1)
{
    const QString s = QString::number(Drawing);
    return exec(db, QStringLiteral("INSERT INTO HISTORY_%1 (N, OPN, MD, EN) VALUES (%2, %2, 0, %2)")
                        .arg(s).arg(n))
           && exec(db, QStringLiteral("INSERT INTO ENTITY_%1 (N, MN, DS, DT, DN) VALUES "
                                      "(%2, 1, %3, 1, %2)")
                           .arg(s).arg(n).arg(state))
           && exec(db, QStringLiteral("INSERT INTO ENT_LINE_%1 (N, LAY, COL, LTP, WID, X1, Y1, "
                                      "X2, Y2) VALUES (%2, %3, %4, %5, %6, %7, %8, %9, %10)")
                           .arg(s).arg(n).arg(layer).arg(colour).arg(type).arg(width)
                           .arg(x1, 0, 'g', 17).arg(y1, 0, 'g', 17).arg(x2, 0, 'g', 17)
                           .arg(y2, 0, 'g', 17))
           && exec(db, QStringLiteral("UPDATE VAR_%1 SET OPN = %2 WHERE N = 1").arg(s).arg(n));
}

// The known drawing: layer 1 "外形線" red 0.5 mm; layer 2 hidden; layer 3 not printed, its
// lines in the lower left quarter; layer 4 of scale 0.01; layer 5 dashed by its line type;
// layer 6 named with a character a DXF name may not hold. Line 9 is deleted.
bool makeDrawing(Database &db)
{
    const QString s = QString::number(Drawing);
    if (!CreateCadListTable(db) || !EnsureDrawingTables(db, Drawing))
        return false;
    return exec(db, QStringLiteral("INSERT INTO CADLIST (N, ZNAME, PAPX, PAPY) VALUES "
                                   "(%1, '平面図 A', 420, 297)").arg(s))
           && exec(db, QStringLiteral("UPDATE LAYER_%1 SET WID = 50").arg(s))
           && exec(db, QStringLiteral("UPDATE LAYER_%1 SET LNAME = '外形線', COL = 2 WHERE N = 1")
                           .arg(s))
           && exec(db, QStringLiteral("UPDATE LAYER_%1 SET VISI = 0 WHERE N = 2").arg(s))
           && exec(db, QStringLiteral("UPDATE LAYER_%1 SET PRN = 0, COL = 3 WHERE N = 3").arg(s))
           && exec(db, QStringLiteral("UPDATE LAYER_%1 SET SCL = 0.01 WHERE N = 4").arg(s))
           && exec(db, QStringLiteral("UPDATE LAYER_%1 SET LTP = 2, COL = 4 WHERE N = 5").arg(s))
           && exec(db, QStringLiteral("UPDATE LAYER_%1 SET LNAME = ' Lay:er' WHERE N = 6").arg(s))
           && exec(db, QStringLiteral("UPDATE LTYPE_%1 SET SNAME = '破線', SN = 2, P1 = 600, "
                                      "P2 = 150, P3 = 0 WHERE N = 2").arg(s))
           && exec(db, QStringLiteral("UPDATE COLOR_%1 SET COL = %2 WHERE N = 20")
                           .arg(s).arg(50 + 256 * 100 + 65536 * 200))
           && addLine(db, 1, 1, 10, 20, 150, 20)
           && addLine(db, 2, 2, 10, 40, 150, 40)
           && addLine(db, 3, 3, -180, -120, -20, -120)
           && addLine(db, 4, 4, 1000, 5000, 15000, 5000)
           && addLine(db, 5, 5, 10, 80, 190, 80)
           && addLine(db, 6, 1, 10.123456789, 100, 150, 130.000001, 20, 2)
           && addLine(db, 7, 6, 10, -50, 150, -50)
           && addLine(db, 8, 0, 100, 110, 100, 140)
           && addLine(db, 9, 0, 160, -20, 160, -60, 0, 0, 0, 2)
           && addLine(db, 10, 3, -180, -60, -20, -130);
}

// An editor on the known drawing, loaded.
TForm13 *openEditor()
{
    auto *e = new TForm13(Main()->Context(), Drawing, PaperW, PaperH);
    e->resize(600, 400);
    e->show();
    if (!QTest::qWaitFor([e] { return e->Loaded(); }, 10000)) {
        delete e;
        return nullptr;
    }
    return e;
}

// The program on the known drawing with an editor open on it, its messages recorded.
struct OpenDrawing
{
    MessageRecorder messages;
    ProgramFixture p;
    QScopedPointer<TForm13> editor;

    // More SQL, when given, runs on the drawing before the editor opens.
    bool open(const QString &more = QString())
    {
        if (p.connected && makeDrawing(Db()) && (more.isEmpty() || exec(Db(), more)))
            editor.reset(openEditor());
        return !editor.isNull();
    }
};

QString python()
{
    return QStringLiteral(DEBIAN_PYTHON3);
}

// What an independent reader finds in a DXF file, as JSON.
const char *ReadDxf = R"(
import sys, json, ezdxf, ezdxf.colors
doc = ezdxf.readfile(sys.argv[1])
msp = doc.modelspace()
lines = [{"layer": e.dxf.layer, "color": e.dxf.color, "linetype": e.dxf.linetype,
          "start": list(e.dxf.start)[:2], "end": list(e.dxf.end)[:2]}
         for e in msp if e.dxftype() == "LINE"]
layers = {l.dxf.name: {"color": l.color, "linetype": l.dxf.linetype, "on": l.is_on(),
                       "plot": l.dxf.plot} for l in doc.layers}
types = {}
for t in doc.linetypes:
    tags = t.pattern_tags.tags if t.pattern_tags else []
    types[t.dxf.name] = [v.value for v in tags if v.code in (40, 49)]
print(json.dumps({"version": doc.dxfversion, "encoding": doc.encoding,
                  "count": len(list(msp)), "lines": lines, "layers": layers, "types": types,
                  "palette": [list(ezdxf.colors.aci2rgb(i)) for i in range(1, 256)]}))
)";

QJsonObject readDxf(const QString &file)
{
    bool ok = false;
    const QByteArray out = RunProgram(python(), {"-c", ReadDxf, file}, &ok);
    return ok ? QJsonDocument::fromJson(out).object() : QJsonObject();
}

// The PDF's first page at 72 dots an inch, without smoothing.
QImage rasterise(const QString &pdf, const QString &stem)
{
    bool ok = false;
    RunProgram("pdftoppm", {"-r", "72", "-aa", "no", "-aaVector", "no", "-png", "-singlefile", pdf,
                     stem}, &ok);
    return ok ? QImage(stem + ".png").convertToFormat(QImage::Format_RGB32) : QImage();
}

bool ink(QRgb c)
{
    return qRed(c) < 200 || qGreen(c) < 200 || qBlue(c) < 200;
}

// Ink of a with no ink of b within reach pixels, as a share of a's ink, inside the rectangle.
double unmatched(const QImage &a, const QImage &b, const QRect &area, int reach)
{
    long total = 0, lost = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!ink(a.pixel(x, y)))
                continue;
            ++total;
            bool found = false;
            for (int dy = -reach; dy <= reach && !found; ++dy)
                for (int dx = -reach; dx <= reach && !found; ++dx)
                    found = b.rect().contains(x + dx, y + dy) && ink(b.pixel(x + dx, y + dy));
            lost += !found;
        }
    }
    return total ? double(lost) / total : 1.0;
}

long inkIn(const QImage &image, const QRect &area, bool colouredOnly = false)
{
    long n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int spread = std::max({qRed(c), qGreen(c), qBlue(c)})
                               - std::min({qRed(c), qGreen(c), qBlue(c)});
            n += ink(c) && (!colouredOnly || spread > 60);
        }
    }
    return n;
}

// The editor's own picture of the sheet at 72 dots an inch.
QImage screenPicture(const DrawingModel &model, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    Canvas canvas(image);
    ClearCanvas(canvas, size.width(), size.height());
    ViewParams v;
    v.scale = 72 / 25.4;
    v.width = size.width();
    v.height = size.height();
    v.x1 = -PaperW / 2;
    v.y1 = -PaperH / 2;
    v.x2 = v.x1 + size.width() / v.scale;
    v.y2 = v.y1 + size.height() / v.scale;
    RenderEntities(canvas, v, model);
    return image;
}

// Pixel rectangle of a paper rectangle at 72 dots an inch.
QRect pixels(double x1, double y1, double x2, double y2)
{
    const double k = 72 / 25.4;
    return QRect(QPoint(int((x1 + PaperW / 2) * k), int((PaperH / 2 - y2) * k)),
                 QPoint(int((x2 + PaperW / 2) * k), int((PaperH / 2 - y1) * k)));
}

} // namespace

void TestOutput::dxfReadBack()
{
    OpenDrawing d;
    QVERIFY(d.open());
    TForm13 *e = d.editor.get();

    const QString file = d.p.files.filePath("drawing.dxf");
    QVERIFY(e->Output->StartDxf(file));
    QVERIFY(finished(e->Output));
    QCOMPARE(e->Output->Progress(), QStringLiteral("DXFを保存しました：") + file);
    QVERIFY(d.messages.texts.isEmpty());

    const QJsonObject dxf = readDxf(file);
    QVERIFY2(!dxf.isEmpty(), "the reader could not read the file");
    QCOMPARE(dxf["version"].toString(), QStringLiteral("AC1015"));
    // Every live line, hidden and non-printing ones too; line 9 is deleted.
    QCOMPARE(dxf["count"].toInt(), 9);
    const QJsonArray lines = dxf["lines"].toArray();
    QCOMPARE(lines.size(), 9);
    struct Expected
    {
        QString layer;
        double x1, y1, x2, y2;
        int colour;
        QString type;
    };
    // The reader's palette; a colour is near its indexed colour when no channel is far off.
    const QJsonArray palette = dxf["palette"].toArray();
    QCOMPARE(palette.size(), 255);
    auto near = [&](int index, int r, int g, int b) {
        const QJsonArray c = palette.at(index - 1).toArray();
        return std::abs(c.at(0).toInt() - r) <= 40 && std::abs(c.at(1).toInt() - g) <= 40
               && std::abs(c.at(2).toInt() - b) <= 40;
    };
    const Expected expected[] = {
        {"外形線", 10, 20, 150, 20, 256, "BYLAYER"},
        {"LAYER_2", 10, 40, 150, 40, 256, "BYLAYER"},
        {"LAYER_3", -180, -120, -20, -120, 256, "BYLAYER"},
        {"LAYER_4", 10, 50, 150, 50, 256, "BYLAYER"},
        {"LAYER_5", 10, 80, 190, 80, 256, "BYLAYER"},
        {"外形線", 10.123456789, 100, 150, 130.000001, -1, "破線"},
        {"Lay_er", 10, -50, 150, -50, 256, "BYLAYER"},
        {"LAYER_0", 100, 110, 100, 140, 256, "BYLAYER"},
        {"LAYER_3", -180, -60, -20, -130, 256, "BYLAYER"},
    };
    for (int i = 0; i < 9; ++i) {
        const QJsonObject l = lines.at(i).toObject();
        const Expected &x = expected[i];
        QCOMPARE(l["layer"].toString(), x.layer);
        const QJsonArray a = l["start"].toArray(), b = l["end"].toArray();
        QVERIFY2(std::fabs(a.at(0).toDouble() - x.x1) < 1e-6
                     && std::fabs(a.at(1).toDouble() - x.y1) < 1e-6
                     && std::fabs(b.at(0).toDouble() - x.x2) < 1e-6
                     && std::fabs(b.at(1).toDouble() - x.y2) < 1e-6,
                 qPrintable(QString("line %1").arg(i)));
        if (x.colour > 0)
            QCOMPARE(l["color"].toInt(), x.colour);
        else
            QVERIFY(near(l["color"].toInt(), 50, 100, 200));
        QCOMPARE(l["linetype"].toString(), x.type);
    }
    const QJsonObject layers = dxf["layers"].toObject();
    // The hidden layer switched off, the non-printing one not plotted.
    QCOMPARE(QList<bool>({layers["LAYER_2"].toObject()["on"].toBool(),
                          layers["LAYER_3"].toObject()["on"].toBool(),
                          layers["外形線"].toObject()["on"].toBool()}),
             QList<bool>({false, true, true}));
    QCOMPARE(QList<int>({layers["LAYER_2"].toObject()["plot"].toInt(),
                         layers["LAYER_3"].toObject()["plot"].toInt()}),
             QList<int>({1, 0}));
    // Red, black and blue layers; the dashed one names its line type.
    QCOMPARE(QList<int>({layers["外形線"].toObject()["color"].toInt(),
                         layers["LAYER_0"].toObject()["color"].toInt(),
                         layers["LAYER_5"].toObject()["color"].toInt()}),
             QList<int>({1, 7, 5}));
    QCOMPARE(layers["LAYER_5"].toObject()["linetype"].toString(), QStringLiteral("破線"));
    QVERIFY(layers.contains("0"));
    // 6 mm dash, 1.5 mm gap.
    QCOMPARE(dxf["types"].toObject()["破線"].toArray(), QJsonArray({7.5, 6.0, -1.5}));
}

void TestOutput::pdfPageAndPicture()
{
    OpenDrawing d;
    QVERIFY(d.open());
    TForm13 *e = d.editor.get();

    const QString file = d.p.files.filePath("drawing.pdf");
    QVERIFY(e->Output->StartPdf(file));
    QVERIFY(finished(e->Output));
    QCOMPARE(e->Output->Progress(), QStringLiteral("PDFを保存しました：") + file);

    bool ok = false;
    const QString info = QString::fromUtf8(RunProgram("pdfinfo", {file}, &ok));
    QVERIFY2(ok, "pdfinfo could not read the file");
    QVERIFY2(info.contains(QRegularExpression("Title:\\s+平面図 A\\n")), qPrintable(info));
    const QRegularExpressionMatch size =
        QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+) pts").match(info);
    QVERIFY2(size.hasMatch(), qPrintable(info));
    QVERIFY(std::fabs(size.captured(1).toDouble() - PaperW / 25.4 * 72) < 0.5);
    QVERIFY(std::fabs(size.captured(2).toDouble() - PaperH / 25.4 * 72) < 0.5);

    const QImage page = rasterise(file, d.p.files.filePath("page"));
    QVERIFY(!page.isNull());
    QCOMPARE(page.size(), QSize(1191, 842));
    const QImage screen = screenPicture(e->Model(), page.size());
    // Inside the frame and away from the non-printing lines, the two pictures agree.
    const QRect inner = page.rect().adjusted(6, 6, -6, -6);
    const QRect notPrinted = pixels(-190, -140, -10, -50);
    QImage pageMasked = page, screenMasked = screen;
    for (QImage *image : {&pageMasked, &screenMasked}) {
        QPainter paint(image);
        paint.fillRect(notPrinted, Qt::white);
    }
    // The screen rounds widths to whole pixels (0.5 mm is 1.4 pixels), paper does not.
    const double lost = unmatched(screenMasked, pageMasked, inner, 2);
    const double extra = unmatched(pageMasked, screenMasked, inner, 2);
    QVERIFY2(lost < 0.03 && extra < 0.03, qPrintable(QString("%1 %2").arg(lost).arg(extra)));
    QVERIFY(inkIn(screenMasked, inner) > 1000);
    // The non-printing layer shows on screen but not on paper; the frame is on paper.
    QVERIFY(inkIn(screen, notPrinted) > 100);
    QCOMPARE(inkIn(page, notPrinted), 0L);
    QVERIFY(inkIn(page, QRect(0, 400, 3, 40)) >= 40);
    // Colours as stored: the red layer's line is red.
    const QRect red = pixels(40, 18, 120, 22);
    QVERIFY(inkIn(page, red, true) > 100);
    // Dashes where the screen has them: the dashed line has gaps of 1.5 mm (4 pixels).
    const QRect dashes = pixels(12, 79, 188, 81);
    // 176 mm of 7.5 mm periods: 23 or 24 dashes on both.
    for (const QImage *image : {&page, &screen}) {
        int runs = 0;
        bool before = false;
        for (int x = dashes.left(); x <= dashes.right(); ++x) {
            const bool inked = inkIn(*image, QRect(x, dashes.top(), 1, dashes.height())) > 0;
            runs += inked && !before;
            before = inked;
        }
        QVERIFY2(runs >= 23 && runs <= 25, qPrintable(QString::number(runs)));
    }
    QVERIFY(d.messages.texts.isEmpty());
}

void TestOutput::printPreviewAndFitting()
{
    OpenDrawing d;
    QVERIFY(d.open());
    TForm13 *e = d.editor.get();
    const PaperDrawing drawing = e->Output->TakeDrawing();
    QCOMPARE(drawing.lines.size(), size_t(6));

    // Full scale: the printer's page is the drawing's A3.
    const QString exported = d.p.files.filePath("export.pdf");
    QVERIFY(e->Output->StartPdf(exported));
    QVERIFY(finished(e->Output));
    QPrinter printer(QPrinter::HighResolution);
    PreparePrinter(printer, drawing);
    QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A3);
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString previewed = d.p.files.filePath("preview.pdf");
    printer.setOutputFileName(previewed);
    {
        PrintPreview preview(printer, drawing, PaperStyle());
        preview.show();
        preview.Preview->updatePreview();
        QCOMPARE(preview.Preview->pageCount(), 1);
        QCOMPARE(preview.findChild<QLabel *>("ScaleLabel")->text(),
                 QStringLiteral("原寸で印刷します"));
        // The pages the preview shows, sent on to the printer.
        preview.Preview->print();
    }
    const QImage fromPreview = rasterise(previewed, d.p.files.filePath("previewed"));
    const QImage fromExport = rasterise(exported, d.p.files.filePath("exported"));
    QVERIFY(!fromPreview.isNull() && !fromExport.isNull());
    QCOMPARE(fromPreview.size(), fromExport.size());
    const double lost = unmatched(fromExport, fromPreview, fromExport.rect(), 1);
    const double extra = unmatched(fromPreview, fromExport, fromExport.rect(), 1);
    QVERIFY2(lost < 0.01 && extra < 0.01, qPrintable(QString("%1 %2").arg(lost).arg(extra)));

    // On A4 the sheet is fitted, the scale noted; black on white leaves no colour.
    auto a4 = std::make_unique<QPrinter>(QPrinter::HighResolution);
    PreparePrinter(*a4, drawing);
    a4->setPageSize(QPageSize(QPageSize::A4));
    a4->setOutputFormat(QPrinter::PdfFormat);
    const QString fitted = d.p.files.filePath("fitted.pdf");
    a4->setOutputFileName(fitted);
    const SheetPlacement place = PlaceSheet(*a4, drawing);
    QVERIFY(std::fabs(place.scale - 190.0 / 297) < 1e-6);
    QVERIFY(e->Output->StartPrint(std::move(a4), PaperStyle{true}));
    QVERIFY(finished(e->Output));
    QCOMPARE(e->Output->Progress(), QStringLiteral("印刷しました"));
    bool ok = false;
    const QString text = QString::fromUtf8(RunProgram("pdftotext", {fitted, "-"}, &ok));
    QVERIFY2(ok && text.contains(QStringLiteral("縮尺 64.0%")), qPrintable(text));
    const QImage small = rasterise(fitted, d.p.files.filePath("fitted"));
    QVERIFY(!small.isNull());
    QCOMPARE(small.size(), QSize(842, 595));
    QVERIFY(inkIn(small, small.rect()) > 500);
    QCOMPARE(inkIn(small, small.rect(), true), 0L);

    // Chosen scales and the part the editor shows: a JIS 1:5 is a fifth of the sheet, 2:1
    // twice it; a part is clipped to and centred on the page; fitted fills the page.
    QPrinter a3(QPrinter::HighResolution);
    PreparePrinter(a3, drawing);
    const SheetPlacement whole = PlaceSheet(a3, drawing);
    QCOMPARE(whole.scale, 1.0);
    QVERIFY(whole.clip.isEmpty());
    PrintChoice fifth;
    fifth.mode = PrintChoice::Fixed;
    fifth.scale = 0.2;
    const SheetPlacement p5 = PlaceSheet(a3, drawing, fifth);
    QVERIFY(std::fabs(p5.target.width() - whole.target.width() / 5) < 1e-6);
    QVERIFY(std::fabs(p5.target.center().x() - whole.target.center().x()) < 1e-6);
    QCOMPARE(ScaleNote(p5, fifth), QStringLiteral("縮尺 1:5"));
    PrintChoice twice = fifth;
    twice.scale = 2;
    QCOMPARE(ScaleNote(PlaceSheet(a3, drawing, twice), twice), QStringLiteral("縮尺 2:1"));
    PrintChoice part;
    part.mode = PrintChoice::Fit;
    part.part = true;
    part.x1 = 0;
    part.y1 = 0;
    part.x2 = 400; // beyond the sheet's right edge at 210
    part.y2 = 100;
    const SheetPlacement pp = PlaceSheet(a3, drawing, part);
    QVERIFY(!pp.clip.isEmpty());
    // 210 x 100 of the sheet fitted into 400 x 277: the width binds.
    QVERIFY(std::fabs(pp.scale - 400.0 / 210) < 1e-6);
    QVERIFY(std::fabs(pp.clip.center().x() - whole.target.center().x()) < 1);
    // The sheet's centre lies at the part's lower left.
    QVERIFY(std::fabs(pp.target.center().x() - pp.clip.left()) < 1e-6);
    QVERIFY(std::fabs(pp.target.center().y() - pp.clip.bottom()) < 1e-6);
    PrintChoice beside = part;
    beside.x1 = 500;
    beside.x2 = 600;
    QVERIFY(PlaceSheet(a3, drawing, beside).clip.isEmpty());
    QVERIFY(d.messages.texts.isEmpty());
}

void TestOutput::progressCancelAndFailure()
{
    // Enough lines for several steps.
    OpenDrawing d;
    QVERIFY(d.open(
        QStringLiteral("EXECUTE BLOCK AS DECLARE I INTEGER = 100; BEGIN "
                       "WHILE (I < 60100) DO BEGIN I = I + 1; "
                       "INSERT INTO ENTITY_%1 (N, MN, DS, DT, DN) VALUES (:I, 1, 1, 1, :I); "
                       "INSERT INTO ENT_LINE_%1 (N, LAY, COL, LTP, WID, X1, Y1, X2, Y2) "
                       "VALUES (:I, 5, 0, 0, 0, MOD(:I, 400) - 200, MOD(:I, 280) - 140, "
                       "MOD(:I, 400) - 190, MOD(:I, 280) - 130); END END")
            .arg(Drawing)));
    TForm13 *e = d.editor.get();
    QCOMPARE(e->Model().Count(), size_t(60010));

    // A cancelled export leaves the file that was there as it was.
    const QString file = d.p.files.filePath("kept.pdf");
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QVERIFY(e->Output->StartPdf(file));
    QVERIFY(e->Output->Busy());
    QCOMPARE(e->Output->Progress(), QStringLiteral("PDF出力中… 0%"));
    QVERIFY(e->Output->CancelButton->isVisible());
    // A second export waits for the first.
    QVERIFY(!e->Output->StartDxf(d.p.files.filePath("second.dxf")));
    QCOMPARE(d.messages.last(), QStringLiteral("出力中です。終わるまでお待ち下さい"));
    QTest::mouseClick(e->Output->CancelButton, Qt::LeftButton);
    QVERIFY(!e->Output->Busy());
    QVERIFY(!e->Output->CancelButton->isVisible());
    QCOMPARE(e->Output->Progress(), QStringLiteral("中止しました"));
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old"));
    QVERIFY(!QFile::exists(d.p.files.filePath("second.dxf")));

    // Progress is shown between steps, and the window answers meanwhile.
    const QString big = d.p.files.filePath("big.dxf");
    QVERIFY(e->Output->StartDxf(big));
    bool sawProgress = false;
    QVERIFY(QTest::qWaitFor([&] {
        sawProgress = sawProgress
                      || QRegularExpression("^DXF出力中… [1-9][0-9]?%$")
                             .match(e->Output->Progress()).hasMatch();
        return !e->Output->Busy();
    }, 30000));
    QVERIFY(QFileInfo(big).size() > 60000 * 50);
    Q_UNUSED(sawProgress); // one step may do it all on a fast machine

    // A file that cannot be written says so and leaves nothing behind.
    d.messages.clear();
    const QString nowhere = d.p.files.filePath("no such folder/drawing.dxf");
    QVERIFY(!e->Output->StartDxf(nowhere));
    QCOMPARE(d.messages.last(), QStringLiteral("DXFファイルを保存出来ませんでした：") + nowhere);
    QVERIFY(!e->Output->Busy());

    // Closing the window during an export drops the half-written file.
    const QString closing = d.p.files.filePath("closing.dxf");
    QVERIFY(e->Output->StartDxf(closing));
    d.editor.reset();
    QVERIFY(!QFile::exists(closing));
}

void TestOutput::printAndSaveThroughTheDialogs()
{
    OpenDrawing d;
    QVERIFY(d.open());
    TForm13 *e = d.editor.get();
    const QString file = d.p.files.filePath("printed.pdf");
    // The preview first, where scale, part and colours are chosen; then the print dialog,
    // printing to a file.
    QStringList seen;
    std::function<void(int)> handle;
    QTimer::singleShot(0, [&] {
        auto *preview = qobject_cast<PrintPreview *>(QApplication::activeModalWidget());
        if (!preview)
            return;
        seen << preview->ScaleLabel->text();
        QVERIFY(preview->AreaBox->isEnabled());
        preview->BlackBox->setChecked(true);
        preview->ScaleBox->setCurrentText(QStringLiteral("1:2"));
        seen << preview->ScaleLabel->text();
        // The print dialog opens once the preview's own loop has ended: looked for a
        // bounded number of times.
        handle = [&](int tries) {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                if (tries > 0)
                    QTimer::singleShot(10, [&handle, tries] { handle(tries - 1); });
                return;
            }
            seen << "dialog";
            if (auto *name = dialog->findChild<QLineEdit *>("filename"))
                name->setText(file);
            dialog->printer()->setOutputFileName(file);
            dialog->accept();
        };
        QTimer::singleShot(0, [&handle] { handle(300); });
        preview->findChild<QPushButton *>("PrintButton")->click();
    });
    // A dialog left open by a failed step is closed, so that the test cannot hang.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            d->reject();
    });
    guard.start(5000);
    e->mnuOutPrint->trigger();
    QCOMPARE(seen, QStringList({QStringLiteral("原寸で印刷します"),
                                QStringLiteral("縮尺 1:2 で印刷します"), "dialog"}));
    QVERIFY(finished(e->Output));
    QCOMPARE(e->Output->Progress(), QStringLiteral("印刷しました"));
    const QImage page = rasterise(file, d.p.files.filePath("printed"));
    QCOMPARE(page.size(), QSize(1191, 842));
    QVERIFY(inkIn(page, page.rect()) > 1000);
    QCOMPARE(inkIn(page, page.rect(), true), 0L);
    // At 1:2 the sheet takes the middle half of the page; the margins stay blank.
    QVERIFY(inkIn(page, QRect(320, 230, 550, 380)) > 500);
    QCOMPARE(inkIn(page, QRect(0, 0, 1191, 200)), 0L);
    QCOMPARE(inkIn(page, QRect(0, 0, 280, 842)), 0L);
    bool read = false;
    QVERIFY(QString::fromUtf8(RunProgram("pdftotext", {file, "-"}, &read)).contains(
        QStringLiteral("縮尺 1:2")));
    QVERIFY(read);

    // Saving a DXF from the menu: the file dialog suggests the drawing's name and release
    // 2000; a name typed without its suffix gets it; release 12 is chosen by its filter.
    QString suggested;
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        suggested = dialog->selectedFiles().value(0);
        filters = dialog->nameFilters() << dialog->selectedNameFilter();
        dialog->selectNameFilter(filters.value(1));
        dialog->selectFile(d.p.files.filePath("plan"));
        static_cast<QDialog *>(dialog)->accept();
    });
    e->mnuOutDxf->trigger();
    guard.stop();
    QCOMPARE(QFileInfo(suggested).fileName(), QStringLiteral("平面図 A.dxf"));
    QCOMPARE(filters, QStringList({QStringLiteral("DXF R2000形式 (*.dxf)"),
                                   QStringLiteral("DXF R12形式・古いソフト向け (*.dxf)"),
                                   QStringLiteral("DXF R2000形式 (*.dxf)")}));
    QVERIFY(finished(e->Output));
    QVERIFY(QFileInfo(d.p.files.filePath("plan.dxf")).size() > 1000);
    QCOMPARE(readDxf(d.p.files.filePath("plan.dxf"))["version"].toString(),
             QStringLiteral("AC1009"));
    QVERIFY(d.messages.texts.isEmpty());
}

void TestOutput::indexedColoursAndNames()
{
    // Black and white are 7; the palette's own colours map onto themselves.
    for (auto [colour, index] : {std::pair{0, 7}, {0xFFFFFF, 7}, {0x0000FF, 1}, {0x00FF00, 3},
                                 {0xFF0000, 5}})
        QCOMPARE(DxfNearestIndexedColour(colour), index);
    // Each colour of the reader's palette is picked as itself or one close to it there.
    bool ok = false;
    const QByteArray out = RunProgram(python(), {"-c", "import ezdxf.colors\n"
                                                "print(' '.join('%d,%d,%d' % ezdxf.colors."
                                                "aci2rgb(i) for i in range(1, 256)))"},
                               &ok);
    QVERIFY(ok);
    const QStringList rgbs = QString::fromLatin1(out).simplified().split(' ');
    QCOMPARE(rgbs.size(), 255);
    int exact = 0;
    for (int i = 1; i <= 255; ++i) {
        const QStringList c = rgbs[i - 1].split(',');
        QCOMPARE(c.size(), 3);
        const int value = c[0].toInt() + 256 * c[1].toInt() + 65536 * c[2].toInt();
        const int picked = DxfNearestIndexedColour(value);
        QVERIFY(picked >= 1 && picked <= 255);
        if (picked == 7)
            continue;
        const QStringList p = rgbs[picked - 1].split(',');
        for (int k = 0; k < 3; ++k)
            QVERIFY2(std::abs(p[k].toInt() - c[k].toInt()) <= 60, qPrintable(rgbs[i - 1]));
        exact += p == c;
    }
    QVERIFY(exact > 200);
}

QTEST_MAIN(TestOutput)
#include "tst_output.moc"

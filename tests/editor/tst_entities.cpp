#include "editortest.h"

#include "base/messages.h"
#include "editor/drawingloader.h"
#include "editor/output/drawingoutput.h"
#include "editor/output/dxfexport.h"
#include "editor/output/paperdrawing.h"
#include "editor/output/paperpainter.h"
#include "editor/textdialog.h"
#include "editor/titleblock.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <memory>

class TestEntities : public QObject
{
    Q_OBJECT

private slots:
    void picturesOfEveryKind();
    void storedAndReadBack();
    void twoPcsSeeCurvesAndTexts();
    void pdfAndDxfCarryEveryKind();
    void otherPcsOddRows();
};

namespace {

constexpr double Pi = 3.14159265358979323846;
const QString Japanese = QStringLiteral("日本語の注記");

// Background or grid: what is not ink on the picture.
bool blank(QRgb c)
{
    c &= 0xFFFFFF;
    return c == 0xFFFFFF || c == 0xEEEEEE || c == 0xCCCCCC;
}

// Ink at the paper point or within reach pixels of it.
bool inkNear(TForm13 *e, double x, double y, int reach = 1)
{
    const QImage &p = e->Picture();
    const QPoint at = pixelOf(e, x, y);
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const QPoint q = at + QPoint(dx, dy);
            if (p.rect().contains(q) && !blank(p.pixel(q)))
                return true;
        }
    }
    return false;
}

bool inkOnCurve(TForm13 *e, double cx, double cy, double r, double degrees, int reach = 1)
{
    const double a = degrees * Pi / 180;
    return inkNear(e, cx + r * std::cos(a), cy + r * std::sin(a), reach);
}

// The ink inside a paper rectangle: its pixel bounds, empty for none.
QRect inkBounds(TForm13 *e, double x1, double y1, double x2, double y2)
{
    const QImage &p = e->Picture();
    const QRect area = QRect(pixelOf(e, x1, y2), pixelOf(e, x2, y1)).intersected(p.rect());
    QRect found;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!blank(p.pixel(x, y)))
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

// Ink pixels in a row of the picture, from x1 to x2.
int inkInRow(TForm13 *e, int y, int x1, int x2)
{
    int n = 0;
    for (int x = std::max(0, x1); x <= std::min(e->Picture().width() - 1, x2); ++x)
        n += !blank(e->Picture().pixel(x, y));
    return n;
}

// A figure on a layer, as the commands make it.
EntityRecord figure(Shape shape, int layer = 0)
{
    EntityRecord e;
    e.look.layer = int16_t(layer);
    e.shape = std::move(shape);
    return e;
}

TextShape textShape(const QString &text, double px, double py, double height, int anchor = 1)
{
    TextShape t;
    t.px = px;
    t.py = py;
    t.height = height;
    t.anchor = int16_t(anchor);
    t.text = text;
    return t;
}

// Stores the entities as one operation of member 7; the operation's rows, or none.
std::vector<EntityRecord> store(Database &db, std::vector<EntityRecord> created)
{
    ChangeSet op;
    op.member = 7;
    op.name = QStringLiteral("test");
    op.created = std::move(created);
    StoredOperation out;
    if (StoreChanges(db, 1, op, {}, out) != StoreResult::Stored)
        return {};
    return out.rows;
}

// Runs the action on the modal dialog once it is up, then rejects it if the action left it
// open; gives up after five seconds without one.
void onModal(std::function<void(QDialog *)> action)
{
    auto *poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d && ++*tries < 500)
            return;
        poll->stop();
        poll->deleteLater();
        if (!d)
            return;
        action(d);
        if (d->isVisible())
            d->reject();
    });
    poll->start(10);
}

// Starts the text command with the dialog filled in and accepted.
void startText(TForm13 *e, const QString &text, const QString &height, int anchor)
{
    onModal([=](QDialog *d) {
        auto *t = qobject_cast<TextDialog *>(d);
        if (!t)
            return;
        t->TextEdit->setText(text);
        t->HeightBox->setCurrentText(height);
        t->WidthBox->setCurrentText("0");
        t->SpacingEdit->setText("0");
        t->AngleEdit->setText("0");
        t->Horizontal->setChecked(true);
        t->Anchors->button(anchor)->click();
        t->FontBox->setCurrentIndex(0);
        t->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    e->SpeedButton13->click();
}

// A fresh model read from the database, as an editor opening the drawing reads it.
bool readFresh(Database &db, DrawingModel &m)
{
    if (!BeginLoad(db, m))
        return false;
    for (int i = 0; i < 100; ++i) {
        const int read = ContinueLoad(db, m, 1000);
        if (read < 0)
            return false;
        if (read < 1000)
            return true;
    }
    return false;
}

bool near(double a, double b, double eps = 1e-9)
{
    return std::fabs(a - b) <= eps * std::max(1.0, std::fabs(b));
}


// Every entity an independent reader finds in a DXF file, one line each with its numbers to
// a billionth, as JSON: a text by its alignment point when it has one.
const char *ReadDxf = R"(
import sys, json, ezdxf
doc = ezdxf.readfile(sys.argv[1])
n = lambda *v: " ".join(repr(round(x, 9) + 0.0) for x in v)
out = []
for e in doc.modelspace():
    d, s = e.dxf, e.dxftype() + " " + e.dxf.layer
    if e.dxftype() in ("CIRCLE", "ARC"):
        s += " " + n(d.center.x, d.center.y, d.radius)
    if e.dxftype() == "ARC":
        s += " " + n(d.start_angle, d.end_angle)
    if e.dxftype() == "TEXT":
        at = d.align_point if d.halign or d.valign else d.insert
        s += " %s %d %d %s" % (n(at.x, at.y, d.height, d.rotation, d.width), d.halign,
                               d.valign, d.text)
    out.append(s)
print(json.dumps({"encoding": doc.encoding, "entities": out}))
)";

} // namespace

void TestEntities::picturesOfEveryKind()
{
    MessageRecorder messages;
    Editor ed;
    // The sheet's frame would put its own ink and texts among the ones looked for.
    QVERIFY(ed.prepare() && StoreFrameHidden(ed.db, 1, true));
    // Line type 20: dashes and gaps of 6 mm.
    QVERIFY(exec(ed.db, "UPDATE LTYPE_1 SET SN = 2, P1 = 600, P2 = 600, P3 = 0 WHERE N = 20"));
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    const double s = e->CurrentView().Params().scale;
    QVERIFY(s > 1);
    e->CurGrid = 10;

    // A circle 2 mm wide: centre, then a point on it.
    e->CurWidth = 200;
    e->SpeedButton10->click();
    clickAt(e, -120, 40);
    clickAt(e, -90, 40);
    // A quarter arc counter-clockwise from 0 to 90 degrees, 1 mm wide.
    e->CurWidth = 100;
    e->SpeedButton11->click();
    clickAt(e, 60, 40);
    clickAt(e, 90, 40);
    clickAt(e, 60, 70);
    // The upper half of a circle, dashed.
    e->CurLineType = 20;
    e->SpeedButton11->click();
    clickAt(e, 0, -60);
    clickAt(e, 40, -60);
    clickAt(e, -40, -60);
    QTest::keyClick(e, Qt::Key_Escape);
    QCOMPARE(rows(ed.db, "N, CX, CY, CR, WID", "ENT_CIRCLE_1"), QStringList{"1 -120 40 30 200"});
    QCOMPARE(rows(ed.db, "N, CX, CY, CR, SA, EA, LTP", "ENT_ARC_1"),
             QStringList({"1 60 40 30 0 90 0", "2 0 -60 40 0 180 20"}));
    QVERIFY(messages.texts.isEmpty());

    // Drawn at once, and again from memory.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            e->Redraw();
        for (double a : {0.0, 45.0, 90.0, 200.0, 300.0})
            QVERIFY2(inkOnCurve(e, -120, 40, 30, a), qPrintable(QString::number(a)));
        QVERIFY(!inkNear(e, -120, 40, 3));
        QVERIFY(!inkOnCurve(e, -120, 40, 26, 45, 2));
        QVERIFY(!inkOnCurve(e, -120, 40, 34, 45, 2));
        for (double a : {5.0, 45.0, 85.0})
            QVERIFY2(inkOnCurve(e, 60, 40, 30, a), qPrintable(QString::number(a)));
        for (double a : {135.0, 180.0, 225.0, 270.0, 315.0})
            QVERIFY2(!inkOnCurve(e, 60, 40, 30, a, 2), qPrintable(QString::number(a)));
        // Dash 0-6 mm along the arc, gap 6-12, dash 12-18; nothing below the centre.
        QVERIFY(inkOnCurve(e, 0, -60, 40, 3 / 40.0 * 180 / Pi));
        QVERIFY(!inkOnCurve(e, 0, -60, 40, 9 / 40.0 * 180 / Pi, 2));
        QVERIFY(inkOnCurve(e, 0, -60, 40, 15 / 40.0 * 180 / Pi));
        QVERIFY(!inkOnCurve(e, 0, -60, 40, 270, 2));
    }
    // Widths across the curves where they run vertically: 2 mm and 1 mm.
    for (const auto &[x, y, mm] : {std::tuple{-90, 40, 2}, std::tuple{90, 42, 1}}) {
        const QPoint at = pixelOf(e, x, y);
        const int ink = inkInRow(e, at.y(), at.x() - 8, at.x() + 8);
        QVERIFY2(std::abs(ink - int(std::lround(mm * s))) <= 1, qPrintable(QString::number(ink)));
    }

    // Texts stored by another PC: lower left and upper right anchors.
    const std::vector<EntityRecord> texts =
        store(ed.db, {figure(textShape(Japanese, -150, -100, 10, 1)),
                      figure(textShape(QStringLiteral("右上"), 150, -100, 8, 9))});
    QCOMPARE(texts.size(), size_t(2));
    e->Refresh();
    QCOMPARE(e->Model().Count(), size_t(5));
    const QPoint lowerLeft = pixelOf(e, -150, -100);
    const QRect first = inkBounds(e, -160, -110, -60, -80);
    QVERIFY(!first.isEmpty());
    // The ink lies inside the glyphs' cells, at most their side bearing away from the anchor.
    const auto inside = [](int ink, int anchor, int towards, double bearing) {
        const int in = (ink - anchor) * towards;
        return in >= -1 && in <= std::max(2, int(std::lround(bearing)));
    };
    QVERIFY2(inside(first.left(), lowerLeft.x(), 1, 10 * s * 0.25)
                 && inside(first.bottom(), lowerLeft.y(), -1, 10 * s * 0.25),
             qPrintable(QStringLiteral("%1,%2 against %3,%4").arg(first.left()).arg(first.bottom())
                            .arg(lowerLeft.x()).arg(lowerLeft.y())));
    // Six characters 10 mm high run some 60 mm to the right and up to 10 mm high.
    QVERIFY(first.width() >= 50 * s && first.width() <= 64 * s);
    QVERIFY(first.height() >= 7 * s && first.height() <= 11 * s);
    const QPoint upperRight = pixelOf(e, 150, -100);
    const QRect second = inkBounds(e, 120, -120, 160, -90);
    QVERIFY(!second.isEmpty());
    QVERIFY(inside(second.right(), upperRight.x(), -1, 8 * s * 0.25));
    QVERIFY(inside(second.top(), upperRight.y(), 1, 8 * s * 0.25));
    QVERIFY(second.left() > pixelOf(e, 130, 0).x() && second.bottom() > upperRight.y() + 4 * s);

    // One of each kind on layer 3, shown, then hidden by another PC.
    const std::vector<EntityRecord> onThree = store(
        ed.db, {lineOp(100, 90, 180, 90, 3).created[0], figure(CircleShape{120, 110, 8}, 3),
                figure(ArcShape{160, 110, 8, 0, 180}, 3),
                figure(textShape(QStringLiteral("隠す"), 100, 125, 6), 3)});
    QCOMPARE(onThree.size(), size_t(4));
    e->Refresh();
    QVERIFY(inkNear(e, 140, 90));
    QVERIFY(inkOnCurve(e, 120, 110, 8, 90));
    QVERIFY(inkOnCurve(e, 160, 110, 8, 90));
    QVERIFY(!inkBounds(e, 98, 123, 115, 133).isEmpty());
    QVERIFY(exec(ed.db, "UPDATE LAYER_1 SET VISI = 0 WHERE N = 3"));
    e->Refresh();
    QVERIFY(inkBounds(e, 95, 85, 185, 135).isEmpty());
    // The other layers keep theirs.
    QVERIFY(inkOnCurve(e, -120, 40, 30, 0));
    QVERIFY(!inkBounds(e, -160, -110, -60, -80).isEmpty());
    QVERIFY(messages.texts.isEmpty());
}

void TestEntities::storedAndReadBack()
{
    TestDb place;
    Database db;
    QVERIFY(place.open(db));
    QVERIFY(EnsureDrawingTables(db, 1));
    QVERIFY(exec(db, "UPDATE LAYER_1 SET SCL = 0.01 WHERE N = 2"));

    // One operation of a few rows (a statement each), then one of many (in batches).
    TextShape note = textShape(QStringLiteral("寸法は'25'とする"), 10, 20, 3.5, 8);
    note.width = 2.5;
    note.spacing = 0.5;
    note.angle = -90;
    note.vertical = 1;
    note.font = QStringLiteral("IPAゴシック");
    const std::vector<EntityRecord> few =
        store(db, {figure(CircleShape{12.5, -7.25, 3.75}, 2),
                   figure(ArcShape{1, 2, 5, -30, 400}, 2), figure(note, 2)});
    QCOMPARE(few.size(), size_t(3));
    std::vector<EntityRecord> many;
    for (int i = 0; i < 6; ++i) {
        TextShape t = textShape(QStringLiteral("注\"%1\"記").arg(i), -i, i * 0.5, 2.5, 1 + i);
        t.font = i % 2 ? QStringLiteral("Unknown Font") : QString();
        t.angle = 360 + i * 15;
        many.push_back(figure(t, 2));
        const double d = i;
        many.push_back(figure(ArcShape{d, -d, 0.25 * (d + 1), 350 - d * 90, 720 + d}, 2));
        many.push_back(figure(CircleShape{-i * 10.0, 0, 0.01}, 2));
    }
    // Just short of a full turn, and the longest text the column holds.
    many.push_back(figure(ArcShape{3, 3, 1, -1e-13, 720 - 1e-12}, 2));
    TextShape longest = textShape(QString(127, QChar(0x3042)) + u'a', 0, 0, 2, 1);
    longest.angle = -1e-13;
    many.push_back(figure(longest, 2));
    const std::vector<EntityRecord> batch = store(db, many);
    QCOMPARE(batch.size(), many.size());

    // Layer units in the tables; angles within [0, 360).
    QCOMPARE(rows(db, "N, DT, DN", "ENTITY_1", "N<=3"), QStringList({"1 2 1", "2 3 1", "3 4 1"}));
    QCOMPARE(rows(db, "OPN, MD", "HISTORY_1", "N<=3"), QStringList({"1 0", "1 0", "1 0"}));
    QCOMPARE(rows(db, "LAY, CX, CY, CR", "ENT_CIRCLE_1", "N=1"), QStringList{"2 1250 -725 375"});
    QCOMPARE(rows(db, "CX, CY, CR, SA, EA", "ENT_ARC_1", "N=1"), QStringList{"100 200 500 330 40"});
    QCOMPARE(rows(db, "STL, BAS, DIR, PX, PY, MH, MW, MD, ANG", "ENT_TEXT_1", "N=1"),
             QStringList{"0 8 1 1000 2000 3.5 2.5 0.5 270"});
    QCOMPARE(QueryValue(db, "TXT", "ENT_TEXT_1", "N=1"), note.text);
    QCOMPARE(QueryValue(db, "FNT", "ENT_TEXT_1", "N=1"), note.font);
    QCOMPARE(QueryValue(db, "OCTET_LENGTH(TXT)", "ENT_TEXT_1", "N=1"), QString("16"));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENT_TEXT_1", "FNT IS NOT NULL AND FNT <> ''"),
             QString("4"));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENT_ARC_1", "SA < 0 OR SA >= 360 OR EA < 0 OR EA >= 360"),
             QString("0"));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENT_TEXT_1", "ANG < 0 OR ANG >= 360"), QString("0"));
    QCOMPARE(QueryValue(db, "MAX(OCTET_LENGTH(TXT))", "ENT_TEXT_1"), QString("255"));

    // Read back into a fresh model through a fresh connection.
    db.DisconnectDatabase();
    db.ConnectDatabase(place.embeddedPath());
    QVERIFY(db.DatabaseConnected());
    DrawingModel m(1);
    QVERIFY(readFresh(db, m));
    QCOMPARE(m.Count(), few.size() + batch.size());
    std::vector<EntityRecord> all = few;
    all.insert(all.end(), batch.begin(), batch.end());
    for (size_t i = 0; i < all.size(); ++i) {
        const EntityRecord &want = all[i];
        const Entity *got = m.Find(want.entity.n);
        QVERIFY2(got, qPrintable(QString::number(i)));
        const EntityRecord r = m.Record(*got);
        QCOMPARE(r.entity.type, want.entity.type);
        QCOMPARE(r.entity.member, 7);
        QCOMPARE(r.row, want.row);
        QCOMPARE(r.look.layer, int16_t(2));
        const QString which = QString::number(i);
        if (const auto *c = std::get_if<CircleShape>(&want.shape)) {
            const auto *g = std::get_if<CircleShape>(&r.shape);
            QVERIFY2(g && near(g->cx, c->cx) && near(g->cy, c->cy) && near(g->r, c->r),
                     qPrintable(which));
        } else if (const auto *a = std::get_if<ArcShape>(&want.shape)) {
            const auto *g = std::get_if<ArcShape>(&r.shape);
            QVERIFY2(g && near(g->cx, a->cx) && near(g->r, a->r) && near(g->sa, a->sa)
                         && near(g->ea, a->ea) && g->sa >= 0 && g->sa < 360 && g->ea >= 0
                         && g->ea < 360,
                     qPrintable(which));
        } else {
            const auto &t = std::get<TextShape>(want.shape);
            const auto *g = std::get_if<TextShape>(&r.shape);
            QVERIFY2(g, qPrintable(which));
            QCOMPARE(g->text, t.text);
            QCOMPARE(g->font, t.font);
            QCOMPARE(QList<int>({g->anchor, g->vertical, g->style}),
                     QList<int>({t.anchor, t.vertical, 0}));
            QVERIFY2(near(g->px, t.px) && near(g->py, t.py) && near(g->height, t.height)
                         && near(g->width, t.width) && near(g->spacing, t.spacing)
                         && near(g->angle, t.angle) && g->angle >= 0 && g->angle < 360,
                     qPrintable(which));
        }
    }
    // What was asked for, in paper millimetres: sizes of texts stay paper millimetres.
    const PaperShape circle = m.Paper(*m.Find(1));
    QVERIFY(std::holds_alternative<CircleShape>(circle));
    QVERIFY(near(std::get<CircleShape>(circle).cx, 12.5) && near(std::get<CircleShape>(circle).r, 3.75));
    const PaperShape arc = m.Paper(*m.Find(2));
    QVERIFY(std::holds_alternative<ArcShape>(arc));
    QCOMPARE(QPointF(std::get<ArcShape>(arc).sa, std::get<ArcShape>(arc).ea), QPointF(330, 40));
    const PaperShape text = m.Paper(*m.Find(3));
    QVERIFY(std::holds_alternative<TextRef>(text));
    const TextRef &t = std::get<TextRef>(text);
    QVERIFY(near(t.px, 10) && near(t.py, 20) && near(t.height, 3.5) && near(t.angle, 270));
    QCOMPARE(m.Strings(t).text, note.text);
    // 0.01 mm at 1:100 is one layer unit.
    const Entity *tiny = nullptr;
    for (size_t i = 0; i < m.Count(); ++i)
        if (const auto *c = std::get_if<CircleShape>(&m.At(i).shape); c && c->cx == -5000)
            tiny = &m.At(i);
    QVERIFY(tiny);
    QCOMPARE(tiny->entity.n, batch.back().entity.n - 2);
    QVERIFY(near(std::get<CircleShape>(tiny->shape).r, 1));

    // A text that CP932 cannot hold or too long for its column, or a zero radius: nothing.
    StoredOperation out;
    for (const EntityRecord &bad : {figure(textShape(QStringLiteral("丂\u00e9\U0001F600"), 0, 0, 3)),
                                    figure(textShape(QString(128, QChar(0x3042)), 0, 0, 3)),
                                    figure(CircleShape{0, 0, 0}, 2)}) {
        ChangeSet op;
        op.created = {bad};
        QVERIFY(StoreChanges(db, 1, op, {}, out) != StoreResult::Stored);
    }
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENTITY_1"), QString::number(all.size()));
}

void TestEntities::twoPcsSeeCurvesAndTexts()
{
    MessageRecorder messages;
    TwoPcDrawing pcs;
    QVERIFY2(pcs.prepare(), qPrintable(pcs.a.LastError() + pcs.b.LastError()));
    Database &a = pcs.a, &b = pcs.b;
    QPointer<TForm13> onA = openEditor(a), onB = openEditor(b);
    QVERIFY(onA && onB);
    std::unique_ptr<TForm13> ownA(onA.data()), ownB(onB.data());
    onA->CurGrid = 10;
    onB->CurGrid = 10;
    // The pictures with the grid as set, as the window's grid dialog leaves them.
    onA->Redraw();
    onB->Redraw();

    // A circle and a text drawn on A.
    onA->SpeedButton10->click();
    clickAt(onA, -100, 40);
    clickAt(onA, -70, 40);
    QTest::keyClick(onA, Qt::Key_Escape);
    startText(onA, Japanese, "7", 1);
    QTRY_COMPARE_WITH_TIMEOUT(onA->Command().Code(), int(TextCommand), 5000);
    clickAt(onA, 50, -50);
    QTest::keyClick(onA, Qt::Key_Escape);
    QCOMPARE(rows(a, "N, DT", "ENTITY_1"), QStringList({"1 2", "2 4"}));
    QCOMPARE(QueryValue(a, "TXT", "ENT_TEXT_1", "N=1"), Japanese);
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(u'/')));

    // B has them after its look at the database.
    onB->Refresh();
    const DrawingModel &mb = onB->Model();
    QCOMPARE(mb.Count(), size_t(2));
    const Entity *circle = mb.Find(1);
    QVERIFY(circle && circle->Live());
    const CircleShape *c = std::get_if<CircleShape>(&circle->shape);
    QVERIFY(c && c->cx == -100 && c->cy == 40 && c->r == 30);
    const Entity *text = mb.Find(2);
    QVERIFY(text && text->Live() && std::holds_alternative<TextRef>(text->shape));
    QCOMPARE(mb.Strings(std::get<TextRef>(text->shape)).text, Japanese);
    QCOMPARE(std::get<TextRef>(text->shape).px, 50.0);
    QVERIFY(inkOnCurve(onB, -100, 40, 30, 0));
    QVERIFY(!inkBounds(onB, 48, -52, 95, -40).isEmpty());

    // The circle picked by its circumference and erased on A: gone on B; back with A's undo.
    clickAt(onA, -100, 40);
    QVERIFY(onA->Selected().Empty());
    clickAt(onA, -70, 40);
    QCOMPARE(onA->Selected().Entities(), std::vector<int32_t>{1});
    QTest::keyClick(onA, Qt::Key_Delete);
    QCOMPARE(QueryValue(a, "DS", "ENTITY_1", "N=1"), QString("0"));
    onB->Refresh();
    QVERIFY(!mb.Find(1)->Live());
    QVERIFY(!inkOnCurve(onB, -100, 40, 30, 0, 2));
    // Both pictures, drawn again only where the circle lay, equal ones drawn whole.
    const auto redrawnAlike = [](TForm13 *e) {
        const QImage parts = e->Picture();
        e->Redraw();
        return parts == e->Picture();
    };
    QVERIFY(redrawnAlike(onA) && redrawnAlike(onB));
    onA->mnuDrawUndo->trigger();
    onB->Refresh();
    QVERIFY(mb.Find(1)->Live());
    QVERIFY(inkOnCurve(onB, -100, 40, 30, 0));
    QVERIFY(redrawnAlike(onA) && redrawnAlike(onB));

    // The text picked inside its box and erased on B: A's poll finds it; B's undo too.
    clickAt(onB, 60, -47);
    QCOMPARE(onB->Selected().Entities(), std::vector<int32_t>{2});
    QTest::keyClick(onB, Qt::Key_Delete);
    QTRY_VERIFY_WITH_TIMEOUT(!onA->Model().Find(2)->Live(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(inkBounds(onA, 48, -52, 95, -40).isEmpty(), 3000);
    onB->mnuDrawUndo->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(onA->Model().Find(2)->Live(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!inkBounds(onA, 48, -52, 95, -40).isEmpty(), 3000);
    QCOMPARE(rows(a, "OPN, MD, EN", "HISTORY_1", "N>2"),
             QStringList({"3 1 1", "4 2 1", "5 1 2", "6 2 2"}));

    // The layers' colour changed too: B's poll draws its whole picture anew, the text far
    // from the circle A erases in the new colour.
    QVERIFY(exec(a, "UPDATE LAYER_1 SET COL = 2"));
    clickAt(onA, -70, 40);
    QTest::keyClick(onA, Qt::Key_Delete);
    onB->Refresh();
    QVERIFY(!mb.Find(1)->Live());
    QVERIFY(redrawnAlike(onB));
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(u'/')));
}

void TestEntities::pdfAndDxfCarryEveryKind()
{
    MessageRecorder messages;
    Editor ed;
    QVERIFY(ed.prepare() && StoreFrameHidden(ed.db, 1, true));
    QVERIFY(exec(ed.db, "UPDATE LAYER_1 SET SCL = 0.5 WHERE N = 1"));
    TextShape turned = textShape(QStringLiteral("中央の文字"), 40, -30, 5, 5);
    turned.angle = 30;
    turned.width = 4;
    const QString note = QStringLiteral("図面の注記テキスト");
    QCOMPARE(store(ed.db, {figure(CircleShape{-100, 50, 25}), figure(ArcShape{50, 50, 20, 30, 120}),
                           figure(textShape(note, -50, -80, 7)), figure(turned),
                           figure(CircleShape{-40, 20, 10}, 1)})
                 .size(),
             size_t(5));
    // An A4 sheet across, to tell its size from the editor's usual one.
    std::unique_ptr<TForm13> e(new TForm13(ProgramContextOn(ed.db), 1, 297, 210));
    e->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.get())
            && QTest::qWaitFor([&] { return e->Loaded() && !e->Picture().isNull(); }, 10000));
    QCOMPARE(e->Model().Count(), size_t(5));
    QTemporaryDir files;
    QVERIFY(files.isValid());

    // The PDF: the page is the paper; the texts are text, their fonts embedded.
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()
        || QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QSKIP("pdftotext or pdfinfo is missing");
    const QString pdf = files.filePath("sheet.pdf");
    QVERIFY(e->Output->StartPdf(pdf));
    QVERIFY(finished(e->Output));
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(u'/')));
    bool ok = false;
    // In the order drawn: the turned text's characters go one by one.
    const QString text = QString::fromUtf8(RunProgram("pdftotext", {"-raw", pdf, "-"}, &ok));
    QVERIFY2(ok && text.contains(note) && text.contains(QStringLiteral("中央の文字")),
             qPrintable(text));
    const QString info = QString::fromUtf8(RunProgram("pdfinfo", {pdf}, &ok));
    QVERIFY(ok);
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(info);
    QVERIFY2(size.hasMatch(), qPrintable(info));
    QVERIFY2(std::fabs(size.captured(1).toDouble() - 297 / 25.4 * 72) < 1
                 && std::fabs(size.captured(2).toDouble() - 210 / 25.4 * 72) < 1,
             qPrintable(info));
    QVERIFY2(QRegularExpression(QStringLiteral("Pages:\\s+1\\s")).match(info).hasMatch(),
             qPrintable(info));
    if (!QStandardPaths::findExecutable("pdffonts").isEmpty()) {
        const QStringList fonts = QString::fromUtf8(RunProgram("pdffonts", {pdf}, &ok))
                                      .split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(ok && fonts.size() >= 3);
        for (const QString &line : fonts.mid(2)) {
            const QStringList cols = line.split(u' ', Qt::SkipEmptyParts);
            QVERIFY2(cols.size() >= 5 && cols.at(cols.size() - 5) == "yes", qPrintable(line));
        }
    }

    // The DXF, read back by another reader.
    const QString python = QStringLiteral(DEBIAN_PYTHON3);
    if (python.isEmpty() || !QFile::exists(python))
        QSKIP("no python3 to read DXF files back with");
    const QString dxfFile = files.filePath("sheet.dxf");
    QVERIFY(e->Output->StartDxf(dxfFile));
    QVERIFY(finished(e->Output));
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(u'/')));
    const QByteArray read = RunProgram(python, {"-c", ReadDxf, dxfFile}, &ok);
    if (!ok && read.isEmpty() && RunProgram(python, {"-c", "import ezdxf"}, &ok).isEmpty() && !ok)
        QSKIP("ezdxf is missing");
    const QJsonObject dxf = QJsonDocument::fromJson(read).object();
    QCOMPARE(dxf["encoding"].toString(), QStringLiteral("cp932"));
    // A middle centred text by its alignment point, the point given; layer 1 at scale 0.5
    // holds half the numbers, the file paper millimetres.
    QCOMPARE(rows(ed.db, "CX, CY, CR", "ENT_CIRCLE_1", "N=2"), QStringList{"-80 40 20"});
    QCOMPARE(dxf["entities"].toVariant().toStringList(),
             QStringList({"CIRCLE LAYER_0 -100.0 50.0 25.0",
                          "ARC LAYER_0 50.0 50.0 20.0 30.0 120.0",
                          "TEXT LAYER_0 -50.0 -80.0 7.0 0.0 1.0 0 0 " + note,
                          QStringLiteral("TEXT LAYER_0 40.0 -30.0 5.0 30.0 0.8 1 2 中央の文字"),
                          "CIRCLE LAYER_1 -40.0 20.0 10.0"}));
}

void TestEntities::otherPcsOddRows()
{
    MessageRecorder messages;
    Editor ed;
    QVERIFY(ed.prepare() && StoreFrameHidden(ed.db, 1, true));
    Database &db = ed.db;
    int n = 0;
    // A row of the kind's table with its entity row, as another PC's program writes them.
    auto raw = [&](int kind, const QString &table, const QString &columns, const QString &values) {
        ++n;
        return db.SqlInsertList(table, columns, QString::number(n) + "," + values)
               && db.SqlInsertList("ENTITY_1", "N,MN,DS,DT,DN",
                                   QStringLiteral("%1,2,1,%2,%1").arg(n).arg(kind));
    };
    const QString circle = "N,LAY,COL,LTP,WID,CX,CY,CR";
    const QString arc = "N,LAY,COL,LTP,WID,CX,CY,CR,SA,EA";
    const QString text = "N,LAY,COL,STL,BAS,DIR,PX,PY,MH,MW,MD,ANG,FNT,TXT";
    // 1-4: circles of no, negative, huge and nearly unbounded radius.
    QVERIFY(raw(2, "ENT_CIRCLE_1", circle, "0,0,0,0,-150,100,0"));
    QVERIFY(raw(2, "ENT_CIRCLE_1", circle, "0,0,0,0,-150,60,-5"));
    QVERIFY(raw(2, "ENT_CIRCLE_1", circle, "0,0,0,0,0,100,1e300"));
    QVERIFY(raw(2, "ENT_CIRCLE_1", circle, "0,0,0,0,0,-120,1e308"));
    // 5-8: arcs of equal ends (a full circle), of a full turn, of no radius, and NULL angles.
    QVERIFY(raw(3, "ENT_ARC_1", arc, "0,0,0,0,100,60,20,45,45"));
    QVERIFY(raw(3, "ENT_ARC_1", arc, "0,0,0,0,100,0,20,0,360"));
    QVERIFY(raw(3, "ENT_ARC_1", arc, "0,0,0,0,-100,0,0,10,80"));
    QVERIFY(raw(3, "ENT_ARC_1", arc, "0,0,0,0,150,-80,10,NULL,NULL"));
    // 9-15: texts empty, NULL, in an unknown font, anchored at 0 and 12, of no and of a
    // negative height.
    QVERIFY(raw(4, "ENT_TEXT_1", text, "0,0,0,1,0,-150,-40,5,0,0,0,NULL,''"));
    QVERIFY(raw(4, "ENT_TEXT_1", text, "0,0,0,1,0,-150,-50,5,0,0,0,NULL,NULL"));
    QVERIFY(raw(4, "ENT_TEXT_1", text,
                "0,0,0,1,0,-60,-60,6,0,0,0,'No Such Font ''x''',"
                "'" + QStringLiteral("書体なし") + "'"));
    QVERIFY(raw(4, "ENT_TEXT_1", text, "0,0,0,0,0,-60,-80,6,0,0,0,NULL,'" + QStringLiteral("基準0") + "'"));
    QVERIFY(raw(4, "ENT_TEXT_1", text, "0,0,0,12,0,-60,-100,6,0,0,0,NULL,'" + QStringLiteral("基準12") + "'"));
    QVERIFY(raw(4, "ENT_TEXT_1", text, "0,0,0,1,0,40,-60,0,0,0,0,NULL,'" + QStringLiteral("高さ0") + "'"));
    QVERIFY(raw(4, "ENT_TEXT_1", text, "0,0,0,1,0,40,-80,-3,0,0,0,NULL,'" + QStringLiteral("負") + "'"));
    // 16: a text taller than any sheet.
    QVERIFY(raw(4, "ENT_TEXT_1", text, "0,0,0,5,0,0,0,1e308,0,0,45,NULL,'" + QStringLiteral("巨大") + "'"));
    // 17-18: a text row that is not there, a kind this program does not know.
    QVERIFY(db.SqlInsertList("ENTITY_1", "N,MN,DS,DT,DN", "17,2,1,4,99"));
    QVERIFY(db.SqlInsertList("ENTITY_1", "N,MN,DS,DT,DN", "18,2,1,9,1"));
    // 19: a circle whose radius is not a number, where the server takes one.
    const bool nanStored = db.ExecSqlLines({"INSERT INTO ENT_CIRCLE_1 (N,LAY,COL,LTP,WID,CX,CY,CR) "
                                            "VALUES (5,0,0,0,0,150,100,SQRT(-1))"})
                           && db.SqlInsertList("ENTITY_1", "N,MN,DS,DT,DN", "19,2,1,2,5");
    if (!nanStored)
        qInfo("the server takes no radius that is not a number");

    // Opening and drawing take every row in, in bounded time.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    QVERIFY(clock.elapsed() < 20000);
    QCOMPARE(e->Model().Count(), size_t(nanStored ? 19 : 18));
    // Nothing for the circles that cannot be drawn, and no stray stroke of the huge ones
    // across the view through their centres.
    QVERIFY(!inkNear(e, -150, 100, 3) && !inkNear(e, -150, 60, 3));
    const ViewParams v = e->CurrentView().Params();
    for (double y : {100.0, -120.0}) {
        const int row = pixelOf(e, 0, y).y();
        const int left = pixelOf(e, -200, 0).x(), right = pixelOf(e, 200, 0).x();
        QVERIFY2(inkInRow(e, row, left, right) <= 4, qPrintable(QString::number(y)));
    }
    QVERIFY(v.scale > 0);
    // Equal ends and a full turn: the full circle.
    for (double a : {0.0, 45.0, 90.0, 180.0, 270.0, 315.0}) {
        QVERIFY2(inkOnCurve(e, 100, 60, 20, a), qPrintable(QString::number(a)));
        QVERIFY2(inkOnCurve(e, 100, 0, 20, a), qPrintable(QString::number(a)));
    }
    // NULL angles read as 0: a full circle too.
    QVERIFY(inkOnCurve(e, 150, -80, 10, 90));
    QVERIFY(!inkNear(e, -100, 0, 3));
    // Empty texts and texts of no height: nothing; an unknown font or anchor: the text,
    // from its point as lower left.
    QVERIFY(inkBounds(e, -152, -52, -120, -34).isEmpty());
    QVERIFY(inkBounds(e, 38, -85, 80, -52).isEmpty());
    for (double y : {-60.0, -80.0, -100.0}) {
        const QRect ink = inkBounds(e, -65, y - 5, -10, y + 10);
        const QPoint anchor = pixelOf(e, -60, y);
        QVERIFY2(!ink.isEmpty() && std::abs(ink.left() - anchor.x()) <= 2
                     && std::abs(ink.bottom() - anchor.y()) <= 2,
                 qPrintable(QString::number(y)));
    }

    // Picking, framing, snapping and zooming around them neither fail nor hang.
    for (QPointF p : {QPointF(-150, 100), QPointF(0, 100), QPointF(120, 60), QPointF(-60, -57)})
        clickAt(e, p.x(), p.y());
    QVERIFY(e->Selected().Entities().size() <= 2);
    QTest::keyClick(e, Qt::Key_Escape);
    e->SpeedButton8->click();
    rightClickAt(e, 100, 60);
    QCOMPARE(QPointF(e->PickX, e->PickY), QPointF(100, 60)); // the centre
    QTest::keyClick(e, Qt::Key_Escape);
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(e, Qt::Key_PageUp);
    QTest::keyClick(e, Qt::Key_Home);
    QVERIFY(inkOnCurve(e, 100, 60, 20, 0));

    // On paper and in a file they are left out or drawn as on screen, without a hang.
    QTemporaryDir files;
    QVERIFY(e->Output->StartPdf(files.filePath("odd.pdf")));
    QVERIFY(finished(e->Output));
    if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
        bool ok = false;
        const QString text = QString::fromUtf8(
            RunProgram("pdftotext", {"-raw", files.filePath("odd.pdf"), "-"}, &ok));
        QVERIFY2(ok && text.contains(QStringLiteral("書体なし")), qPrintable(text));
    }
    QVERIFY(e->Output->StartDxf(files.filePath("odd.dxf")));
    QVERIFY(finished(e->Output));
    const PaperDrawing paper = e->Output->TakeDrawing();
    int texts = 0, curves = 0;
    for (const SheetLine &l : paper.lines) {
        if (const TextShape *t = std::get_if<TextShape>(&l.shape)) {
            ++texts;
            QVERIFY(!t->text.isEmpty() && t->height > 0);
        }
        if (const CircleShape *c = std::get_if<CircleShape>(&l.shape)) {
            ++curves;
            QVERIFY(c->r > 0 && std::isfinite(c->r));
        }
        if (const ArcShape *a = std::get_if<ArcShape>(&l.shape)) {
            ++curves;
            QVERIFY(a->r > 0 && std::isfinite(a->sa) && std::isfinite(a->ea));
        }
    }
    QCOMPARE(texts, 3);
    QCOMPARE(curves, 4); // the circle of 1e308 is too wide to place, as on screen
    // A reader of the file sees the full turns as full circles too.
    const QString python = QStringLiteral(DEBIAN_PYTHON3);
    if (!python.isEmpty() && QFile::exists(python)) {
        bool ok = false;
        const QJsonObject dxf = QJsonDocument::fromJson(
            RunProgram(python, {"-c", ReadDxf, files.filePath("odd.dxf")}, &ok)).object();
        if (ok) {
            QStringList full;
            for (const QString &line : dxf["entities"].toVariant().toStringList()) {
                const QStringList v = line.split(u' ');
                if (v[0] != "TEXT" && v.value(2).toDouble() >= 100)
                    full << v.mid(0, 4).join(u' ');
            }
            QCOMPARE(full, QStringList({"CIRCLE LAYER_0 100.0 60.0", "CIRCLE LAYER_0 100.0 0.0",
                                        "CIRCLE LAYER_0 150.0 -80.0"}));
        }
    }
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(u'/')));
}

QTEST_MAIN(TestEntities)
#include "tst_entities.moc"

#include "figures.h"

#include "editor/commands/pointinput.h"

#include <QClipboard>
#include <QCursor>
#include <QLabel>
#include <QToolButton>

class TestPrecision : public QObject
{
    Q_OBJECT

private slots:
    void entryForms();
    void badEntries();
    void orthoAndDirection();
    void measureTexts();
    void lastPoint();
    void typedPoints();
    void orthoInEditor();
    void measureInEditor();
};

namespace {

bool at(const PointEntry &e, double x, double y)
{
    return e.kind == PointEntry::Point && std::fabs(e.x - x) < 1e-12 && std::fabs(e.y - y) < 1e-12;
}

// Keys typed on the paint box, then Enter.
void type(TForm13 *e, const char *text)
{
    QTest::keyClicks(e->PaintBox1, QString::fromLatin1(text));
    QTest::keyClick(e->PointInput, Qt::Key_Return);
}

// An empty drawing's editor, active so that typed keys reach it.
bool openActive(Editor &ed)
{
    if (!openWith(ed, {}))
        return false;
    ed.window->activateWindow();
    return QTest::qWaitForWindowActive(ed.window);
}

} // namespace

void TestPrecision::entryForms()
{
    // Polar lands exactly on the axes; full width is what a Japanese keyboard types.
    const struct { const char *text; bool before; double fromX, fromY, x, y; } points[] = {
        {"10,20", false, 0, 0, 10, 20}, {" -1.5 , .25 ", false, 0, 0, -1.5, 0.25},
        {"@10,-2", true, 5, 5, 15, 3}, {"@10<90", true, 1, 2, 1, 12},
        {"@10<-90", true, 1, 2, 1, -8}, {"@10<540", true, 0, 0, -10, 0},
        {"2<60", true, 100, 100, 1, std::sqrt(3.0)}, {"2<0", false, 0, 0, 2, 0},
        {"１２．５，－３", false, 0, 0, 12.5, -3}, {"＠１０＜９０", true, 0, 0, 0, 10},
        {"３、ー４。５", false, 0, 0, 3, -4.5}, {"　＋７,\t８　", false, 0, 0, 7, 8}};
    for (const auto &p : points) {
        const QString text = QString::fromUtf8(p.text);
        QVERIFY2(at(ReadPointEntry(text, p.before, p.fromX, p.fromY), p.x, p.y), p.text);
    }
    const PointEntry length = ReadPointEntry(QStringLiteral("２５"), true, 0, 0);
    QCOMPARE(length.kind, PointEntry::Length);
    QCOMPARE(length.length, 25.0);
    QCOMPARE(ReadPointEntry("  ", false, 0, 0).kind, PointEntry::Nothing);
    QVERIFY(!std::signbit(ReadPointEntry("-0,-0", false, 0, 0).x));
}

void TestPrecision::badEntries()
{
    const QString wrong = QStringLiteral("座標の入力が正しくありません：");
    for (const char *text : {"abc", "1,2,3", "1<2,3", "@5", "1e5,0", "inf,0", "nan", "1..2,3",
                             "1.2.3,4", ",", "1,", "<5", "@", "0x10,1", "--1,2", "1,2@"}) {
        const PointEntry e = ReadPointEntry(QString::fromLatin1(text), true, 0, 0);
        QCOMPARE(e.kind, PointEntry::Bad);
        QVERIFY2(e.error.startsWith(wrong), text);
    }
    QVERIFY(ReadPointEntry("abc", true, 0, 0).error.contains("abc"));
    // Without a point given before, only the absolute forms are read.
    const std::pair<QString, QString> refused[] = {
        {"@1,1", "前の点が無いため @ の入力は使えません"},
        {"5", "前の点が無いため長さだけの入力は使えません"},
        {"1000001,0", "値が大きすぎます：1000001,0"}, {QString(400, u'9') + ",1", "入力が長すぎます"}};
    for (const auto &[text, error] : refused)
        QCOMPARE(ReadPointEntry(text, false, 0, 0).error, error);
    QCOMPARE(ReadPointEntry("@1<1", false, 0, 0).kind, PointEntry::Bad);
    // Relative to a far point the sum stays finite and is taken.
    QVERIFY(at(ReadPointEntry("@1,1", true, 1e300, 0), 1e300, 1));
}

void TestPrecision::orthoAndDirection()
{
    // A tie holds horizontal (the editor's ortho test holds the rest).
    double x = -3, y = 3;
    HoldOrtho(0, 0, x, y);
    QCOMPARE(std::make_pair(x, y), std::make_pair(-3.0, 0.0));

    QVERIFY(PointToward(1, 1, 1, -50, 20, x, y));
    QCOMPARE(std::make_pair(x, y), std::make_pair(1.0, -19.0));
    QVERIFY(PointToward(0, 0, 3, 4, 10, x, y));
    QVERIFY(std::fabs(x - 6) < 1e-12 && std::fabs(y - 8) < 1e-12);
    QVERIFY(PointToward(3, 0, 10, 0, -5, x, y)); // a negative length goes back
    QCOMPARE(std::make_pair(x, y), std::make_pair(-2.0, 0.0));
    QVERIFY(!PointToward(2, 2, 2, 2, 10, x, y));
    QVERIFY(!PointToward(0, 0, 1, 1, std::nan(""), x, y));

    QCOMPARE(DirectionOf(0, 0, -1, -1), 225.0);
    QCOMPARE(DirectionOf(0, 0, 0, -1), 270.0);
    QCOMPARE(DirectionOf(4, 4, 4, 4), 0.0);
}

void TestPrecision::measureTexts()
{
    QCOMPARE(MeasureText(10, 0, 0, -0.0000001),
             QStringLiteral("距離 10 mm　角度 180°　ΔX -10　ΔY 0"));
    QCOMPARE(MeasureText(LineShape{0, 0, 0, -12.5}),
             QStringLiteral("線分　長さ 12.5 mm　角度 270°"));
    QCOMPARE(MeasureText(CircleShape{0, 0, 10}),
             QStringLiteral("円　半径 10 mm　円周 62.832 mm"));
    // Counter-clockwise through 0.
    QCOMPARE(MeasureText(ArcShape{0, 0, 9, 350, 80}),
             QStringLiteral("円弧　半径 9 mm　角度 90°　弧長 14.137 mm"));
    QCOMPARE(MeasureText(ArcShape{0, 0, 1, 80, 350}).section(u'　', 2, 2),
             QStringLiteral("角度 270°"));
    QCOMPARE(RelativeText(1, 1, 1, 1), QStringLiteral("距離 0　角度 0°"));
    QCOMPARE(RelativeText(0, 0, 10, -0.0001), QStringLiteral("距離 10　角度 0°"));
    QCOMPARE(RelativeText(0, 0, -5, 0), QStringLiteral("距離 5　角度 180°"));
}

void TestPrecision::lastPoint()
{
    DrawCommand c;
    double x = 0, y = 0;
    QVERIFY(!c.Last(x, y));
    c.Start(HorizontalLine);
    QVERIFY(!c.Last(x, y));
    c.Give(1, 2);
    QVERIFY(c.Last(x, y) && x == 1 && y == 2);
    c.Give(3, 4);
    QVERIFY(c.Last(x, y) && x == 3 && y == 4);
    QCOMPARE(c.Give(9, 9).size(), size_t(1));
    QVERIFY(!c.Last(x, y)); // the next figure starts afresh
    QVERIFY(c.Stores());

    c.Start(MeasureCommand);
    QVERIFY(!c.Stores());
    c.Give(0, 0);
    // A measure of nothing is still a measure.
    QCOMPARE(c.Give(0, 0).size(), size_t(1));
    QVERIFY(c.Note().isEmpty());
}

void TestPrecision::typedPoints()
{
    Editor ed;
    QVERIFY(openActive(ed));
    TForm13 *e = ed.window;
    QVERIFY(!e->PointInput->isEnabled());
    e->SpeedButton8->click();
    QVERIFY(e->PointInput->isEnabled());
    QCOMPARE(e->RelativeShown(), QString());

    // A relative entry before any point is refused; the command asks on.
    type(e, "@10,0");
    QCOMPARE(e->Notice(), QStringLiteral("前の点が無いため @ の入力は使えません"));
    QCOMPARE(e->PointInput->text(), QStringLiteral("@10,0"));
    QCOMPARE(e->StatusText(2), QStringLiteral("開始点を指示して下さい"));
    QTest::keyClick(e->PointInput, Qt::Key_Escape);
    QCOMPARE(e->PointInput->text(), QString());

    clickAt(e, 20.4, 9.8); // on the grid: (20, 10)
    moveTo(e, 50, 10);
    QCOMPARE(e->RelativeShown(), QStringLiteral("距離 30　角度 0°"));
    // Typed on the paint box, the keys go to the entry.
    type(e, "@10,0");
    QCOMPARE(lineRows(ed.db), QStringLiteral("20 10 30 10"));
    QCOMPARE(e->Model().Count(), size_t(1));
    QCOMPARE(e->PointInput->text(), QString());
    QVERIFY(e->PaintBox1->hasFocus());

    // Typed points are taken as they are, off the grid.
    enter(e, QStringLiteral("１．２３４，－２"));
    QCOMPARE(e->StatusText(2), QStringLiteral("終了点を指示して下さい"));
    type(e, "@3<90");
    QCOMPARE(lineRows(ed.db).section(u'|', 1), QStringLiteral("1.234 -2 1.234 1"));

    // A bad entry says why, stores nothing and leaves the point to ask for.
    clickAt(e, 0, 0);
    type(e, "12,x");
    QVERIFY(e->Notice().startsWith(QStringLiteral("座標の入力が正しくありません：12,x")));
    QCOMPARE(e->StatusText(2), QStringLiteral("終了点を指示して下さい"));
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("2"));
    // A length alone goes the band's way, and the error goes with the good entry.
    moveTo(e, 0, -40);
    enter(e, "25");
    QCOMPARE(e->Notice(), QString());
    QCOMPARE(lineRows(ed.db).section(u'|', 2), QStringLiteral("0 0 0 -25"));
    // Without a direction there is nothing to go along.
    clickAt(e, 5, 5);
    type(e, "25");
    QVERIFY(e->Notice().startsWith(QStringLiteral("方向が決まらないため")));
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("3"));

    // Once the command ends the entry is closed and emptied.
    QTest::keyClick(e->PointInput, Qt::Key_Escape);
    QTest::keyClick(e->PaintBox1, Qt::Key_Escape);
    QVERIFY(!e->Command().Waiting());
    QVERIFY(!e->PointInput->isEnabled());
    QTest::keyClicks(e->PaintBox1, "7");
    QCOMPARE(e->PointInput->text(), QString());
}

void TestPrecision::orthoInEditor()
{
    Editor ed;
    QVERIFY(openActive(ed));
    TForm13 *e = ed.window;
    e->CurGrid = 1;
    QVERIFY(!e->Ortho());
    QTest::keyClick(e->PaintBox1, Qt::Key_F8);
    QVERIFY(e->Ortho());
    QVERIFY(e->OrthoPanel->isChecked());
    e->SpeedButton8->click();
    clickAt(e, 0, 0);
    moveTo(e, 30, 4);
    QCOMPARE(e->PickY, 0.0);
    QCOMPARE(e->RelativeShown(), QStringLiteral("距離 30　角度 0°"));
    // The band runs along y = 0, not to the pointer.
    QVERIFY(e->Screen().pixel(pixelOf(e, 15, 0)) != e->Picture().pixel(pixelOf(e, 15, 0)));
    QVERIFY(e->Screen().pixel(pixelOf(e, 15, 2)) == e->Picture().pixel(pixelOf(e, 15, 2)));
    clickAt(e, 30, 4);
    QCOMPARE(lineRows(ed.db), QStringLiteral("0 0 30 0"));
    clickAt(e, 10, 10);
    clickAt(e, 12, -30);
    QCOMPARE(lineRows(ed.db).section(u'|', 1), QStringLiteral("10 10 10 -30"));
    // A typed point is not held; the panel turns the hold off.
    clickAt(e, 0, 0);
    type(e, "@5,5");
    QCOMPARE(lineRows(ed.db).section(u'|', 2), QStringLiteral("0 0 5 5"));
    // The horizontal line's start is free of its through point.
    e->SpeedButton6->click();
    clickAt(e, 0, 0);
    moveTo(e, 5, 40);
    QCOMPARE(std::make_pair(e->PickX, e->PickY), std::make_pair(5.0, 40.0));
    e->SpeedButton8->click();
    clickAt(e, 0, 0);
    moveTo(e, 30, 4);
    QCursor::setPos(e->PaintBox1->mapToGlobal(pixelOf(e, 30, 4)));
    QCOMPARE(e->PickY, 0.0);
    // Turned off, the band goes to the pointer at once.
    e->OrthoPanel->click();
    QVERIFY(!e->Ortho());
    QVERIFY(!e->mnuDrawOrtho->isChecked());
    QCOMPARE(e->PickY, 4.0);
    clickAt(e, 30, 4);
    QCOMPARE(lineRows(ed.db).section(u'|', 3), QStringLiteral("0 0 30 4"));
}

void TestPrecision::measureInEditor()
{
    Editor ed;
    QVERIFY(openWith(ed, {lineOp(-50, 20, -50, 40)}));
    TForm13 *e = ed.window;

    e->mnuDrawMeasure->trigger();
    QCOMPARE(e->StatusText(1), QStringLiteral("測定"));
    clickAt(e, 0, 0);
    clickAt(e, 30, 40);
    const QString measured = QStringLiteral("距離 50 mm　角度 53.13°　ΔX 30　ΔY 40");
    QCOMPARE(e->Notice(), measured);
    // However long, what the status bar shows leaves the editor's size alone.
    QCOMPARE(e->width(), 700);
    QCOMPARE(QGuiApplication::clipboard()->text(), measured);
    // Nothing stored; the measure asks for its first point again.
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("1"));
    QCOMPARE(e->StatusText(2), QStringLiteral("測定の始点を指示して下さい"));
    // Typed points measure too.
    type(e, "1,1");
    type(e, "@2<180");
    QVERIFY(e->Notice().startsWith(QStringLiteral("距離 2 mm　角度 180°")));

    // The one line selected is measured at once.
    QTest::keyClick(e->PaintBox1, Qt::Key_Escape);
    clickAt(e, -50, 30);
    QCOMPARE(e->Selected().Size(), size_t(1));
    e->mnuDrawMeasure->trigger();
    QCOMPARE(e->Notice(), QStringLiteral("線分　長さ 20 mm　角度 90°"));
    QVERIFY(e->Command().Waiting());
}

QTEST_MAIN(TestPrecision)
#include "tst_precision.moc"

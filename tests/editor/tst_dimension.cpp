#include "figures.h"

#include "base/settings.h"
#include "editor/commands/dimensioncommands.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

class TestDimension : public QObject
{
    Q_OBJECT

private slots:
    void linearGeometry();
    void pickedDimensions();
    void dimensionsInEditor();
    void settingsLines();
};

void TestDimension::linearGeometry()
{
    const struct { double value; int decimals; const char *text; } values[] = {
        {12.3456, 0, "12"}, {12.3456, 2, "12.35"}, {12.5, 3, "12.5"}, {40, 3, "40"},
        {-0.0001, 2, "0"}};
    for (const auto &v : values)
        QCOMPARE(Dimension::ValueText(v.value, v.decimals), QString::fromLatin1(v.text));
    for (const auto &[angle, reading] : {std::pair{90, 90}, {270, 90}, {180, 0}, {-30, 330}})
        QCOMPARE(Dimension::ReadingAngle(angle), double(reading));

    // Horizontal: extension lines from the gap to past the line, arrows opening 30
    // degrees, the value above the middle.
    DimensionOptions o;
    std::vector<Shape> d = Dimension::Linear(o, 0, 10, 10, 50, 12, 30, 30);
    QCOMPARE(d.size(), size_t(8));
    QVERIFY(isLine(d[0], 10, 11, 10, 32) && isLine(d[1], 50, 13, 50, 32));
    QVERIFY(isLine(d[2], 10, 30, 50, 30));
    const double c = 3 * std::cos(Geometry::Pi / 12), s = 3 * std::sin(Geometry::Pi / 12);
    QVERIFY(isLine(d[3], 10, 30, 10 + c, 30 + s) && isLine(d[4], 10, 30, 10 + c, 30 - s));
    QVERIFY(isLine(d[5], 50, 30, 50 - c, 30 - s));
    QVERIFY(isText(d[7], "40", 30, 31, 0, 2) && near(std::get<TextShape>(d[7]).height, 3.5));

    // Vertical, to the left: the value reads from the right, on the line's left.
    d = Dimension::Linear(o, 1, 0, 0, 0, 20, -10, 5);
    QVERIFY(isLine(d[2], -10, 0, -10, 20) && isText(d.back(), "20", -11, 10, 90, 2));
    // Aligned, drawn toward the lower left: turned to read from below.
    d = Dimension::Linear(o, 2, 30, 40, 0, 0, 0, 0);
    QCOMPARE(std::get<TextShape>(d.back()).text, QStringLiteral("50"));
    QVERIFY(near(std::get<TextShape>(d.back()).angle, std::atan2(4, 3) * 180 / Geometry::Pi));
    // A dimension line within the gap has no extension lines; one of no length is nothing.
    QCOMPARE(Dimension::Linear(o, 0, 0, 0, 10, 0, 5, 0.5).size(), size_t(6));
    QVERIFY(Dimension::Linear(o, 0, 5, 0, 5, 9, 0, 20).empty());
    QVERIFY(Dimension::Linear(o, 2, 1, 1, 1, 1, 0, 20).empty());

    // Oblique ticks slant the same way at both ends; dots are small circles.
    o.arrow = 1;
    d = Dimension::Linear(o, 0, 0, 0, 10, 0, 5, 10);
    const double h = 1.5 * std::sqrt(0.5);
    QVERIFY(isLine(d[3], -h, 10 - h, h, 10 + h) && isLine(d[4], 10 + h, 10 + h, 10 - h, 10 - h));
    o.arrow = 2;
    const std::vector<Shape> dot = Dimension::Arrow(o, 1, 2, 0);
    QVERIFY(dot.size() == 1 && near(std::get<CircleShape>(dot[0]).r, 0.75));
}

void TestDimension::pickedDimensions()
{
    DrawCommand c;
    c.Start(DimRadius);
    QVERIFY(c.Picks());
    QCOMPARE(c.Prompt(), QStringLiteral("円か円弧を指示して下さい"));
    c.GivePick(subjectOf(3, LineShape{0, 0, 5, 0}), 2, 0);
    QCOMPARE(c.Note(), QStringLiteral("円か円弧を指示して下さい"));
    QCOMPARE(c.Given(), 0);
    c.GivePick(subjectOf(4, CircleShape{0, 0, 10}), 10, 0);
    QCOMPARE(c.Given(), 1);
    // Outside: the line from the centre goes on to the value.
    std::vector<Shape> r = c.Give(20, 0);
    QCOMPARE(r.size(), size_t(4));
    QVERIFY(isLine(r[0], 0, 0, 20, 0) && isText(r[3], "R10", 15, 1, 0, 2));
    QVERIFY(isLine(r[1], 10, 0, 10 - 3 * std::cos(Geometry::Pi / 12),
                   -3 * std::sin(Geometry::Pi / 12)));

    // Diameter inside an arc: across, arrows at both ends; not with the value on the centre.
    c.Start(DimDiameter);
    c.GivePick(subjectOf(5, ArcShape{0, 0, 10, 0, 180}), 0, 10);
    r = c.Give(0, 5);
    QCOMPARE(r.size(), size_t(6));
    QVERIFY(isLine(r[0], 0, -10, 0, 10) && isText(r.back(), "φ20", -1, 5, 90, 2));
    c.GivePick(subjectOf(5, ArcShape{0, 0, 10, 0, 180}), 0, 10);
    QVERIFY(c.Give(0, 0).empty());
    QCOMPARE(c.Note(), QStringLiteral("寸法値の位置が中心のため作図しません"));

    // The angle the place lies in, of the four two lines make.
    const Subject a = subjectOf(6, LineShape{0, 0, 10, 0});
    const Subject b = subjectOf(7, LineShape{0, 0, 10, 10});
    c.Start(DimAngle);
    const auto angle = [&](const Subject &second, double x, double y) {
        c.GivePick(a, 5, 0);
        c.GivePick(second, 5, 5);
        return c.Give(x, y);
    };
    r = angle(b, 10, 0.0001);
    QVERIFY(isArc(r[0], 0, 0, 10, 0, 45));
    const TextShape above = std::get<TextShape>(r.back());
    QVERIFY(above.text == "45°" && above.anchor == 2);
    // Below the point, a value turned round hangs outside the arc from its top.
    r = angle(b, -10, -4);
    const TextShape &below = std::get<TextShape>(r.back());
    QVERIFY(below.text == "45°" && below.anchor == 8 && near(below.angle, 292.5));
    QVERIFY(near(std::hypot(below.px, below.py), std::hypot(10, 4) + 1));
    QCOMPARE(std::get<TextShape>(angle(b, -10, 4).back()).text, QStringLiteral("135°"));
    QVERIFY(angle(subjectOf(8, LineShape{0, 5, 10, 5}), 3, 3).empty());
    QVERIFY(!c.Note().isEmpty());

    // Leader: the arrow at the first point, the text on a shoulder toward its side.
    const TextShape t{0, 0, 3.5, 0, 0, 30, 0, 1, 0, QString(), QStringLiteral("穴")};
    c.SetText(t);
    c.Start(DimLeader);
    c.Give(0, 0);
    r = c.Give(-10, 10);
    QVERIFY(isLine(r[0], 0, 0, -10, 10) && isText(r.back(), "穴", -11, 11, 0, 3));
    const LineShape &shoulder = std::get<LineShape>(r[1]);
    QVERIFY(near(shoulder.y1, 10) && near(shoulder.y2, 10) && shoulder.x2 < -14.5);
    c.SetText(TextShape());
    c.Give(0, 0);
    QVERIFY(c.Give(5, 5).empty());
    QCOMPARE(c.Note(), QStringLiteral("文字が無いため作図しません"));
}

void TestDimension::dimensionsInEditor()
{
    Editor ed;
    QVERIFY(openWith(ed, {lineOp(10, 10, 50, 10), figureOp(CircleShape{100, 100, 20})}));
    TForm13 *e = ed.window;
    QVERIFY(start(e, "mnuDimHorizontal"));
    QCOMPARE(e->StatusText(1), QStringLiteral("水平寸法"));
    clickAt(e, 10, 10);
    clickAt(e, 50, 10);
    moveTo(e, 30, 30);
    QVERIFY(e->RubberShown());
    clickAt(e, 30, 30);
    const QStringList lines = rows(ed.db, "X1, Y1, X2, Y2", "ENT_LINE_1");
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines.mid(1, 3).join(u'|'), QStringLiteral("10 11 10 32|50 11 50 32|10 30 50 30"));
    QCOMPARE(rows(ed.db, "BAS, PX, PY, MH, ANG, TXT", "ENT_TEXT_1").join(u'|'),
             QStringLiteral("2 30 31 3.5 0 40"));
    // One operation: undo takes back every part of it.
    QCOMPARE(e->History().UndoCount(), size_t(1));
    e->Undo();
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENTITY_1", "DS = 1"), QStringLiteral("2"));
    e->Redo();
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENTITY_1", "DS = 1"), QStringLiteral("10"));
    QTest::keyClick(e, Qt::Key_Escape);

    // Radius of the circle picked, then the value outside it, with this PC's settings.
    Config().DimDecimals = 1;
    Config().DimTextHeight = 5;
    QVERIFY(start(e, "mnuDimRadius"));
    clickAt(e, 120, 100);
    clickAt(e, 130, 100);
    QCOMPARE(rows(ed.db, "BAS, PX, PY, MH, TXT", "ENT_TEXT_1", "N = 2"),
             QStringList{"2 125 101 5 R20"});
    QCOMPARE(rows(ed.db, "X1, Y1, X2, Y2", "ENT_LINE_1", "N = 9"), QStringList{"100 100 130 100"});
    QCOMPARE(e->History().UndoCount(), size_t(2));

    // The settings dialog: what OK takes is kept for this PC and the next dimension.
    bool shown = false;
    QTimer::singleShot(50, [&] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d)
            return;
        auto *height = d->findChild<QComboBox *>("DimHeightBox");
        auto *arrow = d->findChild<QComboBox *>("DimArrowBox");
        auto *gap = d->findChild<QLineEdit *>("DimGapEdit");
        auto *decimals = d->findChild<QSpinBox *>("DimDecimalsBox");
        auto *buttons = d->findChild<QDialogButtonBox *>();
        shown = height && arrow && gap && decimals && buttons;
        if (shown) {
            height->setCurrentText("2.5");
            arrow->setCurrentIndex(1);
            gap->setText("0.5");
            decimals->setValue(3);
            buttons->button(QDialogButtonBox::Ok)->click();
        }
        if (d->isVisible())
            d->reject();
    });
    QTimer::singleShot(5000, [] {
        if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            d->reject();
    });
    QVERIFY(start(e, "mnuDimSettings"));
    QVERIFY(shown);
    QCOMPARE(QList<double>({Config().DimTextHeight, double(Config().DimArrowKind),
                            Config().DimGap, double(Config().DimDecimals)}),
             QList<double>({2.5, 1, 0.5, 3}));
    Config() = Settings();
    editorSettings();
}

void TestDimension::settingsLines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("h.dat");
    const auto content = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const auto dims = [](const Settings &s) {
        return QList<double>({s.DimTextHeight, double(s.DimArrowKind), s.DimArrowSize,
                              s.DimOvershoot, s.DimGap, double(s.DimDecimals)});
    };
    Settings s;
    QVERIFY(SaveSettingsFile(path, s));
    QCOMPARE(content().count("\r\n"), SettingsLineCount);

    // Up to the last line that differs, the lines before it as their defaults.
    s.DimGap = 0.5;
    QVERIFY(SaveSettingsFile(path, s));
    QByteArray all = content();
    QCOMPARE(all.count("\r\n"), 86);
    QVERIFY(all.endsWith("\r\n0\r\n0\r\n0\r\n31\r\n\r\n0\r\n3.5\r\n0\r\n3\r\n2\r\n0.5\r\n"));
    s.DimTextHeight = 7;
    s.DimArrowKind = 2;
    s.DimArrowSize = 2.5;
    s.DimOvershoot = 0;
    s.DimDecimals = 0;
    QVERIFY(SaveSettingsFile(path, s));
    all = content();
    QVERIFY(all.endsWith("\r\n7\r\n2\r\n2.5\r\n0\r\n0.5\r\n0\r\n"));
    QCOMPARE(dims(LoadSettingsFile(path)), QList<double>({7, 2, 2.5, 0, 0.5, 0}));

    // A value outside its range leaves the default.
    all.replace("\r\n7\r\n2\r\n2.5\r\n0\r\n0.5\r\n0\r\n", "\r\n4\r\n3\r\nx\r\n-1\r\ninf\r\n9\r\n");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(all) == all.size());
    f.close();
    QCOMPARE(dims(LoadSettingsFile(path)), dims(Settings()));
    s.DimGap = NAN;
    QVERIFY(!SaveSettingsFile(path, s));
}

QTEST_MAIN(TestDimension)
#include "tst_dimension.moc"

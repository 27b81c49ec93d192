#include "base/globals.h"
#include "base/grid.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "db/database.h"
#include "drawsettings/colours.h"
#include "drawsettings/gridspacing.h"
#include "drawsettings/layers.h"
#include "drawsettings/linetypes.h"
#include "drawsettings/linewidth.h"
#include "drawsettings/valuedialog.h"
#include "editor/editorwindow.h"
#include "editor/pen/pen.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <functional>

class TestDrawSettings : public QObject
{
    Q_OBJECT

private slots:
    void layersRoundTrip();
    void layersWithGap();
    void coloursAndLineTypes();
    void lineWidthAndGrid();
    void positionsAndColumns();
    void editorPicture();
};

namespace {

// The main window's settings dialogs.
constexpr auto layersDialog = &Dialog<TForm14>;
constexpr auto coloursDialog = &Dialog<TForm15>;
constexpr auto typesDialog = &Dialog<TForm16>;
constexpr auto widthDialog = &Dialog<TForm17>;
constexpr auto gridDialog = &Dialog<TForm18>;

constexpr int Drawing = 1;

QString layerRow(int n)
{
    QStringList values;
    if (Db().SqlSelectRow("LNAME, VISI, PRN, COL, LTP, WID, SCL",
                          QStringLiteral("LAYER_%1").arg(Drawing), QStringLiteral("N=%1").arg(n),
                          values)
        < 0)
        return QStringLiteral("<no row>");
    return values.join(u'|');
}

struct Program
{
    MessageRecorder messages;
    ProgramFixture p;
    bool ready = p.connected && EnsureDrawingTables(Db(), Drawing);
};

// The layers dialog on the test drawing, shown with a current layer.
TForm14 *showLayers(int current)
{
    TForm14 *f = layersDialog();
    f->DrawingNo = Drawing;
    f->CurrentLayer = current;
    f->show();
    return f;
}

// An editor on the test drawing, its first picture painted; nullptr when none came.
TForm13 *openEditor()
{
    // Large enough for a millimetre to take more than a pixel.
    Config().EditorWidth = 900;
    Config().EditorHeight = 700;
    auto *e = new TForm13(Main()->Context(), Drawing, 420, 297);
    Main()->OpenChild(e);
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()
           && (e->Picture().isNull() || e->Picture().size() != e->PaintBox1->size()
               || !e->Loaded()))
        QTest::qWait(10);
    return e->Picture().isNull() || !e->Loaded() ? nullptr : e;
}

// The picture's colour at a paper point.
QRgb paperPixel(const TForm13 *e, double x, double y)
{
    const ViewParams p = e->CurrentView().Params();
    const QPoint at(RoundHalfAway((x - p.x1) * p.scale),
                    p.height - RoundHalfAway((y - p.y1) * p.scale));
    return e->Picture().valid(at) ? e->Picture().pixel(at) & 0xFFFFFF : QRgb(0x123456);
}

// How many of the points every 0.1 mm from x1 to x2 at height y are not white.
int drawnAlong(const TForm13 *e, double x1, double x2, double y)
{
    int drawn = 0;
    for (double x = x1; x <= x2; x += 0.1)
        drawn += paperPixel(e, x, y) != 0xFFFFFF;
    return drawn;
}

// The run of non-white pixels across the line at x, in pixels.
int thicknessAt(const TForm13 *e, double x, double y)
{
    const ViewParams p = e->CurrentView().Params();
    int drawn = 0;
    for (double dy = -8; dy <= 8; dy += 1 / p.scale)
        drawn += paperPixel(e, x, y + dy) != 0xFFFFFF;
    return drawn;
}

} // namespace

void TestDrawSettings::layersRoundTrip()
{
    Program program;
    QVERIFY(program.ready);
    MessageRecorder &messages = program.messages;
    layersDialog()->Changed = true;
    TForm14 *f = showLayers(3);
    QCOMPARE(f->SG1->RowCount(), 257);
    QCOMPARE(f->SG1->RowCells(1).join(u'|'), QStringLiteral("0|LAYER_0|1|1|1|1|18|1"));
    QCOMPARE(f->SG1->RowCells(256).value(1), QStringLiteral("LAYER_255"));
    QVERIFY(!f->Changed);
    QCOMPARE(f->SG1->currentRow(), 3);
    QCOMPARE(f->Edit1->text(), QStringLiteral("3"));
    QCOMPARE(f->Edit2->text(), QStringLiteral("LAYER_3"));
    QVERIFY(f->CheckBox1->isChecked());
    QCOMPARE(f->LabelA1->text(), QStringLiteral("現在のレイヤ：3"));

    clickRow(f->SG1, 6);
    QCOMPARE(f->Edit1->text(), QStringLiteral("5"));
    f->Edit2->setText(QStringLiteral(" 配管 "));
    f->CheckBox1->setChecked(false);
    f->Edit3->setText("2");
    f->Edit4->setText("3");
    f->Edit5->setText("50");
    f->Edit6->setText("0.01");
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QVERIFY(f->Changed);
    // The name as typed, blanks kept.
    QCOMPARE(layerRow(5), QStringLiteral(" 配管 |0|1|2|3|50|0.01"));
    QCOMPARE(f->SG1->RowCells(6).join(u'|'), QStringLiteral("5| 配管 |0|1|2|3|50|0.01"));
    QCOMPARE(f->LabelA1->text(), QStringLiteral("現在のレイヤ：3"));

    click(f->Button2);
    QCOMPARE(f->CurrentLayer, 5);
    QCOMPARE(f->LabelA1->text(), QStringLiteral("現在のレイヤ：5"));
    QVERIFY(f->isVisible());
    click(f->Button3);
    QVERIFY(!f->isVisible());
    QCOMPARE(f->CurrentLayer, 5);

    // A second showing starts unchanged and on the current layer.
    f->show();
    QVERIFY(!f->Changed);
    QCOMPARE(f->Edit2->text(), QStringLiteral(" 配管 "));
    QVERIFY(!f->CheckBox1->isChecked());
    f->reject();

    // Each field checked, in order, before anything is written.
    f->CurrentLayer = 1;
    f->show();
    QCOMPARE(f->Edit1->text(), QStringLiteral("1"));
    const QString before = layerRow(1);
    const QString longName = QString(128, QChar(u'図'));
    struct Case
    {
        QString name, colour, lineType, width, scale, message;
        QLineEdit *focus;
    };
    const QString nameMessage = QStringLiteral("名称を入力して下さい");
    const QString colourMessage = QStringLiteral("レイヤ依存色は1～255の整数で入力して下さい");
    const QString scaleMessage = QStringLiteral("尺度値は、0.00001～100000の実数値で入力して下さい");
    const Case cases[] = {
        {QStringLiteral(" 　\t"), "0", "0", "0", "0", nameMessage, f->Edit2},
        {QStringLiteral("a'b"), "0", "0", "0", "0",
         QStringLiteral("引用符「'」「\"」を入力しないで下さい"), f->Edit2},
        {longName, "1", "1", "1", "1",
         QStringLiteral("名称は半角255文字（全角127文字）以内で入力して下さい"), f->Edit2},
        {QStringLiteral("é"), "1", "1", "1", "1",
         QStringLiteral("名称に使用出来ない文字が含まれています"), f->Edit2},
        {"L", "0", "0", "0", "0", colourMessage, f->Edit3},
        {"L", "256", "1", "1", "1", colourMessage, f->Edit3},
        {"L", "1", "33", "1", "1", QStringLiteral("レイヤ依存線種は1～32の整数で入力して下さい"),
         f->Edit4},
        {"L", "1", "1", "30001", "1",
         QStringLiteral("レイヤ依存線幅は1/100mm単位（mmの100倍値）で、1～30000の整数で入力して下さい"),
         f->Edit5},
        {"L", "1", "1", "1", "0", scaleMessage, f->Edit6},
        {"L", "1", "1", "1", "-1", scaleMessage, f->Edit6},
        {"L", "1", "1", "1", "100000.1", scaleMessage, f->Edit6},
        {"L", "1", "1", "1", "nan", scaleMessage, f->Edit6},
        {"L", "1", "1", "1", "inf", scaleMessage, f->Edit6},
        {"L", "1", "1", "1", "1e999", scaleMessage, f->Edit6},
        {"L", "1", "1", "1", "abc", scaleMessage, f->Edit6},
    };
    for (const Case &c : cases) {
        messages.clear();
        f->Edit2->setText(c.name);
        f->Edit3->setText(c.colour);
        f->Edit4->setText(c.lineType);
        f->Edit5->setText(c.width);
        f->Edit6->setText(c.scale);
        f->Button1->setFocus();
        const QStringList lastSql = Db().LastSql();
        click(f->Button1);
        QCOMPARE(messages.texts, QStringList{c.message});
        QCOMPARE(f->focusWidget(), c.focus);
        QCOMPARE(Db().LastSql(), lastSql);
    }
    QCOMPARE(layerRow(1), before);
    QVERIFY(!f->Changed);

    // The ends of every range are accepted; a 127-character Japanese name fits.
    f->Edit2->setText(longName.left(127));
    for (const auto &[colour, lineType, width, scale] :
         {std::tuple{"1", "1", "1", "0.00001"}, std::tuple{"255", "32", "30000", "100000"}}) {
        f->Edit3->setText(colour);
        f->Edit4->setText(lineType);
        f->Edit5->setText(width);
        f->Edit6->setText(scale);
        click(f->Button1);
        QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    }
    QCOMPARE(layerRow(1), longName.left(127) + QStringLiteral("|1|1|255|32|30000|100000"));

    // No row loaded: apply does nothing at all, least of all overwrite layer 0.
    const QString layer0 = layerRow(0);
    f->Edit1->clear();
    messages.clear();
    click(f->Button1);
    QVERIFY(messages.texts.isEmpty());
    QCOMPARE(layerRow(0), layer0);
    f->reject();

    // The colour and line type edits open their dialogs.
    f->CurrentLayer = 0;
    f->show();
    QCOMPARE(f->Edit3->text(), QStringLiteral("1"));

    // Text opens the colours on colour 1; a colour written there is a change here too.
    f->Edit3->setText("x");
    QString shownOn;
    whenShown(coloursDialog(), [&] {
        shownOn = coloursDialog()->Edit1->text();
        clickRow(coloursDialog()->SG1, 8);
        coloursDialog()->Edit3->setText("255");
        click(coloursDialog()->Button1);
        click(coloursDialog()->Button2);
    });
    QTest::mouseDClick(f->Edit3, Qt::LeftButton);
    QCOMPARE(shownOn, QStringLiteral("1"));
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QCOMPARE(f->Edit3->text(), QStringLiteral("7"));
    QVERIFY(f->Changed);
    QCOMPARE(QueryValue(Db(), "COL", QStringLiteral("COLOR_%1").arg(Drawing), "N=7"),
             QStringLiteral("255"));

    // The layer-dependent entry is no layer colour: the edit keeps its value.
    whenShown(coloursDialog(), [&] {
        shownOn = coloursDialog()->Edit1->text();
        clickRow(coloursDialog()->SG1, 1);
        click(coloursDialog()->Button2);
    });
    QTest::mouseDClick(f->Edit3, Qt::LeftButton);
    QCOMPARE(shownOn, QStringLiteral("7"));
    QCOMPARE(f->Edit3->text(), QStringLiteral("7"));

    f->reject();
    f->show();
    QVERIFY(!f->Changed);
    whenShown(typesDialog(), [&] {
        shownOn = typesDialog()->Edit1->text();
        clickRow(typesDialog()->SG1, 5);
        click(typesDialog()->Button2);
    });
    QTest::mouseDClick(f->Edit4, Qt::LeftButton);
    QCOMPARE(shownOn, QStringLiteral("1"));
    QCOMPARE(f->Edit4->text(), QStringLiteral("4"));
    QVERIFY(!f->Changed);
    whenShown(typesDialog(), [&] {
        clickRow(typesDialog()->SG1, 3);
        typesDialog()->PitchEdit[1]->setText("300");
        click(typesDialog()->Button1);
    });
    QTest::mouseDClick(f->Edit4, Qt::LeftButton);
    QVERIFY(f->Changed);
    QCOMPARE(f->Edit4->text(), QStringLiteral("4"));
    f->reject();
}

void TestDrawSettings::layersWithGap()
{
    Program program;
    QVERIFY(program.ready);
    const QString table = QStringLiteral("LAYER_%1").arg(Drawing);
    QVERIFY(Db().SqlDelete(table, "N=2"));
    TForm14 *f = showLayers(5);
    // Layer 5 sits one row higher than its number suggests.
    QCOMPARE(f->SG1->currentRow() + 1, 5);
    QCOMPARE(f->Edit1->text(), QStringLiteral("5"));
    clickRow(f->SG1, 7);
    click(f->Button2);
    QCOMPARE(f->CurrentLayer, 7);
    QCOMPARE(f->LabelA1->text(), QStringLiteral("現在のレイヤ：7"));

    // The blank row past the data, and no row at all, leave the current layer alone.
    QVERIFY(f->SG1->Cell(0, 256).isEmpty());
    clickRow(f->SG1, 256);
    QCOMPARE(f->Edit1->text(), QStringLiteral("7"));
    click(f->Button2);
    QCOMPARE(f->CurrentLayer, 7);
    f->SG1->clearSelection();
    click(f->Button2);
    QCOMPARE(f->CurrentLayer, 7);
    f->reject();

    // A current layer without a row: nothing selected, nothing loaded, nothing to apply.
    f->CurrentLayer = 2;
    f->show();
    QVERIFY(f->SG1->selectionModel()->selectedRows().isEmpty());
    QVERIFY(f->Edit1->text().isEmpty());
    QVERIFY(f->Edit2->text().isEmpty());
    click(f->Button2);
    QCOMPARE(f->CurrentLayer, 2);
    QCOMPARE(f->LabelA1->text(), QStringLiteral("現在のレイヤ：2"));
    f->reject();
}

void TestDrawSettings::coloursAndLineTypes()
{
    Program program;
    QVERIFY(program.ready);
    MessageRecorder &messages = program.messages;
    TForm15 *f = coloursDialog();
    f->DrawingNo = Drawing;
    f->CurrentColor = 0;
    f->resize(f->size());
    f->show();
    QCOMPARE(f->SG1->RowCount(), 257);
    QCOMPARE(f->SG1->RowCells(1).join(u'|'), QStringLiteral("0|レイヤ依存色||"));
    QCOMPARE(f->SG1->RowCells(3).join(u'|'), QStringLiteral("2|red|255|"));
    QCOMPARE(f->SG1->RowCells(256).join(u'|'), QStringLiteral("255|COLOR_255|0|"));
    QCOMPARE(f->Edit1->text(), QStringLiteral("0"));
    QCOMPARE(f->LabelA1->text(), QStringLiteral("現在の色：0"));

    // The swatch shows the value beside it.
    auto swatch = [f](int row) {
        f->SG1->scrollToItem(f->SG1->item(row - 1, 0));
        const QRect cell = f->SG1->visualItemRect(f->SG1->item(row - 1, 3));
        return f->SG1->viewport()->grab().toImage().pixelColor(cell.center());
    };
    QCOMPARE(swatch(3), QColor(255, 0, 0));
    QCOMPARE(swatch(5), QColor(0, 0, 255));
    QCOMPARE(swatch(1), QColor(0, 0, 0));

    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("No.0 レイヤ依存色の設定は出来ません"));
    clickRow(f->SG1, 5);
    QCOMPARE(f->Edit3->text(), QStringLiteral("16711680"));
    const QString valueMessage = QStringLiteral("色値は0～16777215($ffffff) の整数で入力して下さい");
    for (const char *bad : {"16777216", "-1"}) {
        f->Edit3->setText(bad);
        f->Button1->setFocus();
        click(f->Button1);
        QCOMPARE(messages.last(), valueMessage);
        QCOMPARE(f->focusWidget(), f->Edit3);
    }
    f->Edit3->setText("$ff00");
    f->Edit2->setText(QStringLiteral("緑"));
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QVERIFY(f->Changed);
    QCOMPARE(f->SG1->RowCells(5).join(u'|'), QStringLiteral("4|緑|65280|"));
    QCOMPARE(swatch(5), QColor(0, 255, 0));
    f->Edit3->setText(QStringLiteral("緑"));
    click(f->Button1);
    QCOMPARE(QueryValue(Db(), "COL", QStringLiteral("COLOR_%1").arg(Drawing), "N=4"),
             QStringLiteral("0"));

    // The system chooser opens on the value and gives the chosen one back, written at apply.
    f->Edit3->setText("65535");
    QColor openedOn;
    whenShown(f->ColorDialog1, [&] {
        openedOn = f->ColorDialog1->currentColor();
        f->ColorDialog1->setCurrentColor(QColor(1, 2, 3));
        f->ColorDialog1->accept();
    });
    click(f->Button4);
    QCOMPARE(openedOn, QColor(255, 255, 0));
    QCOMPARE(f->Edit3->text(), QString::number(1 + 2 * 256 + 3 * 65536));
    whenShown(f->ColorDialog1, [] {});
    click(f->Button4);
    QCOMPARE(f->Edit3->text(), QString::number(1 + 2 * 256 + 3 * 65536));
    QCOMPARE(QueryValue(Db(), "COL", QStringLiteral("COLOR_%1").arg(Drawing), "N=4"),
             QStringLiteral("0"));

    click(f->Button2);
    QCOMPARE(f->CurrentColor, 4);
    clickRow(f->SG1, 1);
    click(f->Button2);
    QCOMPARE(f->CurrentColor, 0);
    QCOMPARE(f->LabelA1->text(), QStringLiteral("現在の色：0"));
    f->reject();

    // The line types dialog.
    const QString table = QStringLiteral("LTYPE_%1").arg(Drawing);
    TForm16 *t = typesDialog();
    t->DrawingNo = Drawing;
    t->CurrentLineType = 4;
    t->show();
    QCOMPARE(t->SG1->RowCount(), 34);
    QCOMPARE(t->SG1->RowCells(1).join(u'|'), QStringLiteral("0|レイヤ依存線種|||||||||||"));
    QCOMPARE(t->SG1->RowCells(5).join(u'|'),
             QStringLiteral("4|long dashed dotted|4|1200|150|25|150|0|0|0|0|0|0"));
    QCOMPARE(t->ComboBox1->currentText(), QStringLiteral("4"));
    QCOMPARE(t->PitchEdit[2]->text(), QStringLiteral("25"));
    QCOMPARE(t->LabelA1->text(), QStringLiteral("現在の線種：4"));

    // The preview draws the pattern: a solid line has no gaps along its middle.
    auto gaps = [t] {
        const QImage image = t->Preview->grab().toImage();
        const int y = t->Preview->height() / 2;
        int white = 0;
        for (int x = 4; x < image.width() - 4; ++x)
            white += image.pixelColor(x, y) == QColor(Qt::white);
        return white;
    };
    QVERIFY(gaps() > 10);
    t->ComboBox1->setCurrentIndex(0);
    QCOMPARE(gaps(), 0);

    // Nothing chosen is a solid line; pitches past the count are not kept.
    t->Edit2->setText(QStringLiteral("実線"));
    t->ComboBox1->setCurrentIndex(-1);
    click(t->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QCOMPARE(t->SG1->RowCells(5).join(u'|'), QStringLiteral("4|実線|0|0|0|0|0|0|0|0|0|0|0"));

    t->ComboBox1->setCurrentIndex(2);
    const char *pitches[] = {"600", "30001", "-1", "x", "99"};
    for (int i = 0; i < 5; ++i)
        t->PitchEdit[i]->setText(pitches[i]);
    click(t->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QCOMPARE(QueryValue(Db(),
                        "SN || '|' || P1 || '|' || P2 || '|' || P3 || '|' || P4 || '|' || P5",
                        table, "N=4"),
             QStringLiteral("4|600|0|0|0|0"));
    for (int i = 0; i < 5; ++i)
        t->PitchEdit[i]->setText("0");
    messages.clear();
    click(t->Button1);
    QCOMPARE(messages.texts, QStringList{QStringLiteral("線種の各ピッチを入力して下さい")});

    // A stored count that is no chooser entry shows as 0.
    QVERIFY(Db().SqlUpdate(table, 1, {"SN"}, {"3"}, "N=6"));
    t->reject();
    t->show();
    clickRow(t->SG1, 7);
    QCOMPARE(t->ComboBox1->currentText(), QStringLiteral("0"));

    clickRow(t->SG1, 1);
    click(t->Button1);
    QCOMPARE(messages.last(), QStringLiteral("No.0 レイヤ依存線種の設定は出来ません"));
    click(t->Button2);
    QCOMPARE(t->CurrentLineType, 0);
    t->reject();
}

void TestDrawSettings::lineWidthAndGrid()
{
    MessageRecorder messages;
    ProgramFixture p;
    TForm17 *w = widthDialog();
    TForm18 *g = gridDialog();
    QVERIFY(w && g);
    w->LineWidth = 35;
    g->GridSpacing = 2.25;
    struct Case
    {
        ValueDialog *dialog;
        std::function<double()> value;
        QString shown, first, message;
        QStringList bad;
        QList<std::pair<QString, double>> good;
    };
    const Case cases[] = {
        {w, [w] { return double(w->LineWidth); }, "35", QString(),
         QStringLiteral("線幅は1/100mm単位（mmの100倍値）で、0～30000の整数で入力して下さい"
                        "(0:レイヤ依存線幅)"),
         {"30001", "-1"}, {{"30000", 30000}, {"", 0}, {"abc", 0}}},
        {g, [g] { return g->GridSpacing; }, "2.25", QStringLiteral("表示しない"),
         QStringLiteral("グリッド間隔は 0～10000範囲内で入力して下さい"),
         {"10000.5", "-0.1", "0.000009", "1e-300"},
         {{"10000", 10000}, {"0.00001", 0.00001}, {QStringLiteral("表示しない"), 0}, {"nan", 0}}},
    };
    // Shown on the value, the entry focused; a value out of range is said, the dialog stays
    // on the entry and the value is kept; one in range is taken by OK or Enter.
    for (const Case &c : cases) {
        ValueDialog *d = c.dialog;
        d->show();
        QCOMPARE(d->ComboBox1->currentText(), c.shown);
        QCOMPARE(d->focusWidget(), d->ComboBox1);
        QCOMPARE(d->ComboBox1->itemText(0), c.first);
        const double before = c.value();
        for (const QString &bad : c.bad) {
            messages.clear();
            d->ComboBox1->setEditText(bad);
            d->Button2->setFocus();
            click(d->Button1);
            QCOMPARE(messages.texts, QStringList{c.message});
            QVERIFY(d->isVisible() && !d->Accepted);
            QCOMPARE(d->focusWidget(), d->ComboBox1);
        }
        QCOMPARE(c.value(), before);
        bool enter = false;
        for (const auto &[text, value] : c.good) {
            d->show();
            d->ComboBox1->setEditText(text);
            if ((enter = !enter))
                QTest::keyClick(d->ComboBox1, Qt::Key_Return);
            else
                click(d->Button1);
            QVERIFY(!d->isVisible() && d->Accepted);
            QCOMPARE(c.value(), value);
        }
        // Escape and cancel keep the value; a new showing is not accepted yet.
        d->show();
        QVERIFY(!d->Accepted);
        d->ComboBox1->setEditText("70");
        QTest::keyClick(d->ComboBox1, Qt::Key_Escape);
        QVERIFY(!d->isVisible() && !d->Accepted);
        d->show();
        d->ComboBox1->setEditText("5");
        click(d->Button2);
        QVERIFY(!d->isVisible() && !d->Accepted);
        QCOMPARE(c.value(), c.good.last().second);
    }
    g->show();
    QCOMPARE(g->ComboBox1->currentText(), QStringLiteral("0"));
    g->reject();

    // Typed keys stay as typed: "0" is no grid, not the list's "0.01"; "1" is width 1.
    g->GridSpacing = 5;
    g->show();
    g->ComboBox1->lineEdit()->selectAll();
    QTest::keyClicks(g->ComboBox1->lineEdit(), "0");
    QCOMPARE(g->ComboBox1->currentText(), QStringLiteral("0"));
    QTest::keyClick(g->ComboBox1, Qt::Key_Return);
    QVERIFY(g->Accepted);
    QCOMPARE(g->GridSpacing, 0.0);
    w->show();
    w->ComboBox1->lineEdit()->selectAll();
    QTest::keyClicks(w->ComboBox1->lineEdit(), "1");
    QCOMPARE(w->ComboBox1->currentText(), QStringLiteral("1"));
    QTest::keyClick(w->ComboBox1, Qt::Key_Return);
    QVERIFY(w->Accepted);
    QCOMPARE(w->LineWidth, 1);
}

void TestDrawSettings::positionsAndColumns()
{
    Program program;
    QVERIFY(program.ready);
    Settings &s = Config();
    s.LayersDialog = {140, 120};
    s.LayersColumns[1] = 90;
    TForm14 *f = showLayers(0);
    QCOMPARE(f->pos(), QPoint(140, 120));
    QCOMPARE(f->SG1->columnWidth(1), 90);

    // Stored however the dialog closes: its close button, Escape, the window's own close.
    f->move(150, 130);
    f->SG1->setColumnWidth(2, 44);
    click(f->Button3);
    QCOMPARE(s.LayersDialog.left, 150);
    QCOMPARE(s.LayersDialog.top, 130);
    QCOMPARE(s.LayersColumns[2], 44);
    f->show();
    QCOMPARE(f->SG1->columnWidth(2), 44);
    f->move(160, 140);
    QTest::keyClick(f, Qt::Key_Escape);
    QVERIFY(!f->isVisible());
    QCOMPARE(s.LayersDialog.left, 160);
    coloursDialog()->DrawingNo = Drawing;
    coloursDialog()->show();
    coloursDialog()->move(170, 150);
    coloursDialog()->SG1->setColumnWidth(3, 60);
    coloursDialog()->close();
    QVERIFY(!coloursDialog()->isVisible());
    QCOMPARE(s.ColorsDialog.left, 170);
    QCOMPARE(s.ColorsColumns[3], 60);
    gridDialog()->show();
    gridDialog()->move(180, 160);
    gridDialog()->close();
    QCOMPARE(s.GridDialog.top, 160);
    // A kept place off every screen is brought back for every window alike; the first-use
    // test tries it.
}

void TestDrawSettings::editorPicture()
{
    Program program;
    QVERIFY(program.ready);
    QVERIFY(storeLine(Db(), Drawing, 1, 4, -100, 20, 100, 20));
    TForm13 *e = openEditor();
    QVERIFY(e);
    QCOMPARE(paperPixel(e, 0, 20), QRgb(0));
    const int length = drawnAlong(e, -90, 90, 20);
    QVERIFY(length > 1700);

    // Layer 4 hidden and shown again; the picture follows as the dialog closes.
    auto layerApply = [&](std::function<void()> edit) {
        whenShown(layersDialog(), [&] {
            clickRow(layersDialog()->SG1, 5);
            edit();
            click(layersDialog()->Button1);
        });
        QTest::mouseClick(e->SpeedButton1, Qt::LeftButton);
    };
    layerApply([] { layersDialog()->CheckBox1->setChecked(false); });
    QCOMPARE(paperPixel(e, 0, 20), QRgb(0xFFFFFF));
    layerApply([] { layersDialog()->CheckBox1->setChecked(true); });
    QCOMPARE(paperPixel(e, 0, 20), QRgb(0));

    // A colour value changed through the colours button, then one through the layers
    // dialog's chooser, which is a change of the layers dialog too.
    whenShown(coloursDialog(), [] {
        clickRow(coloursDialog()->SG1, 2);
        coloursDialog()->Edit3->setText("255");
        click(coloursDialog()->Button1);
    });
    e->mnuSetColor->trigger();
    QCOMPARE(paperPixel(e, 0, 20), QRgb(0xFF0000));
    layerApply([] {
        whenShown(coloursDialog(), [] {
            clickRow(coloursDialog()->SG1, 2);
            coloursDialog()->Edit3->setText(QString::number(0xFF0000)); // blue
            click(coloursDialog()->Button1);
        });
        QTest::mouseDClick(layersDialog()->Edit3, Qt::LeftButton);
        // Nothing written here: the chooser's change alone counts.
        layersDialog()->Edit1->clear();
    });
    QCOMPARE(paperPixel(e, 0, 20), QRgb(0x0000FF));

    // Line type 1 given 2 mm dashes with 8 mm gaps: well under half the line left.
    whenShown(typesDialog(), [] {
        clickRow(typesDialog()->SG1, 2);
        typesDialog()->ComboBox1->setCurrentIndex(1);
        typesDialog()->PitchEdit[0]->setText("200");
        typesDialog()->PitchEdit[1]->setText("800");
        click(typesDialog()->Button1);
    });
    QTest::mouseClick(e->SpeedButton3, Qt::LeftButton);
    const int dashed = drawnAlong(e, -90, 90, 20);
    QVERIFY2(dashed > length / 10 && dashed < length * 45 / 100,
             qPrintable(QStringLiteral("%1 of %2").arg(dashed).arg(length)));
    whenShown(typesDialog(), [] {
        clickRow(typesDialog()->SG1, 2);
        typesDialog()->ComboBox1->setCurrentIndex(0);
        click(typesDialog()->Button1);
    });
    e->mnuSetLtype->trigger();
    QCOMPARE(drawnAlong(e, -90, 90, 20), length);

    // Width 3 mm and scale 0.5: a thick line at half the height and length.
    const double pixelsPerMm = e->CurrentView().Params().scale;
    QVERIFY(thicknessAt(e, 20, 20) <= 2);
    layerApply([] {
        layersDialog()->Edit5->setText("300");
        layersDialog()->Edit6->setText("0.5");
    });
    QCOMPARE(paperPixel(e, 0, 20), QRgb(0xFFFFFF));
    QCOMPARE(paperPixel(e, 0, 10), QRgb(0x0000FF));
    QCOMPARE(paperPixel(e, 70, 10), QRgb(0xFFFFFF));
    const int thick = thicknessAt(e, 20, 10);
    QVERIFY2(std::abs(thick - 3 * pixelsPerMm) <= 1.5,
             qPrintable(QStringLiteral("%1 px at %2 px/mm").arg(thick).arg(pixelsPerMm)));

    // The values for the next figures; choosing them leaves the picture as it is.
    const QImage plain = e->Picture().copy();
    auto values = [e] {
        return QStringList{e->LabelA1->text(), e->LabelA2->text(), e->LabelA3->text(),
                           e->LabelA4->text(), e->LabelA5->text()}
            .join(u'|');
    };
    auto hints = [e] {
        return QStringList{e->SpeedButton1->toolTip(), e->SpeedButton2->toolTip(),
                           e->SpeedButton3->toolTip(), e->SpeedButton4->toolTip(),
                           e->SpeedButton5->toolTip()};
    };

    // Layer, colour and line type come back after select, however the dialog closes; each
    // dialog opens on the editor's value.
    e->CurLayer = 3;
    QString shown;
    whenShown(layersDialog(), [&] {
        shown = layersDialog()->LabelA1->text() + layersDialog()->Edit1->text();
        clickRow(layersDialog()->SG1, 6);
        click(layersDialog()->Button2);
        QTest::keyClick(layersDialog(), Qt::Key_Escape);
    });
    QTest::mouseClick(e->SpeedButton1, Qt::LeftButton);
    QCOMPARE(shown, QStringLiteral("現在のレイヤ：33"));
    whenShown(coloursDialog(), [&] {
        clickRow(coloursDialog()->SG1, 3);
        click(coloursDialog()->Button2);
        coloursDialog()->close();
    });
    QTest::mouseClick(e->SpeedButton2, Qt::LeftButton);
    whenShown(typesDialog(), [&] {
        clickRow(typesDialog()->SG1, 4);
        click(typesDialog()->Button2);
        click(typesDialog()->Button3);
    });
    e->mnuSetLtype->trigger();
    QCOMPARE((std::tuple{e->CurLayer, e->CurColor, e->CurLineType}), std::tuple(5, 2, 3));
    QCOMPARE(values(), QStringLiteral("5|2|3|0|0"));
    QCOMPARE(hints(), (QStringList{"レイヤ：現在のレイヤ＝5", "色：現在の色＝2",
                                   "線種：現在の線種＝3", "線幅：現在の線幅＝レイヤ依存線幅",
                                   "グリッド：0.0＝表示しない"}));
    // Nothing written: the picture stays.
    QCOMPARE(e->Picture(), plain);
    whenShown(coloursDialog(), [&] {
        shown = coloursDialog()->LabelA1->text();
        clickRow(coloursDialog()->SG1, 1);
        click(coloursDialog()->Button2);
    });
    e->mnuSetColor->trigger();
    QCOMPARE(shown, QStringLiteral("現在の色：2"));
    QCOMPARE(e->CurColor, 0);
    QCOMPARE(e->SpeedButton2->toolTip(), QStringLiteral("色：現在の色＝レイヤ依存色"));

    // Width and grid only after OK; cancel, Escape and the window's close keep them.
    auto setValue = [&](QAction *item, ValueDialog *dialog, const QString &text, int how) {
        whenShown(dialog, [&] {
            shown = dialog->ComboBox1->currentText();
            dialog->ComboBox1->setEditText(text);
            if (how == 0)
                click(dialog->Button1);
            else if (how == 1)
                click(dialog->Button2);
            else if (how == 2)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        });
        item->trigger();
    };
    setValue(e->mnuSetWidth, widthDialog(), "70", 0);
    QCOMPARE(shown, QStringLiteral("0"));
    setValue(e->mnuSetWidth, widthDialog(), "100", 1);
    QCOMPARE(shown, QStringLiteral("70"));
    setValue(e->mnuSetWidth, widthDialog(), "100", 2);
    QCOMPARE(e->CurWidth, 70);
    QCOMPARE(e->SpeedButton4->toolTip(), QStringLiteral("線幅：現在の線幅＝70"));
    setValue(e->mnuSetGrid, gridDialog(), "10", 0);
    QCOMPARE(e->CurGrid, 10.0);
    // The grid appears in the picture at once.
    QCOMPARE(paperPixel(e, 50, 50), QRgb(0xCCCCCC));
    setValue(e->mnuSetGrid, gridDialog(), "5", 3);
    QCOMPARE(shown, QStringLiteral("10"));
    QCOMPARE(e->CurGrid, 10.0);
    QCOMPARE(values(), QStringLiteral("5|0|3|70|10"));
    QCOMPARE(e->SpeedButton5->toolTip(), QStringLiteral("グリッド：10"));
    setValue(e->mnuSetGrid, gridDialog(), "0", 0);
    QCOMPARE(e->SpeedButton5->toolTip(), QStringLiteral("グリッド：表示しない"));
    QCOMPARE(e->Picture(), plain);
    e->close();
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();
    TestDrawSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_drawsettings.moc"

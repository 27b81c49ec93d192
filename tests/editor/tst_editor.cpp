#include "base/globals.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/ui.h"
#include "db/database.h"
#include "editor/model/drawingmodel.h"
#include "editor/editorwindow.h"
#include "register/drawingset.h"
#include "collab/chatwindow.h"
#include "collab/pointerwindow.h"
#include "db/schema.h"
#include "base/settings.h"
#include "support/testdb.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QToolButton>
#include <QMenuBar>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

class TestEditor : public QObject
{
    Q_OBJECT

private slots:
    void opensWithItsDrawing();
    void wheelAndKeys();
    void buttonGestures();
    void resizeRedrawsAtOnce();
    void windowStates();
    void statusBar();
    void closingTheMainWindowClosesEditors();
    void followsAnotherPc();
    void onItsContext();
};

namespace {

TForm13 *openEditor(int drawing, double w = 420, double h = 297)
{
    auto *e = new TForm13(Main()->Context(), drawing, w, h);
    Main()->OpenChild(e);
    return e;
}

bool pictureReady(TForm13 *e)
{
    return !e->Picture().isNull() && e->Picture().size() == e->PaintBox1->size();
}

QRgb rgb(const QImage &image, QPoint p)
{
    return image.pixel(p) & 0xFFFFFF;
}

QPoint pixelOf(const View &v, double x, double y)
{
    const ViewParams p = v.Params();
    return {RoundHalfAway((x - p.x1) * p.scale), p.height - RoundHalfAway((y - p.y1) * p.scale)};
}

void mouse(QWidget *w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
           QPoint at)
{
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void wheel(TForm13 *e, QPoint at, int delta)
{
    const QPoint inForm = e->PaintBox1->mapTo(e, at);
    QWheelEvent event(QPointF(inForm), e->mapToGlobal(QPointF(inForm)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(e, &event);
}

bool near(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

} // namespace

void TestEditor::opensWithItsDrawing()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(p.connected);
    Database &db = Db();
    QVERIFY(EnsureDrawingTables(db, 3));
    QVERIFY(storeLine(db, 3, 1, 0, -100, 20, 100, 20));
    QVERIFY(db.SqlUpdate("LAYER_3", 1, {"COL"}, {"2"}, "N=4"));
    QVERIFY(storeLine(db, 3, 2, 4, -100, -20, 100, -20));
    TForm13 *e = openEditor(3);
    QTRY_VERIFY(pictureReady(e));
    QCOMPARE(e->DrawingNo, 3);
    QVERIFY(e->Loaded());
    QCOMPARE(e->Model().Count(), size_t(2));

    // The whole paper in view at 90 % of the tighter direction, centred.
    const View &v = e->CurrentView();
    const int w = e->PaintBox1->width(), h = e->PaintBox1->height();
    QVERIFY(w > 0 && h > 0);
    QVERIFY(near(v.Rect().scale, std::min(w / 420.0, h / 297.0) * 0.9));
    QVERIFY(std::fabs(v.Centre().x) < 1e-9 && std::fabs(v.Centre().y) < 1e-9);
    const QImage &pic = e->Picture();
    QCOMPARE(rgb(pic, pixelOf(v, 0, 20)), QRgb(0));
    QCOMPARE(rgb(pic, pixelOf(v, 0, -20)), QRgb(0xFF0000));
    QCOMPARE(rgb(pic, pixelOf(v, 0, 0)), QRgb(0xFF0000)); // origin mark

    QCOMPARE(e->LabelA1->text(), QString("0"));
    QCOMPARE(e->LabelA5->text(), QString("0"));
    QCOMPARE(e->SpeedButton1->toolTip(), QString("レイヤ：現在のレイヤ＝0"));
    // Every tool button shows its caption whole.
    for (QToolButton *b : e->Panel1->findChildren<QToolButton *>()) {
        const QString shown = QString(b->text()).remove(u'&');
        QVERIFY2(b->fontMetrics().horizontalAdvance(shown) + 4 <= b->width(),
                 qPrintable(shown));
        QVERIFY(b->geometry().right() < e->Panel1->width());
    }

    // Panel 0 follows the pointer, rounded to hundredths or to the grid.
    mouse(e->PaintBox1, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(w / 2, h / 2));
    const PaperPoint c = v.ToPaper(w / 2, h / 2);
    QCOMPARE(e->StatusText(0), QStringLiteral("%1,%2").arg(RoundToStep(c.x, 0.01))
                                   .arg(RoundToStep(c.y, 0.01)));
    e->CurGrid = 10;
    mouse(e->PaintBox1, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, pixelOf(v, 23, -26));
    QCOMPARE(e->StatusText(0), QString("20,-30"));
    QVERIFY(messages.texts.isEmpty());
}

void TestEditor::wheelAndKeys()
{
    ProgramFixture p;
    QVERIFY(p.connected);
    QVERIFY(EnsureDrawingTables(Db(), 1));
    TForm13 *e = openEditor(1);
    QTRY_VERIFY(pictureReady(e));
    const View &v = e->CurrentView();
    const double s0 = v.Rect().scale;

    // A notch toward the user zooms in about the pointer; half notches add up.
    const QPoint at(30, 40);
    const PaperPoint under = v.ToPaper(at.x(), at.y());
    wheel(e, at, -120);
    QVERIFY(near(v.Rect().scale, s0 * 1.5));
    QVERIFY(near(v.ToPaper(at.x(), at.y()).x, under.x));
    QVERIFY(near(v.ToPaper(at.x(), at.y()).y, under.y));
    wheel(e, at, 60);
    QVERIFY(near(v.Rect().scale, s0 * 1.5));
    wheel(e, at, 60);
    QVERIFY(near(v.Rect().scale, s0));
    QVERIFY(near(v.ToPaper(at.x(), at.y()).x, under.x));
    // This PC set the other way round in the settings menu, for every editor.
    QVERIFY(!e->mnuSetWheel->isChecked());
    e->mnuSetWheel->trigger();
    QVERIFY(Config().WheelTowardUserZoomsOut);
    wheel(e, at, -120);
    QVERIFY(near(v.Rect().scale, s0 / 1.5));
    wheel(e, at, 120);
    QVERIFY(near(v.Rect().scale, s0));
    e->mnuSetWheel->trigger();
    QVERIFY(!Config().WheelTowardUserZoomsOut);

    // Page Up / Down about the paint box centre; Home fits; End and Insert centre the paper.
    const int w = e->PaintBox1->width(), h = e->PaintBox1->height();
    const PaperPoint mid = v.ToPaper(w / 2, h / 2);
    QTest::keyClick(e, Qt::Key_PageUp);
    QVERIFY(near(v.Rect().scale, s0 * 1.5));
    QVERIFY(near(v.ToPaper(w / 2, h / 2).x, mid.x));
    QTest::keyClick(e, Qt::Key_PageDown);
    QTest::keyClick(e, Qt::Key_PageDown);
    QVERIFY(near(v.Rect().scale, s0 / 1.5));
    QTest::keyClick(e, Qt::Key_Home);
    QVERIFY(near(v.Rect().scale, s0));
    wheel(e, QPoint(5, 5), -120);
    QVERIFY(std::fabs(v.Centre().x) > 1);
    QTest::keyClick(e, Qt::Key_End);
    QVERIFY(std::fabs(v.Centre().x) < 1e-9 && std::fabs(v.Centre().y) < 1e-9);
    QVERIFY(near(v.Rect().scale, s0 * 1.5));
    wheel(e, QPoint(5, 5), -120);
    QTest::keyClick(e, Qt::Key_Insert);
    QVERIFY(std::fabs(v.Centre().x) < 1e-9 && std::fabs(v.Centre().y) < 1e-9);

    // Arrows pan only with the pointer over the paint box.
    QCursor::setPos(e->PaintBox1->mapToGlobal(QPoint(w + 20, h / 2)));
    const ViewRect before = v.Rect();
    QTest::keyClick(e, Qt::Key_Left);
    QCOMPARE(v.Rect().x1, before.x1);
    QCursor::setPos(e->PaintBox1->mapToGlobal(QPoint(w / 2, h / 2)));
    if (e->PaintBox1->mapFromGlobal(QCursor::pos()) != QPoint(w / 2, h / 2))
        QSKIP("this platform does not move the pointer");
    // Half the view, a tenth with Shift, in whole pixels so that the picture moves.
    const double half = std::round(w / 2.0) / before.scale;
    QTest::keyClick(e, Qt::Key_Left);
    QVERIFY(near(v.Rect().x1, before.x1 - half));
    QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
    QVERIFY(near(v.Rect().x1, before.x1 - half + std::round(w / 10.0) / before.scale));
    QTest::keyClick(e, Qt::Key_Up);
    QVERIFY(near(v.Rect().y1, before.y1 + std::round(h / 2.0) / before.scale));
    QTest::keyClick(e, Qt::Key_Down);
    QVERIFY(near(v.Rect().y1, before.y1));
}

void TestEditor::buttonGestures()
{
    ProgramFixture p;
    QVERIFY(p.connected);
    QVERIFY(EnsureDrawingTables(Db(), 1));
    TForm13 *e = openEditor(1);
    QTRY_VERIFY(pictureReady(e));
    QWidget *box = e->PaintBox1;
    const View &v = e->CurrentView();
    const ViewRect fitted = v.Rect();
    auto chord = [&](QPoint from, QPoint to) {
        mouse(box, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, from);
        mouse(box, QEvent::MouseButtonPress, Qt::RightButton, Qt::LeftButton | Qt::RightButton,
              from);
        mouse(box, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton | Qt::RightButton, to);
        mouse(box, QEvent::MouseButtonRelease, Qt::RightButton, Qt::LeftButton, to);
        mouse(box, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, to);
    };

    // While held, the cyan frame is XORed on screen; the picture itself stays clean.
    mouse(box, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(10, 10));
    mouse(box, QEvent::MouseButtonPress, Qt::RightButton, Qt::LeftButton | Qt::RightButton,
          QPoint(10, 10));
    mouse(box, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton | Qt::RightButton, QPoint(60, 50));
    QCOMPARE(rgb(e->Screen(), QPoint(35, 10)), rgb(e->Picture(), QPoint(35, 10)) ^ 0x00FFFF);
    QCOMPARE(rgb(e->Screen(), QPoint(35, 30)), rgb(e->Picture(), QPoint(35, 30)));
    mouse(box, QEvent::MouseButtonRelease, Qt::RightButton, Qt::LeftButton, QPoint(60, 50));
    mouse(box, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(60, 50));
    // That was right and down: a zoom window on the dragged rectangle.
    const PaperPoint a = {fitted.x1 + 10 / fitted.scale, fitted.y2 - 10 / fitted.scale};
    const PaperPoint b = {fitted.x1 + 60 / fitted.scale, fitted.y2 - 50 / fitted.scale};
    QVERIFY(near(v.Rect().scale, std::min(box->width() / (b.x - a.x),
                                          box->height() / (a.y - b.y))));
    QVERIFY(near(v.Centre().x, (a.x + b.x) / 2));
    const ViewRect zoomed = v.Rect();

    // Left and down twice: back and forth between the last two views.
    chord(QPoint(60, 20), QPoint(20, 60));
    QCOMPARE(v.Rect().scale, fitted.scale);
    chord(QPoint(60, 20), QPoint(20, 60));
    QCOMPARE(v.Rect().scale, zoomed.scale);
    // Left and up: half the scale.
    chord(QPoint(60, 60), QPoint(20, 20));
    QVERIFY(near(v.Rect().scale, zoomed.scale / 2));
    // Right and up: the whole paper.
    chord(QPoint(20, 60), QPoint(60, 20));
    QVERIFY(near(v.Rect().scale, fitted.scale));
    // Five pixels or less along either axis: centred on the press point, scale kept.
    const PaperPoint press = v.ToPaper(30, 25);
    chord(QPoint(30, 25), QPoint(90, 30));
    QVERIFY(near(v.Centre().x, press.x) && near(v.Centre().y, press.y));
    QVERIFY(near(v.Rect().scale, fitted.scale));

    // Middle drag: the picture follows, and at the release the pressed point is under it.
    const PaperPoint grabbed = v.ToPaper(40, 40);
    mouse(box, QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, QPoint(40, 40));
    mouse(box, QEvent::MouseMove, Qt::NoButton, Qt::MiddleButton, QPoint(70, 55));
    QCOMPARE(e->Screen().pixel(70, 55), e->Picture().pixel(40, 40));
    mouse(box, QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton, QPoint(70, 55));
    QVERIFY(near(v.ToPaper(70, 55).x, grabbed.x) && near(v.ToPaper(70, 55).y, grabbed.y));
    QVERIFY(near(v.Rect().scale, fitted.scale));
}

void TestEditor::resizeRedrawsAtOnce()
{
    ProgramFixture p;
    QVERIFY(p.connected);
    QVERIFY(EnsureDrawingTables(Db(), 1));
    TForm13 *e = openEditor(1, 0, 0);
    QTRY_VERIFY(pictureReady(e));
    const View &v = e->CurrentView();
    // A paper without a size shows a 420 x 297 area.
    const int w = e->PaintBox1->width(), h = e->PaintBox1->height();
    QVERIFY(near(v.Rect().scale, std::min(w / 420.0, h / 297.0) * 0.9));
    const double scale = v.Rect().scale;
    const PaperPoint centre = v.Centre();
    QWidget *frame = e->parentWidget();
    frame->resize(frame->width() + 120, frame->height() + 60);
    QTRY_COMPARE(e->PaintBox1->width(), w + 120);
    // The picture on screen is the one for the new size, with the same centre and scale,
    // so that a click lands where it shows.
    QCOMPARE(e->Picture().size(), e->PaintBox1->size());
    QCOMPARE(v.Width(), w + 120);
    QCOMPARE(v.Rect().scale, scale);
    QVERIFY(near(v.Centre().x, centre.x) && near(v.Centre().y, centre.y));
    QCOMPARE(rgb(e->Picture(), pixelOf(v, 0, 0)), QRgb(0xFF0000));
}

namespace {

bool fitsWhole(TForm13 *e)
{
    const int w = e->PaintBox1->width(), h = e->PaintBox1->height();
    return w > 0 && h > 0 && e->CurrentView().Width() == w
           && near(e->CurrentView().Rect().scale, std::min(w / 420.0, h / 297.0) * 0.9);
}

} // namespace

void TestEditor::windowStates()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(p.connected);
    QVERIFY(EnsureDrawingTables(Db(), 1));
    Config().PcUserNo = 7;
    QMdiArea *area = Main()->mdiArea();
    QTRY_VERIFY(area->viewport()->width() > 400);

    // No size kept on this PC: the first editor fills the window area, the sheet fitted.
    TForm13 *e = openEditor(1);
    QTRY_VERIFY(pictureReady(e));
    auto *frame = qobject_cast<QMdiSubWindow *>(e->parentWidget());
    QVERIFY(frame);
    QCOMPARE(frame->geometry(), QRect(QPoint(0, 0), area->viewport()->size()));
    QVERIFY(fitsWhole(e));
    QVERIFY(Main()->mnuChat->menuAction()->isVisible());

    // Maximised and restored, a sheet seen whole is fitted again; the main window's copies
    // of the editor's menus step aside while it is maximised.
    frame->resize(500, 380);
    QTRY_COMPARE(e->PaintBox1->height() < 380, true);
    QTest::keyClick(e, Qt::Key_Home);
    QVERIFY(fitsWhole(e));
    const QSize small = e->PaintBox1->size();
    frame->showMaximized();
    QTRY_VERIFY(e->PaintBox1->size() != small);
    QVERIFY(fitsWhole(e));
    QVERIFY(!Main()->mnuChat->menuAction()->isVisible());
    QVERIFY(!Main()->mnuCad->menuAction()->isVisible());
    frame->showNormal();
    QTRY_COMPARE(e->PaintBox1->size(), small);
    QVERIFY(fitsWhole(e));
    QVERIFY(Main()->mnuChat->menuAction()->isVisible());

    // Zoomed in, maximising keeps the scale.
    QTest::keyClick(e, Qt::Key_PageUp);
    const double zoomed = e->CurrentView().Rect().scale;
    frame->showMaximized();
    QTRY_VERIFY(e->PaintBox1->size() != small);
    QCOMPARE(e->CurrentView().Rect().scale, zoomed);

    // The chat and the pointer window open beside it at their own sizes; the editor stays
    // maximised with its view.
    QVERIFY(CreateSharedTable(Db(), "MEMBER"));
    Main()->mnuChatStart->trigger();
    QCOMPARE(ChildWindows<TForm6>().size(), 1);
    QWidget *chat = WindowFrame(ChildWindows<TForm6>().first());
    QVERIFY(!chat->isMaximized());
    QCOMPARE(chat->size(), QSize(Config().ChatWindow.width, Config().ChatWindow.height));
    Main()->mnuMousePointer->trigger();
    QCOMPARE(ChildWindows<TForm8>().size(), 1);
    QWidget *pointers = WindowFrame(ChildWindows<TForm8>().first());
    QVERIFY(!pointers->isMaximized());
    QVERIFY(pointers->width() < area->viewport()->width());
    QVERIFY(frame->isMaximized());
    QCOMPARE(e->CurrentView().Rect().scale, zoomed);
    QVERIFY(!Main()->mnuChat->menuAction()->isVisible());

    // Closed maximised, a later editor opens at the kept size.
    e->close();
    QTRY_VERIFY(ChildWindows<TForm13>().isEmpty());
    QVERIFY(EditorSizeKept(Config()));
    QTRY_VERIFY(Main()->mnuChat->menuAction()->isVisible());
    Config().EditorWidth = 640;
    Config().EditorHeight = 410;
    TForm13 *again = openEditor(1);
    QTRY_VERIFY(pictureReady(again));
    QCOMPARE(WindowFrame(again)->size(), QSize(640, 410));
    QVERIFY(fitsWhole(again));
}

void TestEditor::statusBar()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(p.connected);
    QVERIFY(EnsureDrawingTables(Db(), 1));
    QVERIFY(Db().SqlUpdate("LAYER_1", 1, {"LNAME"}, {"'外形線'"}, "N=0"));
    TForm13 *e = openEditor(1);
    QTRY_VERIFY(pictureReady(e));
    const View &v = e->CurrentView();

    // The pointer to hundredths of a millimetre, whole in its panel.
    const QPoint at = pixelOf(v, -40.61538, 78.694);
    mouse(e->PaintBox1, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, at);
    const PaperPoint under = v.ToPaper(at.x(), at.y());
    const QString shown = e->StatusText(0);
    QCOMPARE(shown, QStringLiteral("%1,%2").arg(RoundToStep(under.x, 0.01))
                        .arg(RoundToStep(under.y, 0.01)));
    QVERIFY2(QRegularExpression("^-?[0-9]+(\\.[0-9]{1,2})?,-?[0-9]+(\\.[0-9]{1,2})?$")
                 .match(shown)
                 .hasMatch(),
             qPrintable(shown));
    QLabel *panel0 = nullptr;
    for (QLabel *l : e->StatusBar1->findChildren<QLabel *>()) {
        if (l->text() == shown)
            panel0 = l;
    }
    QVERIFY(panel0);
    QVERIFY(panel0->fontMetrics().horizontalAdvance(QStringLiteral("-1189.99,-841.99"))
            <= panel0->width());

    // While a command waits, how to give a point; Escape takes it away.
    QCOMPARE(e->PointHint(), QString());
    QTest::mouseClick(e->SpeedButton8, Qt::LeftButton);
    QVERIFY(e->Command().Waiting());
    QCOMPARE(e->PointHint(), QStringLiteral("左クリック：グリッド点　右クリック：スナップ"));
    QTest::keyClick(e, Qt::Key_Escape);
    QCOMPARE(e->PointHint(), QString());

    // The current layer by number and name, the name whole or cut with its tip.
    QCOMPARE(e->LabelA1->text(), QString("0"));
    QCOMPARE(e->LayerName->toolTip(), QStringLiteral("外形線"));
    QVERIFY(e->LayerName->geometry().left() > e->LabelA1->geometry().left());
    QVERIFY(e->LayerName->geometry().right() < e->Panel1->width());

    // A passing note goes by itself; a lasting one stays.
    e->NoticeMs = 50;
    e->Undo();
    QCOMPARE(e->Notice(), QStringLiteral("元に戻す操作はありません"));
    QTRY_COMPARE(e->Notice(), QString());
}

void TestEditor::closingTheMainWindowClosesEditors()
{
    ProgramFixture p;
    QVERIFY(p.connected);
    QVERIFY(EnsureDrawingTables(Db(), 1));
    openEditor(1);
    openEditor(1);
    QCOMPARE(Main()->mdiArea()->subWindowList().size(), 2);
    Main()->close();
    QCOMPARE(Main()->mdiArea()->subWindowList().size(), 0);
    QVERIFY(!Db().DatabaseConnected());
}

void TestEditor::followsAnotherPc()
{
    ProgramFixture p(true);
    QVERIFY(p.connected);
    QVERIFY(EnsureDrawingTables(Db(), 5));
    Database other;
    other.ConnectDatabase(p.db.serverPath());
    QVERIFY(other.DatabaseConnected());
    TForm13 *e = openEditor(5);
    QTRY_VERIFY(pictureReady(e));
    QVERIFY(e->Polling());
    const View &v = e->CurrentView();

    // A line stored on the other PC appears without a view change.
    QVERIFY(storeLine(other, 5, 1, 0, -50, 30, 50, 30));
    QTRY_COMPARE_WITH_TIMEOUT(rgb(e->Picture(), pixelOf(v, 0, 30)), QRgb(0), 3000);
    QCOMPARE(e->Model().Count(), size_t(1));
    // So does a layer's new colour.
    QVERIFY(other.SqlUpdate("LAYER_5", 1, {"COL"}, {"4"}, "N=0"));
    QTRY_COMPARE_WITH_TIMEOUT(rgb(e->Picture(), pixelOf(v, 0, 30)), QRgb(0x0000FF), 3000);

    // Deleting the drawing's data there completes while the editor is open; the editor
    // says so once, keeps its picture and stops asking.
    QElapsedTimer clock;
    clock.start();
    DropDrawingTables(other, 5);
    QVERIFY(clock.elapsed() < 5000);
    for (const QString &t : DrawingTables(5))
        QVERIFY2(!other.TableExists(t), qPrintable(t));
    QTRY_VERIFY_WITH_TIMEOUT(!e->Notice().isEmpty(), 3000);
    QVERIFY(e->Notice().contains(QStringLiteral("削除")));
    QVERIFY(!e->Polling());
    QCOMPARE(rgb(e->Picture(), pixelOf(v, 0, 30)), QRgb(0x0000FF));
    // A view change afterwards keeps the lines it has.
    QTest::keyClick(e, Qt::Key_PageUp);
    QCOMPARE(e->Model().Count(), size_t(1));

    // The tables made anew for the drawing hold other lines under the same numbers: the
    // stale editor erases none of them.
    MessageRecorder messages;
    QVERIFY(EnsureDrawingTables(other, 5));
    QVERIFY(storeLine(other, 5, 1, 0, 100, -80, 120, -80));
    const QPoint at = pixelOf(e->CurrentView(), 0, 30);
    mouse(e->PaintBox1, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at);
    mouse(e->PaintBox1, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at);
    QTest::keyClick(e, Qt::Key_Delete);
    QCOMPARE(messages.texts, QStringList{QStringLiteral("削除失敗")});
    QCOMPARE(QueryValue(other, "DS", "ENTITY_5", "N=1"), QString("1"));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();
    TestEditor test;
    return QTest::qExec(&test, argc, argv);
}

// The editor needs no main window: its connection, settings, messages and the settings
// dialogs it brings up all come through its context.
void TestEditor::onItsContext()
{
    MessageRecorder boxes;
    TestContext t;
    QVERIFY(t.connected);
    QVERIFY(EnsureDrawingTables(t.db, 1));
    Globals() = ProgramValues();
    t.settings.PcUserNo = 7;
    auto *e = new TForm13(t.context, 1, 420, 297);
    // Told through the context before the drawing is read.
    QVERIFY(!e->ImportDxf(QStringLiteral("nothing.dxf")));
    QCOMPARE(t.messages.texts,
             QStringList({"図面を読み込み中です。読み込みが終わってから実行して下さい"}));
    e->show();
    QVERIFY(QTest::qWaitFor([e] { return e->Loaded() && pictureReady(e); }, 10000));

    // The settings buttons ask the context's opener and keep the values when it declines.
    e->CurLayer = 3;
    e->CurWidth = 35;
    e->CurGrid = 2.5;
    for (QToolButton *b : {e->SpeedButton1, e->SpeedButton2, e->SpeedButton4, e->SpeedButton5})
        b->click();
    QCOMPARE(t.opener.asked, QStringList({"layers 1 3", "colours 1 0", "width 35", "grid 2.5"}));
    QCOMPARE(e->CurLayer, 3);
    QCOMPARE(e->CurWidth, 35);
    QCOMPARE(e->CurGrid, 2.5);

    // Its menu switches write the context's settings, not the program's.
    auto *dates = e->findChild<QAction *>(QStringLiteral("mnuSetDates"));
    QVERIFY(dates);
    dates->trigger();
    QVERIFY(t.settings.AutoRegisterDates);
    QVERIFY(!Config().AutoRegisterDates);
    dates->trigger();
    QVERIFY(!t.settings.AutoRegisterDates);
    QVERIFY(boxes.texts.isEmpty());
    delete e;
}

#include "tst_editor.moc"

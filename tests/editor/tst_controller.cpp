// The editor's controller without a window: gestures in pixels, the figures painted over
// the picture, and what is stored.
#include "db/database.h"
#include "editor/control/editorcontroller.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "editor/view/snap.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QtTest>

#include <memory>

namespace {

struct Host : EditorHost
{
    QStringList notes, told;
    QString shown;
    bool answer = true;
    TextShape text;
    unsigned snaps = SnapEnd;
    int commands = 0;

    void Note(const QString &t, bool) override
    {
        shown = t;
        if (!t.isEmpty())
            notes << t;
    }
    QString NoteShown() const override { return shown; }
    void Tell(const QString &t) override { told << t; }
    bool AskText(TextShape &t, bool) override
    {
        if (answer)
            t = text;
        return answer;
    }
    void CommandChanged() override { ++commands; }
    void ScreenChanged() override {}
    void Reread() override {}
    int Member() const override { return 7; }
    bool AutoDates() const override { return false; }
    unsigned SnapKinds() const override { return snaps; }
};

constexpr int W = 400, H = 300;

// Drawing 1 of a fresh database, loaded and shown whole in a 400 x 300 picture.
struct Fixture
{
    TestDb place;
    Database db;
    Host host;
    std::unique_ptr<EditorController> c;

    bool prepare()
    {
        if (!place.open(db) || !EnsureDrawingTables(db, 1))
            return false;
        c = std::make_unique<EditorController>(db, 1, 420, 297, host);
        if (!BeginLoad(db, c->Model()) || ContinueLoad(db, c->Model(), 1000) < 0)
            return false;
        c->loaded = true;
        c->CurrentView().Fit(420, 297, W, H);
        c->Redraw(W, H);
        return !c->Picture().isNull();
    }

    QPoint at(double x, double y) const
    {
        const ViewParams v = c->CurrentView().Params();
        return {int(std::lround((x - v.x1) * v.scale)),
                v.height - int(std::lround((y - v.y1) * v.scale))};
    }
    QPoint point(double x, double y)
    {
        const QPoint p = at(x, y);
        c->PointerAt(p.x(), p.y());
        return p;
    }
    void click(double x, double y)
    {
        const QPoint p = point(x, y);
        c->ClickAt(p.x(), p.y());
    }
    QString count(const char *table, const QString &where = QString())
    {
        return QueryValue(db, "COUNT(*)", table, where);
    }
};

} // namespace

class TestController : public QObject
{
    Q_OBJECT

private slots:
    void drawing();
    void figuresOverPicture();
    void selectEraseUndo();
    void typedAndRefused();
};

void TestController::drawing()
{
    Fixture f;
    QVERIFY(f.prepare());
    EditorController &c = *f.c;
    c.current.grid = 5;
    // The band over the picture and the line drawn at once are the editor window's tests;
    // here what is stored and kept.
    c.StartCommand(TwoPointLine);
    f.click(10, 10);
    f.point(100, 10);
    QCOMPARE(c.pickX, 100.0);
    f.click(100, 10);
    QCOMPARE(f.count("ENT_LINE_1"), QString("1"));
    QCOMPARE(c.Model().Count(), size_t(1));
    QCOMPARE(c.History().UndoCount(), size_t(1));
    QVERIFY(!c.RubberShown());

    // A line of no length stores nothing and says why.
    f.click(30, 30);
    f.click(30, 30);
    QCOMPARE(f.count("ENT_LINE_1"), QString("1"));
    QVERIFY(!f.host.notes.isEmpty());

    // A text asks for its values; cancelled, no command runs.
    f.host.answer = false;
    c.StartCommand(TextCommand);
    QVERIFY(!c.Command().Waiting());
    f.host.answer = true;
    f.host.text.text = QStringLiteral("部品表");
    f.host.text.height = 5;
    c.StartCommand(TextCommand);
    f.click(50, 50);
    QCOMPARE(QueryValue(f.db, "MH", "ENT_TEXT_1"), QString("5"));
    QCOMPARE(f.count("ENTITY_1", "DT = 4"), QString("1"));

    // Tables another PC deleted take nothing, with the message.
    c.gone = true;
    c.StartCommand(TwoPointLine);
    f.click(0, 0);
    f.click(20, 0);
    QCOMPARE(f.host.told,
             QStringList{QStringLiteral("この図面のデータは削除されているため登録出来ません")});
    QCOMPARE(f.count("ENT_LINE_1"), QString("1"));
}

void TestController::figuresOverPicture()
{
    Fixture f;
    QVERIFY(f.prepare());
    EditorController &c = *f.c;
    c.current.grid = 1;
    c.StartCommand(TwoPointLine);
    f.click(0, 0);
    f.click(100, 0);
    c.StartCommand(TwoPointLine);
    // Taken by a right click off the grid. (The end marker and the middle drag are tried
    // through the editor window.)
    const QPoint near = f.at(101, 1);
    c.PointerAt(near.x(), near.y());
    c.SnapClickAt(near.x(), near.y());
    double x = 0, y = 0;
    QVERIFY(c.Command().Last(x, y));
    QCOMPARE(QPointF(x, y), QPointF(100, 0));
    c.CancelCommand();
    QVERIFY(!c.RubberShown());

    // Frames drawn however often they move leave nothing behind.
    const QPoint a = f.at(-10, 10), b = f.at(110, -10);
    c.PressAt(a.x(), a.y());
    for (int i = 0; i < 5; ++i)
        c.FrameTo(b.x() - 7 * i, b.y() + 3 * i);
    QVERIFY(c.FrameShown());
    QVERIFY(c.Screen() != c.Picture());
    c.HideFrame();
    QCOMPARE(c.Screen(), c.Picture());
    c.ZoomFrameTo(b.x(), b.y());
    QVERIFY(c.Screen() != c.Picture());
    c.HideZoomFrame();
    QCOMPARE(c.Screen(), c.Picture());
}

void TestController::selectEraseUndo()
{
    Fixture f;
    QVERIFY(f.prepare());
    EditorController &c = *f.c;
    c.StartCommand(TwoPointLine);
    f.click(0, 0);
    f.click(100, 0);
    c.StartCommand(CircleCommand);
    f.click(0, 100);
    f.click(20, 100);
    c.CancelCommand();
    QCOMPARE(c.Model().Count(), size_t(2));

    // A frame dragged to the right takes what lies wholly inside.
    const QPoint a = f.at(-30, 130), b = f.at(30, 70);
    c.PressAt(a.x(), a.y());
    c.FrameTo(b.x(), b.y());
    c.SelectAt(b.x(), b.y(), false);
    QCOMPARE(c.Selected().Size(), size_t(1));
    QCOMPARE(f.host.shown, QStringLiteral("1 本選択"));
    QVERIFY(!c.FrameShown());
    // The selection is in the picture itself.
    QVERIFY(c.Picture().pixel(f.at(20, 100)) != qRgb(0, 0, 0));

    // Shift adds the line picked.
    const QPoint on = f.at(50, 0);
    c.PressAt(on.x(), on.y());
    c.SelectAt(on.x(), on.y(), true);
    QCOMPARE(c.Selected().Size(), size_t(2));
    c.EraseSelected();
    QCOMPARE(f.host.shown, QStringLiteral("2 個の図形を削除しました"));
    QCOMPARE(f.count("ENTITY_1", "DS = 0"), QString("2"));
    QVERIFY(c.Selected().Empty());
    QCOMPARE(c.Picture().pixel(f.at(50, 0)), qRgb(255, 255, 255));

    c.Undo();
    QCOMPARE(f.host.shown, QStringLiteral("元に戻しました：2 個の図形の削除"));
    QCOMPARE(f.count("ENTITY_1", "DS = 1"), QString("2"));
    QVERIFY(c.Picture().pixel(f.at(50, 0)) != qRgb(255, 255, 255));
    c.Redo();
    QCOMPARE(f.count("ENTITY_1", "DS = 0"), QString("2"));
    QVERIFY(f.host.told.isEmpty());
}

void TestController::typedAndRefused()
{
    Fixture f;
    QVERIFY(f.prepare());
    EditorController &c = *f.c;
    using Entry = EditorController::Entry;
    QCOMPARE(c.EnterText(QStringLiteral("10,10")), Entry::Ignored); // no command
    c.StartCommand(TwoPointLine);
    QCOMPARE(c.EnterText(QStringLiteral("10,10")), Entry::Taken);
    QCOMPARE(c.EnterText(QStringLiteral("abc")), Entry::Refused);
    QVERIFY(!f.host.shown.isEmpty());
    QCOMPARE(f.count("ENT_LINE_1"), QString("0"));
    // The mended entry clears the note of the refused one.
    QCOMPARE(c.EnterText(QStringLiteral("@30<90")), Entry::Taken);
    QVERIFY(f.host.shown.isEmpty());
    QCOMPARE(f.db.SelectRows("X1, Y1, X2, Y2", "ENT_LINE_1", QString(), "N").value(0),
             (QStringList{"10", "10", "10", "40"}));

    // Ortho holds a pointed point level with the last one; Escape ends the command.
    c.SetOrtho(true);
    f.click(0, 0);
    f.point(50, 3);
    QCOMPARE(c.pickY, 0.0);
    QCOMPARE(c.Relative().isEmpty(), false);
    c.Escape();
    QVERIFY(!c.Command().Waiting());
}

QTEST_MAIN(TestController)
#include "tst_controller.moc"

#include "figures.h"

#include "editor/model/transform.h"

#include <QToolButton>

using Geometry::Transform;

class TestModify : public QObject
{
    Q_OBJECT

private slots:
    void transforms();
    void commandSteps();
    void reshapeSteps();
    void moveUndoRedo();
    void typedValuesInEditor();
    void reshapeInEditor();
    void otherPcMeanwhile();
};

namespace {

Subject lineSubject(int32_t entity, double x1, double y1, double x2, double y2)
{
    return subjectOf(entity, LineShape{x1, y1, x2, y2});
}

// A tool button pressed; false when the editor has none of that name.
bool press(TForm13 *e, const char *name)
{
    QToolButton *b = e->findChild<QToolButton *>(QString::fromLatin1(name));
    if (b)
        b->click();
    return b;
}

} // namespace

void TestModify::transforms()
{
    Shape line = LineShape{10, 0, 20, 0};
    QVERIFY(Geometry::Apply(Transform::Rotate(10, 0, 90), line));
    QVERIFY(isLine(line, 10, 0, 10, 10));

    // A mirrored arc is still counter-clockwise: its ends swap.
    Shape arc = ArcShape{5, 5, 2, 0, 90};
    QVERIFY(Geometry::Apply(Transform::Mirror(0, 0, 0, 1), arc));
    QVERIFY(isArc(arc, -5, 5, 2, 90, 180));

    // Mirrored, a text keeps reading forward: its box is mirrored by its anchor and angle.
    const TextShape t{10, 20, 3.5, 0, 0, 0, 0, 1, 0, QString(), QStringLiteral("穴")};
    Shape text = t;
    QVERIFY(Geometry::Apply(Transform::Mirror(0, 0, 0, 1), text));
    QVERIFY(isText(text, t.text, -10, 20, 0, 3));

    // Scaled, a text's sizes and a circle's radius go with it.
    Shape big = t;
    QVERIFY(Geometry::Apply(Transform::Scale(0, 0, 2), big));
    QVERIFY(near(std::get<TextShape>(big).height, 7) && near(std::get<TextShape>(big).px, 20));
    Shape circle = CircleShape{1, 1, 3};
    QVERIFY(Geometry::Apply(Transform::Scale(1, 0, 0.5), circle));
    QVERIFY(near(std::get<CircleShape>(circle).cy, 0.5));
    QVERIFY(near(std::get<CircleShape>(circle).r, 1.5));

    // No transform for a mirror line of no length or a factor not positive and finite; the
    // figure is left as it was.
    for (const Transform &bad : {Transform::Mirror(1, 1, 1, 1), Transform::Scale(0, 0, 0),
                                 Transform::Scale(0, 0, -2), Transform::Scale(0, 0, NAN),
                                 Transform::Move(INFINITY, 0)}) {
        Shape s = LineShape{1, 2, 3, 4};
        QVERIFY(!Geometry::Apply(bad, s));
        QVERIFY(isLine(s, 1, 2, 3, 4));
    }
    // A result beyond a double is refused rather than stored.
    Shape far = LineShape{1e308, 0, 0, 0};
    QVERIFY(!Geometry::Apply(Transform::Scale(0, 0, 10), far));
}

void TestModify::commandSteps()
{
    DrawCommand c;
    const auto startOn = [&](CommandId kind, std::vector<Subject> subjects) {
        c.Start(kind);
        c.SetSubjects(std::move(subjects));
    };
    c.Start(MoveCommand);
    QVERIFY(c.Selecting());
    QCOMPARE(c.Prompt(), QStringLiteral("対象の図形を選択して Enter を押して下さい"));
    QVERIFY(c.Give(1, 1).empty());
    QCOMPARE(c.Given(), 0);
    c.SetSubjects({lineSubject(4, 0, 0, 10, 0), lineSubject(9, 0, 0, 0, 5)});
    QCOMPARE(c.Prompt(), QStringLiteral("基点を指示して下さい"));
    c.Give(0, 0);
    // The band is the moved figures with the line from the base.
    const std::vector<Shape> band = c.Rubber(5, 5);
    QVERIFY(band.size() == 3 && isLine(band[1], 5, 5, 15, 5));
    // Escape takes back the base point only.
    QVERIFY(c.StepBack());
    QCOMPARE(c.Given(), 0);
    QVERIFY(!c.StepBack());
    c.Give(0, 0);
    c.Give(0, 0);
    QCOMPARE(c.Note(), QStringLiteral("移動量が０のため変更しません"));
    QVERIFY(c.TakeChange().Empty());
    QVERIFY(!c.Ended());
    c.Give(0, 0);
    c.Give(2, 3);
    Change moved = c.TakeChange();
    QCOMPARE(moved.erased, (std::vector<int32_t>{4, 9}));
    QCOMPARE(moved.created.size(), size_t(2));
    QVERIFY(isLine(moved.created[0].shape, 2, 3, 12, 3));
    // The look stays; the numbers are the store's to give.
    const EntityRecord &first = moved.created[0];
    QVERIFY(first.look.layer == 3 && first.look.colour == 2 && first.entity.n == 0);
    QVERIFY(c.Ended());

    // A copy keeps the originals and its base point, destination after destination.
    startOn(CopyCommand, {lineSubject(4, 0, 0, 10, 0)});
    c.Give(0, 0);
    c.Give(0, 10);
    c.Give(0, 20);
    const Change second = c.TakeChange();
    QVERIFY(second.erased.empty() && isLine(second.created[0].shape, 0, 20, 10, 20));
    QVERIFY(!c.Ended());

    // A typed angle turns at once; a typed factor that is no factor is refused.
    startOn(RotateCommand, {lineSubject(4, 0, 0, 10, 0)});
    c.Give(0, 0);
    const double angle = 90;
    QVERIFY(c.GiveValue(&angle, 1));
    QVERIFY(isLine(c.TakeChange().created[0].shape, 0, 0, 0, 10));
    startOn(ScaleCommand, {lineSubject(4, 0, 0, 10, 0)});
    c.Give(0, 0);
    for (double bad : {0.0, -2.0}) {
        QVERIFY(c.GiveValue(&bad, 1));
        QCOMPARE(c.Note(), QStringLiteral("倍率は０より大きい数値で入力して下さい"));
        QVERIFY(c.TakeChange().Empty());
        QCOMPARE(c.Given(), 1);
    }
    const double nan = NAN;
    QVERIFY(!c.GiveValue(&nan, 1));
    // Or by a reference length and a new one: 5 becomes 15, three times.
    c.Give(5, 0);
    QVERIFY(isLine(c.Rubber(15, 0)[1], 0, 0, 30, 0));
    c.Give(0, 15);
    QVERIFY(isLine(c.TakeChange().created[0].shape, 0, 0, 30, 0));

    // 反転 keeps or erases the originals as chosen; an axis of no length is refused.
    for (bool keep : {true, false}) {
        c.Options().mirrorKeeps = keep;
        startOn(MirrorCommand, {lineSubject(4, 1, 0, 2, 0)});
        c.Give(0, -1);
        c.Give(0, 1);
        const Change m = c.TakeChange();
        QCOMPARE(m.erased.empty(), keep);
        QVERIFY(isLine(m.created[0].shape, -1, 0, -2, 0));
    }
    startOn(MirrorCommand, {lineSubject(4, 1, 0, 2, 0)});
    c.Give(3, 3);
    c.Give(3, 3);
    QCOMPARE(c.Note(), QStringLiteral("反転軸の長さが０のため反転しません"));
}

void TestModify::reshapeSteps()
{
    DrawCommand c;
    const Subject a = lineSubject(1, 0, 0, 10, 0), b = lineSubject(2, 0, 0, 0, 10);
    const Subject arc = subjectOf(3, ArcShape{0, 0, 4, 0, 90}), text = subjectOf(4, TextShape{});

    // 複線: the pointer gives the distance until one is typed; inward past an arc's centre
    // nothing is made.
    c.Start(OffsetCommand);
    QVERIFY(c.Picks());
    QVERIFY(c.Give(5, 5).empty());
    c.GivePick(text, 0, 0);
    QCOMPARE(c.Note(), QStringLiteral("線、円、円弧を指示して下さい"));
    QCOMPARE(c.Given(), 0);
    c.GivePick(a, 5, 0);
    QVERIFY(isLine(c.Rubber(3, 2)[0], 0, 2, 10, 2));
    const double five = 5;
    QVERIFY(c.GiveValue(&five, 1));
    QCOMPARE(c.Prompt(), QStringLiteral("複線を作る側を指示して下さい（間隔 5 mm）"));
    c.Give(3, -1);
    QVERIFY(isLine(c.TakeChange().created[0].shape, 0, -5, 10, -5));
    c.GivePick(arc, 4, 0);
    c.Give(1, 1);
    QCOMPARE(c.Note(), QStringLiteral("中心を越えるため作図しません"));
    QVERIFY(c.TakeChange().Empty());
    // Escape steps back to the pick, then the command is at its start.
    QVERIFY(!c.StepBack());

    // 面取り takes lines only and two different ones.
    c.Start(ChamferCommand);
    c.GivePick(arc, 4, 0);
    QCOMPARE(c.Note(), QStringLiteral("面取りは線にだけ出来ます"));
    c.GivePick(a, 8, 0);
    c.GivePick(a, 8, 0);
    QCOMPARE(c.Note(), QStringLiteral("同じ図形が２度指示されました"));
    const double two[2] = {2, 3};
    QVERIFY(c.GiveValue(two, 2));
    QCOMPARE(c.Prompt(), QStringLiteral("２本目の線を指示して下さい（距離 2, 3 mm）"));
    c.GivePick(b, 0, 8);
    const Change cut = c.TakeChange();
    QCOMPARE(cut.erased, (std::vector<int32_t>{1, 2}));
    QCOMPARE(cut.created.size(), size_t(3));
    QVERIFY(isLine(cut.created[2].shape, 2, 0, 0, 3) || isLine(cut.created[2].shape, 0, 3, 2, 0));

    // 角丸め: a radius too big for the corner says so and stores nothing.
    c.Start(FilletCommand);
    const double big = 50, bad = -1;
    QVERIFY(c.GiveValue(&big, 1));
    c.GivePick(a, 8, 0);
    c.GivePick(b, 0, 8);
    QCOMPARE(c.Note(), QStringLiteral("大きすぎるため角に収まりません"));
    QVERIFY(c.TakeChange().Empty());
    QVERIFY(c.GiveValue(&bad, 1));
    QCOMPARE(c.Note(), QStringLiteral("半径は０以上の数値で入力して下さい"));

    // 切断: a circle cannot be broken at one point.
    c.Start(BreakCommand);
    c.GivePick(subjectOf(1, CircleShape{0, 0, 5}), 5, 0);
    c.Give(5, 0);
    QCOMPARE(c.Note(), QStringLiteral("円は１点では切断出来ません（２点を指示して下さい）"));
    c.GivePick(a, 5, 0);
    c.Give(5, 0);
    const Change broken = c.TakeChange();
    QVERIFY(broken.created.size() == 2 && isLine(broken.created[0].shape, 0, 0, 5, 0));
}

void TestModify::moveUndoRedo()
{
    Editor ed;
    QVERIFY(openWith(ed, {lineOp(10, 10, 30, 10)}));
    TForm13 *e = ed.window;

    // Started with nothing selected, the command asks for a selection first.
    QVERIFY(press(e, "btnEditMove"));
    QCOMPARE(e->StatusText(1), QStringLiteral("移動"));
    QCOMPARE(e->StatusText(2), QStringLiteral("対象の図形を選択して Enter を押して下さい"));
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(e->Notice(), QStringLiteral("図形が選択されていません"));
    clickAt(e, 20, 10);
    QCOMPARE(e->Selected().Size(), size_t(1));
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(e->StatusText(2), QStringLiteral("基点を指示して下さい"));
    clickAt(e, 10, 10);
    moveTo(e, 10, 50);
    QVERIFY(e->RubberShown());
    clickAt(e, 10, 50);

    // One operation: the old line erased, the moved one new, under one OPN.
    QCOMPARE(lineRows(ed.db), QStringLiteral("10 10 30 10|10 50 30 50"));
    QCOMPARE(states(ed.db), QStringLiteral("1 0|2 1"));
    QCOMPARE(rows(ed.db, "OPN, MD, EN", "HISTORY_1").join(u'|'),
             QStringLiteral("1 0 1|2 0 2|2 1 1"));
    QCOMPARE(e->StatusText(1), QString());
    // The moved line stays selected for the next change.
    QCOMPARE(e->Selected().Entities(), (std::vector<int32_t>{2}));
    QCOMPARE(e->Notice(), QStringLiteral("移動：1 個の図形を作図しました"));

    e->Undo();
    QCOMPARE(states(ed.db), QStringLiteral("1 1|2 0"));
    e->Redo();
    QCOMPARE(states(ed.db), QStringLiteral("1 0|2 1"));
    QCOMPARE(e->Model().Find(2)->entity.state, int16_t(1));

    // Copy with the selection made first: two copies, then Escape ends it.
    clickAt(e, 20, 50);
    QVERIFY(press(e, "btnEditCopy"));
    QCOMPARE(e->StatusText(2), QStringLiteral("基点を指示して下さい"));
    clickAt(e, 10, 50);
    clickAt(e, 10, 60);
    clickAt(e, 10, 70);
    QCOMPARE(lineRows(ed.db).section(u'|', 2), QStringLiteral("10 60 30 60|10 70 30 70"));
    QCOMPARE(e->StatusText(1), QStringLiteral("複写"));
    QTest::keyClick(e, Qt::Key_Escape);
    QTest::keyClick(e, Qt::Key_Escape);
    QCOMPARE(e->StatusText(1), QString());
    QCOMPARE(e->History().UndoCount(), size_t(3));
}

void TestModify::typedValuesInEditor()
{
    Editor ed;
    QVERIFY(openWith(ed, {lineOp(10, 10, 30, 10)}));
    TForm13 *e = ed.window;
    clickAt(e, 20, 10);
    QVERIFY(start(e, "mnuEditRotate"));
    clickAt(e, 10, 10);
    enter(e, QStringLiteral("９０"));
    QCOMPARE(lineRows(ed.db).section(u'|', 1), QStringLiteral("10 10 10 30"));

    // A scale typed as 0 says why and waits for another.
    QVERIFY(start(e, "mnuEditScale"));
    enter(e, QStringLiteral("10,10"));
    enter(e, QStringLiteral("0"));
    QCOMPARE(e->Notice(), QStringLiteral("倍率は０より大きい数値で入力して下さい"));
    QCOMPARE(e->StatusText(2), QStringLiteral("倍率を入力するか参照点を指示して下さい"));
    enter(e, QStringLiteral("0.5"));
    QCOMPARE(lineRows(ed.db).section(u'|', 2), QStringLiteral("10 10 10 20"));
    QCOMPARE(e->Model().Count(), size_t(3));
}

void TestModify::reshapeInEditor()
{
    // An L of two lines meeting at (10, 10), and a wall at x = 60 crossing a third line.
    Editor ed;
    QVERIFY(openWith(ed, {lineOp(10, 10, 50, 10), lineOp(10, 10, 10, 50), lineOp(60, 0, 60, 80),
                          lineOp(40, 70, 80, 70)}));
    TForm13 *e = ed.window;
    const auto escape = [e] {
        QTest::keyClick(e, Qt::Key_Escape);
        QTest::keyClick(e, Qt::Key_Escape);
    };

    // 複線 by a typed distance, on the side shown, repeated.
    QVERIFY(start(e, "mnuEditOffset"));
    enter(e, QStringLiteral("5"));
    QCOMPARE(e->StatusText(2), QStringLiteral("元の図形を指示して下さい（間隔 5 mm）"));
    clickAt(e, 30, 10);
    clickAt(e, 30, 30);
    QCOMPARE(lineRows(ed.db).section(u'|', 4), QStringLiteral("10 15 50 15"));
    // Nothing where a click picks nothing; the command waits on.
    clickAt(e, 200, 200);
    QCOMPARE(e->Notice(), QStringLiteral("図形がありません"));
    QTest::keyClick(e, Qt::Key_Escape);

    // 伸縮: the part beyond the wall is cut off, the end short of it stretched to it.
    QVERIFY(start(e, "mnuEditTrim"));
    clickAt(e, 60, 40);
    clickAt(e, 75, 70);
    QCOMPARE(lineRows(ed.db).section(u'|', 5), QStringLiteral("40 70 60 70"));
    clickAt(e, 45, 15);
    QCOMPARE(lineRows(ed.db).section(u'|', 6), QStringLiteral("10 15 60 15"));
    // Picking the wall itself says why.
    clickAt(e, 60, 20);
    QCOMPARE(e->Notice(), QStringLiteral("境界の図形は伸縮出来ません"));
    escape();

    // 角丸め of the L, radius 5: both lines cut back and the arc between, one operation.
    const size_t undoBefore = e->History().UndoCount();
    QVERIFY(start(e, "mnuEditFillet"));
    enter(e, QStringLiteral("5"));
    clickAt(e, 40, 10);
    clickAt(e, 10, 40);
    QCOMPARE(lineRows(ed.db).section(u'|', 7), QStringLiteral("15 10 50 10|10 15 10 50"));
    QCOMPARE(rows(ed.db, "CX, CY, CR, SA, EA", "ENT_ARC_1"), QStringList{"15 15 5 180 270"});
    QCOMPARE(e->History().UndoCount(), undoBefore + 1);
    // Parallel lines make no corner.
    clickAt(e, 40, 10);
    clickAt(e, 40, 15);
    QCOMPARE(e->Notice(), QStringLiteral("２本の線が平行なため角が出来ません"));
    e->Undo();
    QCOMPARE(states(ed.db).section(u'|', 0, 1), QStringLiteral("1 1|2 1"));
    escape();

    // 切断 between two points leaves the two ends.
    QVERIFY(start(e, "mnuEditBreak"));
    clickAt(e, 20, 10);
    clickAt(e, 30, 10);
    const QStringList lines = lineRows(ed.db).split(u'|');
    QCOMPARE(lines.mid(lines.size() - 2), QStringList({"10 10 20 10", "30 10 50 10"}));
}

void TestModify::otherPcMeanwhile()
{
    TwoPcDrawing pcs;
    if (!pcs.prepare())
        QSKIP("the local Firebird server is not running");
    StoredOperation out;
    for (const ChangeSet &op : {lineOp(10, 10, 30, 10), lineOp(10, 40, 30, 40)})
        QCOMPARE(StoreChanges(pcs.a, 1, op, {}, out), StoreResult::Stored);
    std::unique_ptr<TForm13> a(openEditor(pcs.a)), b(openEditor(pcs.b));
    QVERIFY(a && b);
    a->SetPollMs(600000);
    b->SetPollMs(600000);
    a->CurGrid = b->CurGrid = 5;

    // The line a PC moves is where the other sees it once it looks.
    clickAt(a.get(), 20, 10);
    a->StartCommand(MoveCommand);
    clickAt(a.get(), 10, 10);
    clickAt(a.get(), 10, 20);
    b->Refresh();
    const Entity *moved = b->Model().Find(3);
    QVERIFY(moved && moved->Live());
    QVERIFY(isLine(Shape(std::get<LineShape>(moved->shape)), 10, 20, 30, 20));
    QVERIFY(!b->Model().Find(1)->Live());

    // A line the other PC erased while the command waited is not moved back to life.
    clickAt(b.get(), 20, 40);
    QCOMPARE(b->Selected().Size(), size_t(1));
    b->StartCommand(MoveCommand);
    clickAt(b.get(), 10, 40);
    QCOMPARE(StoreChanges(pcs.a, 1, stateOp({2}, 0), {}, out), StoreResult::Stored);
    const QString before = states(pcs.a);
    clickAt(b.get(), 10, 60);
    QCOMPARE(b->Notice(), QStringLiteral("他のPCで消去された図形があるため変更しませんでした"));
    QCOMPARE(states(pcs.a), before);
    QVERIFY(!b->Model().Find(2)->Live());
    QVERIFY(b->Selected().Empty());
}

QTEST_MAIN(TestModify)
#include "tst_modify.moc"

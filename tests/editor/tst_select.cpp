#include "editortest.h"

#include "base/messages.h"
#include "editor/commands/edithistory.h"
#include "editor/view/selection.h"

#include <QAction>
#include <QToolButton>

class TestSelect : public QObject
{
    Q_OBJECT

private slots:
    void pickFrameAndHistoryRules();
    void storedStates();
    void editorSelects();
    void editorErasesUndoesRedoes();
    void twoPcsThroughServer();
    void otherBuildsErasedRows();
};

namespace {

constexpr QRgb Orange = 0xFFA500;

// Lines stored as another PC's program stores them, with the state it gave them.
bool storeRaw(Database &db, int n, double x1, double y1, double x2, double y2, int state = 1)
{
    return db.SqlInsertList("ENTITY_1", "N,MN,DS,DT,DN",
                            QStringLiteral("%1,2,%2,1,%1").arg(n).arg(state))
           && db.SqlInsertList("ENT_LINE_1", "N,LAY,COL,LTP,WID,X1,Y1,X2,Y2",
                               QStringLiteral("%1,0,0,0,0,%2,%3,%4,%5")
                                   .arg(n).arg(x1).arg(y1).arg(x2).arg(y2));
}

// A left drag between two paper points, checking the frame is on screen half-way.
bool drag(TForm13 *e, double x0, double y0, double x1, double y1,
          Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const QPoint from = pixelOf(e, x0, y0), to = pixelOf(e, x1, y1);
    mouse(e, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton, mods);
    mouse(e, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, mods);
    mouse(e, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton, mods);
    mouse(e, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, mods);
    const bool shown = e->FrameShown() && e->Screen() != e->Picture();
    mouse(e, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, mods);
    return shown && !e->FrameShown() && e->Screen() == e->Picture();
}

QRgb at(TForm13 *e, double x, double y)
{
    return e->Picture().pixel(pixelOf(e, x, y)) & 0xFFFFFF;
}

// Nothing drawn there but the background or the grid.
bool gone(TForm13 *e, double x, double y)
{
    const QRgb c = at(e, x, y);
    return c == 0xFFFFFF || c == 0xEEEEEE || c == 0xCCCCCC;
}

std::vector<int32_t> selected(TForm13 *e)
{
    return e->Selected().Entities();
}

using Ns = std::vector<int32_t>;

// Operation, first history row, entities already in the state and missing.
QList<int64_t> counts(const StoredOperation &out)
{
    return {out.operation, out.firstHistory, out.alreadySet, out.missing};
}

} // namespace

void TestSelect::pickFrameAndHistoryRules()
{
    DrawingModel m(1);
    std::vector<LayerRow> layers = plainLayers();
    layers[2].visible = 0;
    layers[3].scale = 10;
    m.SetLayers(layers);
    m.Add(entityLine(1, 1, 0, 0, 0, 10, 0));
    m.Add(entityLine(2, 2, 0, 0, 2, 10, 2));
    m.Add(entityLine(3, 3, 0, 0, 1, 10, 1, 0)); // erased, between the two
    m.Add(entityLine(4, 4, 2, 0, 1.2, 10, 1.2)); // hidden layer
    m.Add(entityLine(5, 5, 3, 2, 5, 3, 5)); // (20, 50)-(30, 50) on paper
    m.Add(entityLine(6, 6, 0, -5, 10, 15, 20)); // a slant
    m.Add(entityLine(7, 7, 0, 0, 2, 10, 2)); // the same as 2, drawn later

    // Nearest to the segment, not to an end; the erased and the hidden are not there; of two
    // equally near (2 and 7) the one on top; beyond the end within the tolerance.
    const double picks[][4] = {{5, 0.6, 1, 1},  {5, 1.1, 0.5, 0}, {5, 1.5, 1, 7},
                               {11, 0, 1, 1},   {11.1, 0, 1, 0},  {25, 50.5, 1, 5},
                               {5, std::nan(""), 1, 0}};
    for (const auto &t : picks)
        QCOMPARE(PickEntity(m, t[0], t[1], t[2]), int32_t(t[3]));

    // To the right: wholly inside; to the left: whatever meets the frame.
    QCOMPARE(FrameEntities(m, {-1, -1, 11, 3}, false), Ns({1, 2, 7}));
    QCOMPARE(FrameEntities(m, {11, 3, -1, -1}, false), Ns({1, 2, 7})); // corners either way
    QCOMPARE(FrameEntities(m, {4, -1, 6, 3}, false), Ns());
    QCOMPARE(FrameEntities(m, {4, -1, 6, 3}, true), Ns({1, 2, 7}));
    // The slant passes through a frame that holds neither of its ends.
    QCOMPARE(FrameEntities(m, {9, 16.8, 10, 17.2}, true), Ns({6}));
    QCOMPARE(FrameEntities(m, {9, 17.6, 10, 18}, true), Ns());
    QCOMPARE(FrameEntities(m, {19, 49, 31, 51}, false), Ns({5}));

    Selection s;
    s.Set({2, 5});
    s.Toggle(1);
    s.Toggle(5);
    QCOMPARE(s.Entities(), Ns({1, 2}));
    s.Add({2, 3, 7});
    QCOMPARE(s.Entities(), Ns({1, 2, 3, 7}));
    QVERIFY(s.Contains(3) && !s.Contains(5));
    QVERIFY(s.KeepLive(m)); // 3 is erased
    QCOMPARE(s.Entities(), Ns({1, 2, 7}));
    m.TakeStored({}, {2}, {}, 0, 0);
    QVERIFY(s.KeepLive(m));
    QCOMPARE(s.Entities(), Ns({1, 7}));
    QCOMPARE(PickEntity(m, 5, 1.9, 1), 7);

    EditHistory h;
    QVERIFY(!h.NextUndo() && !h.NextRedo());
    h.Done({"a", {1}, {}, {}});
    h.Done({"b", {}, {2, 3}, {}});
    h.Done({"empty", {}, {}, {}}); // nothing to take back
    QCOMPARE(h.UndoCount(), size_t(2));
    QVERIFY(h.NextUndo());
    QCOMPARE(h.NextUndo()->name, QString("b"));
    QCOMPARE(h.NextUndo()->UndoRestores(), Ns({2, 3}));
    QVERIFY(h.NextUndo()->UndoErases().empty());
    h.Undone();
    h.Undone();
    h.Undone(); // nothing left: no change
    QCOMPARE(h.RedoCount(), size_t(2));
    QVERIFY(h.NextRedo());
    QCOMPARE(h.NextRedo()->name, QString("a"));
    QCOMPARE(h.NextRedo()->RedoRestores(), Ns({1}));
    h.Redone();
    h.Done({"c", {9}, {}, {}});
    QCOMPARE(h.RedoCount(), size_t(0));
    QCOMPARE(h.UndoCount(), size_t(2));
}

void TestSelect::storedStates()
{
    TestDb place;
    Database db;
    QVERIFY(place.open(db));
    QVERIFY(EnsureDrawingTables(db, 1));
    StoredOperation out;
    QCOMPARE(StoreChanges(db, 1, lineOp(0, 0, 5, 0), {}, out), StoreResult::Stored);
    ChangeSet box = lineOp(0, 0, 10, 0);
    for (const LineShape &edge : std::vector<LineShape>{{10, 0, 10, 5}, {10, 5, 0, 5}, {0, 5, 0, 0}}) {
        box.created.push_back(box.created[0]);
        box.created.back().shape = edge;
    }
    QCOMPARE(StoreChanges(db, 1, box, {}, out), StoreResult::Stored);

    // An erase: one operation, one history row per entity with MD 1, DS 0.
    QCOMPARE(StoreChanges(db, 1, stateOp({5, 3, 2, 3}, 0), {}, out), StoreResult::Stored);
    QCOMPARE(counts(out), QList<int64_t>({3, 6, 0, 0}));
    QCOMPARE(out.erased, Ns({2, 3, 5}));
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"3"});
    QCOMPARE(rows(db, "N, OPN, MD, EN", "HISTORY_1", "N>5"),
             QStringList({"6 3 1 2", "7 3 1 3", "8 3 1 5"}));
    QCOMPARE(rows(db, "N, DS", "ENTITY_1"),
             QStringList({"1 1", "2 0", "3 0", "4 1", "5 0"}));

    // A restore of two of them and one already live, and one that does not exist.
    QCOMPARE(StoreChanges(db, 1, stateOp({2, 3, 4, 99}, 1), {8, 5, {0, 5}}, out),
             StoreResult::Stored);
    QCOMPARE(out.restored, Ns({2, 3, 4}));
    QCOMPARE(counts(out), QList<int64_t>({4, 9, 1, 1}));
    QCOMPARE(rows(db, "N, OPN, MD, EN", "HISTORY_1", "N>8"),
             QStringList({"9 4 2 2", "10 4 2 3", "11 4 2 4"}));
    QCOMPARE(rows(db, "N, DS", "ENTITY_1"),
             QStringList({"1 1", "2 1", "3 1", "4 1", "5 0"}));
    // Rows and lines are never deleted.
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENT_LINE_1"), QString("5"));

    // Nothing that exists: nothing written, no operation taken.
    QCOMPARE(StoreChanges(db, 1, stateOp({98, 99}, 0), {}, out), StoreResult::Stored);
    QVERIFY(out.erased.empty());
    QCOMPARE(out.operation, int64_t(0));
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"4"});
    // An empty change set is refused before anything is written.
    QCOMPARE(StoreChanges(db, 1, ChangeSet(), {}, out), StoreResult::Failed);
    QCOMPARE(QueryValue(db, "COUNT(*)", "HISTORY_1"), QString("11"));

    // Many at once, beyond one statement's list.
    std::vector<int32_t> many;
    for (int i = 0; i < 1200; ++i)
        many.push_back(1 + i % 5);
    for (int i = 0; i < 1200; ++i)
        many.push_back(1000 + i);
    QCOMPARE(StoreChanges(db, 1, stateOp(many, 0), {}, out), StoreResult::Stored);
    QCOMPARE(out.erased.size(), size_t(5));
    QCOMPARE(out.missing, 1200);
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENTITY_1", "DS=0"), QString("5"));

    // A failure leaves nothing half-written.
    QVERIFY(db.DropTable("HISTORY_1"));
    QCOMPARE(StoreChanges(db, 1, stateOp({1}, 1), {}, out), StoreResult::Failed);
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"5"});
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENTITY_1", "DS=0"), QString("5"));
}

void TestSelect::editorSelects()
{
    Editor ed;
    QVERIFY(ed.prepare());
    QVERIFY(storeRaw(ed.db, 1, -60, 0, -20, 0));
    QVERIFY(storeRaw(ed.db, 2, -60, 20, -20, 20));
    QVERIFY(storeRaw(ed.db, 3, 0, -30, 60, 30));
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    QCOMPARE(e->Model().Count(), size_t(3));
    QCOMPARE(at(e, -40, 0), QRgb(0));

    // A click a few pixels off the line picks it and shows it orange.
    click(e, pixelOf(e, -40, 0) + QPoint(0, 4));
    QCOMPARE(selected(e), Ns({1}));
    QCOMPARE(at(e, -40, 0), Orange);
    QCOMPARE(at(e, -40, 20), QRgb(0));
    QCOMPARE(e->Notice(), QStringLiteral("1 本選択"));
    // Further than 5 pixels: nothing, and the selection goes.
    click(e, pixelOf(e, -40, 0) + QPoint(0, 7));
    QVERIFY(e->Selected().Empty());
    QCOMPARE(at(e, -40, 0), QRgb(0));
    // Another click replaces; Shift adds and takes away.
    clickAt(e, -40, 0);
    clickAt(e, -40, 20);
    QCOMPARE(selected(e), Ns({2}));
    clickAt(e, -40, 0, Qt::ShiftModifier);
    QCOMPARE(selected(e), Ns({1, 2}));
    clickAt(e, -40, 20, Qt::ShiftModifier);
    QCOMPARE(selected(e), Ns({1}));
    clickAt(e, 100, 100, Qt::ShiftModifier); // nothing there: kept
    QCOMPARE(selected(e), Ns({1}));
    QTest::keyClick(e, Qt::Key_Escape);
    QVERIFY(e->Selected().Empty());
    QCOMPARE(e->Screen(), e->Picture());

    // To the right: the frame takes only what lies wholly inside.
    QVERIFY(drag(e, -70, 30, 10, -10));
    QCOMPARE(selected(e), Ns({1, 2}));
    QCOMPARE(at(e, -40, 20), Orange);
    // To the left: whatever it touches; the slant crosses it.
    QVERIFY(drag(e, 40, 25, -30, 5));
    QCOMPARE(selected(e), Ns({2, 3}));
    QVERIFY(drag(e, 10, -20, -70, 5, Qt::ShiftModifier));
    QCOMPARE(selected(e), Ns({1, 2, 3}));
    QCOMPARE(e->Notice(), QStringLiteral("3 本選択"));

    // The right button joining a frame drag makes it the zoom gesture: frame gone, view
    // changed, selection kept.
    const double scale = e->CurrentView().Rect().scale;
    const QPoint from = pixelOf(e, -100, 100), to = pixelOf(e, 100, -100);
    mouse(e, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(e, QEvent::MouseMove, from + QPoint(30, 30), Qt::NoButton, Qt::LeftButton);
    QVERIFY(e->FrameShown());
    mouse(e, QEvent::MouseButtonPress, from + QPoint(30, 30), Qt::RightButton,
          Qt::LeftButton | Qt::RightButton);
    mouse(e, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    QVERIFY(!e->FrameShown());
    mouse(e, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::RightButton);
    QVERIFY(e->CurrentView().Rect().scale > scale);
    QCOMPARE(selected(e), Ns({1, 2, 3}));

    // While a command waits, a click is a point, not a pick.
    e->SpeedButton8->click();
    QTest::keyClick(e, Qt::Key_Escape);
    QVERIFY(e->Selected().Empty());
    QVERIFY(!e->Command().Waiting());
    e->SpeedButton8->click();
    clickAt(e, -40, 0);
    QVERIFY(e->Selected().Empty());
    QCOMPARE(e->Command().Given(), 1);
}

void TestSelect::editorErasesUndoesRedoes()
{
    Editor ed;
    QVERIFY(ed.prepare());
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    e->CurGrid = 10;
    Database &db = ed.db;

    // Nothing to erase, undo or redo yet.
    QTest::keyClick(e, Qt::Key_Delete);
    QCOMPARE(e->Notice(), QStringLiteral("削除する線が選択されていません"));
    e->mnuDrawUndo->trigger();
    QCOMPARE(e->Notice(), QStringLiteral("元に戻す操作はありません"));
    e->mnuDrawRedo->trigger();
    QCOMPARE(e->Notice(), QStringLiteral("やり直す操作はありません"));
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"0"});

    // A line, then a box.
    e->SpeedButton8->click();
    clickAt(e, -100, 50);
    clickAt(e, -50, 50);
    e->SpeedButton9->click();
    clickAt(e, 0, 0);
    clickAt(e, 40, 30);
    QTest::keyClick(e, Qt::Key_Escape);
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"2"});
    QCOMPARE(at(e, -75, 50), QRgb(0));

    // Erase one edge of the box with the key.
    clickAt(e, 20, 30);
    QCOMPARE(selected(e), Ns({4}));
    QTest::keyClick(e, Qt::Key_Delete);
    QVERIFY(e->Selected().Empty());
    QCOMPARE(e->Notice(), QStringLiteral("1 本の線を削除しました"));
    QVERIFY(gone(e, 20, 30));
    QCOMPARE(rows(db, "N, DS", "ENTITY_1", "DS=0"), QStringList{"4 0"});
    QCOMPARE(rows(db, "OPN, MD, EN", "HISTORY_1", "N>5"), QStringList{"3 1 4"});
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"3"});

    // Undo in sequence: the erase, the box, the line.
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e->Notice(), QStringLiteral("元に戻しました：1 本の線の削除"));
    QCOMPARE(at(e, 20, 30), QRgb(0));
    QCOMPARE(rows(db, "OPN, MD, EN", "HISTORY_1", "N>6"), QStringList{"4 2 4"});
    e->mnuDrawUndo->trigger();
    QCOMPARE(e->Notice(), QStringLiteral("元に戻しました：四角の作図"));
    QCOMPARE(rows(db, "OPN, MD, EN", "HISTORY_1", "N>7"),
             QStringList({"5 1 2", "5 1 3", "5 1 4", "5 1 5"}));
    QVERIFY(gone(e, 20, 0));
    QCOMPARE(at(e, -75, 50), QRgb(0));
    e->mnuDrawUndo->trigger();
    QCOMPARE(e->Notice(), QStringLiteral("元に戻しました：線分の作図"));
    QVERIFY(gone(e, -75, 50));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENTITY_1", "DS=0"), QString("5"));
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"6"});
    e->mnuDrawUndo->trigger();
    QCOMPARE(e->Notice(), QStringLiteral("元に戻す操作はありません"));
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"6"});
    // Taken back lines cannot be picked.
    clickAt(e, -75, 50);
    QVERIFY(e->Selected().Empty());

    // Redo: the line, then the box.
    QTest::keyClick(e, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(e->Notice(), QStringLiteral("やり直しました：線分の作図"));
    QCOMPARE(at(e, -75, 50), QRgb(0));
    QCOMPARE(rows(db, "OPN, MD, EN", "HISTORY_1", "N>12"), QStringList{"7 2 1"});
    e->mnuDrawRedo->trigger();
    QCOMPARE(at(e, 20, 0), QRgb(0));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENTITY_1", "DS=0"), QString("0"));
    QCOMPARE(e->History().RedoCount(), size_t(1));

    // A new line clears what could be done again.
    e->SpeedButton8->click();
    clickAt(e, -100, -50);
    clickAt(e, -50, -50);
    QTest::keyClick(e, Qt::Key_Escape);
    e->mnuDrawRedo->trigger();
    QCOMPARE(e->Notice(), QStringLiteral("やり直す操作はありません"));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENTITY_1", "DS=0"), QString("0"));
    e->mnuDrawUndo->trigger();
    QVERIFY(gone(e, -75, -50));
    QCOMPARE(rows(db, "N, DS", "ENTITY_1", "DS=0"), QStringList{"6 0"});

    // A failed store says so and keeps the step.
    MessageRecorder messages;
    QVERIFY(db.DropTable("HISTORY_1"));
    e->mnuDrawUndo->trigger();
    QCOMPARE(messages.texts, QStringList{"変更失敗"});
    QCOMPARE(e->History().UndoCount(), size_t(2));
    clickAt(e, -75, 50);
    e->mnuDrawErase->trigger();
    QCOMPARE(messages.texts, QStringList({"変更失敗", "削除失敗"}));
    QCOMPARE(at(e, -75, 50), Orange);
}

void TestSelect::twoPcsThroughServer()
{
    TwoPcDrawing pcs;
    QVERIFY2(pcs.prepare(), qPrintable(pcs.a.LastError() + pcs.b.LastError()));
    Database &a = pcs.a, &b = pcs.b;
    QVERIFY(storeRaw(a, 1, -60, 0, -20, 0));
    QVERIFY(storeRaw(a, 2, -60, 20, -20, 20));
    QPointer<TForm13> onA = openEditor(a), onB = openEditor(b);
    QVERIFY(onA && onB);
    QCOMPARE(at(onB, -40, 0), QRgb(0));
    // Erased on one, gone on the other within two seconds, with the same view.
    clickAt(onA, -40, 0);
    QTest::keyClick(onA, Qt::Key_Delete);
    QCOMPARE(QueryValue(a, "DS", "ENTITY_1", "N=1"), QString("0"));
    const ViewRect before = onB->CurrentView().Rect();
    QTRY_VERIFY_WITH_TIMEOUT(gone(onB, -40, 0), 2500);
    QCOMPARE(QPointF(onB->CurrentView().Rect().scale, onB->CurrentView().Rect().x1),
             QPointF(before.scale, before.x1));
    QCOMPARE(at(onB, -40, 20), QRgb(0));
    // Undone there: back here.
    onA->mnuDrawUndo->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(at(onB, -40, 0), QRgb(0), 2500);

    // A line drawn on A, erased on B meanwhile: A's undo still succeeds and says so.
    onA->CurGrid = 10;
    onA->SpeedButton8->click();
    clickAt(onA, 0, -50);
    clickAt(onA, 50, -50);
    QTest::keyClick(onA, Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(at(onB, 25, -50), QRgb(0), 2500);
    clickAt(onB, 25, -50);
    QCOMPARE(selected(onB), Ns({3}));
    onB->mnuDrawErase->trigger();
    onA->mnuDrawUndo->trigger();
    QCOMPARE(onA->Notice(),
             QStringLiteral("元に戻しました：線分の作図（うち 1 本は他のPCで変更されていました）"));
    QCOMPARE(QueryValue(a, "DS", "ENTITY_1", "N=3"), QString("0"));
    QCOMPARE(rows(a, "MD, EN", "HISTORY_1", "EN=3"), QStringList({"0 3", "1 3", "1 3"}));
    // B's own undo brings it back, the last writer winning; A sees it.
    onB->mnuDrawUndo->trigger();
    QCOMPARE(QueryValue(b, "DS", "ENTITY_1", "N=3"), QString("1"));
    QTRY_COMPARE_WITH_TIMEOUT(at(onA, 25, -50), QRgb(0), 2500);
    delete onA;
    delete onB;
}

void TestSelect::otherBuildsErasedRows()
{
    Editor ed;
    QVERIFY(ed.prepare());
    QVERIFY(storeRaw(ed.db, 1, -60, 0, -20, 0, 0));
    QVERIFY(storeRaw(ed.db, 2, -60, 20, -20, 20));
    QVERIFY(storeRaw(ed.db, 3, 0, 0, 40, 0, 0));
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    QCOMPARE(e->Model().Count(), size_t(3));
    QCOMPARE(QList<QRgb>({at(e, -40, 0), at(e, 20, 0), at(e, -40, 20)}),
             QList<QRgb>({0xFFFFFF, 0xFFFFFF, 0}));

    clickAt(e, -40, 0);
    QVERIFY(e->Selected().Empty());
    QVERIFY(drag(e, 50, 30, -70, -10));
    QCOMPARE(selected(e), Ns({2}));
    QTest::keyClick(e, Qt::Key_Escape);

    // No snap to an end of theirs; one of the live line is found.
    e->SpeedButton8->click();
    for (auto [x, y, given] : {std::tuple{-60, 0, 0}, {40, 0, 0}, {-60, 20, 1}}) {
        rightClickAt(e, x, y, QPoint(1, 1));
        QCOMPARE(e->Command().Given(), given);
    }
    QCOMPARE(e->PickX, -60.0);
}

QTEST_MAIN(TestSelect)
#include "tst_select.moc"

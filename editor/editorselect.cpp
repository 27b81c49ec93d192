// The editor's selection, erasing, undo and redo: lines picked or framed with the left
// button while no command waits, highlighted over the picture, and each erase, undo or redo
// stored as one operation that other PCs follow.
#include "editor/editorwindow.h"

#include "base/globals.h"
#include "base/messages.h"
#include "editor/model/drawingmodel.h"
#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"

#include <QAction>
#include <QKeySequence>
#include <QMouseEvent>

#include <cstdlib>

namespace {

// A press and release further apart than this along either axis frame; nearer, they pick.
constexpr int ClickSlack = 3;
constexpr double PickPixels = 5;

// What the status bar adds when another PC changed some of the lines first.
QString meanwhile(const StoredOperation &out, bool erase)
{
    const int changed = out.alreadySet + out.missing;
    if (changed == 0)
        return QString();
    if (erase)
        return QStringLiteral("（うち %1 本は他のPCで既に削除されていました）").arg(changed);
    return QStringLiteral("（うち %1 本は他のPCで変更されていました）").arg(changed);
}

} // namespace

void TForm13::SetUpEditing()
{
    const std::pair<QAction *, QKeySequence> keys[] = {
        {mnuDrawErase, QKeySequence(Qt::Key_Delete)},
        {mnuDrawUndo, QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {mnuDrawRedo, QKeySequence(Qt::CTRL | Qt::Key_Y)}};
    for (const auto &[action, key] : keys) {
        action->setShortcut(key);
        // Whichever of the editor's widgets has the focus, in whatever window holds it.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }
    connect(mnuDrawErase, &QAction::triggered, this, &TForm13::EraseSelected);
    connect(mnuDrawUndo, &QAction::triggered, this, &TForm13::Undo);
    connect(mnuDrawRedo, &QAction::triggered, this, &TForm13::Redo);
}

void TForm13::ShowSelection()
{
    if (plain.isNull())
        return;
    selection.KeepLive(*model);
    if (selection.Empty()) {
        picture = plain;
    } else {
        picture = plain.copy();
        Canvas canvas(picture);
        RenderHighlight(canvas, view.Params(), *model, selection.Entities());
    }
    // Every figure is painted over; the band is drawn again.
    screen = picture.copy();
    zoomShown = false;
    rubberShown = false;
    frameShown = false;
    markerShown = false;
    FollowPick();
    ShowScreen();
}

void TForm13::DrawSelectFrame()
{
    if (screen.isNull())
        return;
    {
        Canvas canvas(screen);
        SetXorMode(canvas);
        // Dragged to the left, the frame takes what it touches and is drawn dashed.
        SetPen(canvas, 0xFFFF00, frameX2 < PressX ? 1 : 0, 1);
        DrawFrameRect(canvas, PressX, PressY, frameX2, frameY2);
    }
    ShowScreen();
}

void TForm13::HideFrame()
{
    if (frameShown)
        DrawSelectFrame();
    frameShown = false;
}

void TForm13::TrackFrame(int x, int y)
{
    if (!frameShown && std::abs(x - PressX) <= ClickSlack && std::abs(y - PressY) <= ClickSlack)
        return;
    HideFrame();
    frameX2 = x;
    frameY2 = y;
    DrawSelectFrame();
    frameShown = true;
}

void TForm13::SelectAt(int x, int y, bool shift)
{
    HideFrame();
    if (std::abs(x - PressX) <= ClickSlack && std::abs(y - PressY) <= ClickSlack) {
        const PaperPoint p = view.ToPaper(x, y);
        const int32_t picked = PickEntity(*model, p.x, p.y, PickPixels / view.Rect().scale);
        if (shift) {
            if (picked)
                selection.Toggle(picked);
        } else if (picked) {
            selection.Set({picked});
        } else {
            selection.Clear();
        }
    } else {
        const PaperPoint p0 = view.ToPaper(PressX, PressY), p1 = view.ToPaper(x, y);
        std::vector<int32_t> framed = FrameEntities(*model, {p0.x, p0.y, p1.x, p1.y}, x < PressX);
        if (shift)
            selection.Add(framed);
        else
            selection.Set(std::move(framed));
    }
    ShowSelection();
    SetNotice(selection.Empty() ? QString()
                                : QStringLiteral("%1 本選択").arg(selection.Size()));
}

bool TForm13::EditTextAt(QMouseEvent *event)
{
    if (command.Waiting() || event->button() != Qt::LeftButton || !loaded)
        return false;
    const QPointF at = event->position();
    const PaperPoint p = view.ToPaper(at.x(), at.y());
    const int32_t picked = PickEntity(*model, p.x, p.y, PickPixels / view.Rect().scale);
    const Entity *e = picked ? model->Find(picked) : nullptr;
    if (!e || !std::holds_alternative<TextRef>(e->shape))
        return false;
    EditText(picked);
    return true;
}

void TForm13::ClearSelection()
{
    if (selection.Empty())
        return;
    selection.Clear();
    ShowSelection();
    SetNotice(QString());
}

bool TForm13::StoreStates(const std::vector<int32_t> &erase,
                          const std::vector<int32_t> &restore, StoredOperation &out)
{
    // Entity numbers of deleted tables would name other entities in tables made anew.
    if (gone)
        return false;
    ChangeSet changes;
    changes.member = Config().PcUserNo;
    changes.erased = erase;
    changes.restored = restore;
    if (StoreChanges(db, DrawingNo, changes, StoreHints(), out) != StoreResult::Stored)
        return false;
    model->TakeStored({}, out.erased, out.restored, out.operation, out.firstHistory);
    NoteContentsChanged();
    return true;
}

QString TForm13::Counted(const std::vector<int32_t> &entities) const
{
    const bool lines = std::all_of(entities.begin(), entities.end(), [&](int32_t n) {
        const Entity *e = model->Find(n);
        return e && e->entity.type == KindLine;
    });
    return lines ? QStringLiteral("%1 本の線").arg(entities.size())
                 : QStringLiteral("%1 個の図形").arg(entities.size());
}

void TForm13::EraseSelected()
{
    selection.KeepLive(*model);
    if (selection.Empty()) {
        SetNotice(QStringLiteral("削除する線が選択されていません"));
        return;
    }
    StoredOperation out;
    if (!StoreStates(selection.Entities(), {}, out)) {
        ShowMessage(QStringLiteral("削除失敗"));
        return;
    }
    selection.Clear();
    const int count = int(out.erased.size());
    if (count == 0) {
        Redraw();
        SetNotice(QStringLiteral("選択した線は既にありません"));
        return;
    }
    const QString what = Counted(out.erased);
    history.Done({what + QStringLiteral("の削除"), {}, out.erased, {}});
    Redraw();
    SetNotice(what + QStringLiteral("を削除しました") + meanwhile(out, true));
}

void TForm13::Undo()
{
    Replay(true);
}

void TForm13::Redo()
{
    Replay(false);
}

void TForm13::Replay(bool back)
{
    const EditStep *step = back ? history.NextUndo() : history.NextRedo();
    if (!step) {
        SetNotice(back ? QStringLiteral("元に戻す操作はありません")
                       : QStringLiteral("やり直す操作はありません"));
        return;
    }
    const QString name = step->name;
    StoredOperation out;
    if (!StoreStates(back ? step->UndoErases() : step->RedoErases(),
                     back ? step->UndoRestores() : step->RedoRestores(), out)) {
        ShowMessage(QStringLiteral("変更失敗"));
        return;
    }
    back ? history.Undone() : history.Redone();
    Redraw();
    SetNotice((back ? QStringLiteral("元に戻しました：") : QStringLiteral("やり直しました："))
              + name + meanwhile(out, false));
}

// The editor's drawing commands: the mouse and keys routed to the command, its rubber band
// on screen, and each finished figure stored, taken into the drawing and drawn at once.
#include "editor/editorwindow.h"

#include "editor/textdialog.h"
#include "base/globals.h"
#include "base/messages.h"
#include "base/values.h"
#include "db/registerrows.h"
#include "editor/model/drawingmodel.h"
#include "editor/output/dxfstore.h"
#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"

#include <QLabel>
#include <QAction>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolButton>

#include <map>

#include <algorithm>

void TForm13::SetUpCommands()
{
    const std::pair<QToolButton *, QAction *> starters[] = {
        {SpeedButton6, mnuDrawLineX}, {SpeedButton7, mnuDrawLineY}, {SpeedButton8, mnuDrawLine2},
        {SpeedButton9, mnuDrawBox},   {SpeedButton10, mnuDrawCircle}, {SpeedButton11, mnuDrawArc},
        {SpeedButton12, mnuDrawArc3}, {SpeedButton13, mnuDrawText}};
    connect(mnuDrawMeasure, &QAction::triggered, this, &TForm13::StartMeasure);
    const int codes[] = {HorizontalLine, VerticalLine,  TwoPointLine,  BoxCommand,
                         CircleCommand,  ArcCommand,    ThreePointArc, TextCommand};
    const char *const hints[] = {"水平線：通過点、開始点、終了点",
                                 "垂直線：通過点、開始点、終了点",
                                 "線分：開始点、終了点",
                                 "四角：対角の２点",
                                 "円：中心点、円周上の点",
                                 "円弧：中心点、開始点、終了点（反時計回り）",
                                 "3点円弧：開始点、通過点、終了点",
                                 "文字：文字を入力して位置を指示"};
    for (int i = 0; i < 8; ++i) {
        const int code = codes[i];
        starters[i].first->setToolTip(QString::fromUtf8(hints[i]));
        connect(starters[i].first, &QToolButton::clicked, this, [this, code] {
            StartCommand(code);
        });
        connect(starters[i].second, &QAction::triggered, this, [this, code] {
            StartCommand(code);
        });
    }
}

void TForm13::StartCommand(int code)
{
    // The band of the command running before goes with it.
    if (rubberShown) {
        DrawRubber();
        rubberShown = false;
        ShowScreen();
    }
    HideMarker();
    if (code == TextCommand && !AskText())
        code = NoCommand;
    command.Start(code);
    // Picked or framed first, the figures go to the command at once.
    if (command.Changes() && !selection.Empty())
        HandSelection();
    ShowCommand();
}

bool TForm13::AskText()
{
    if (!textDialog)
        textDialog = new TextDialog(this);
    textDialog->SetValue(command.Text().height > 0 ? command.Text() : textDialog->Value());
    if (textDialog->exec() != QDialog::Accepted)
        return false;
    command.SetText(textDialog->Value());
    return true;
}

void TForm13::EditText(int32_t entity)
{
    const Entity *e = model->Find(entity);
    EntityRecord old;
    if (!e || !std::holds_alternative<TextRef>(e->shape) || !model->PaperRecord(*e, old))
        return;
    const TextShape text = std::get<TextShape>(old.shape);
    if (!textDialog)
        textDialog = new TextDialog(this);
    const TextShape kept = textDialog->Value();
    textDialog->SetValue(text);
    const bool accepted = textDialog->exec() == QDialog::Accepted;
    TextShape changed = textDialog->Value();
    textDialog->SetValue(kept); // the command's next texts keep their own values
    if (!accepted)
        return;
    changed.px = text.px;
    changed.py = text.py;
    EntityRecord next = old;
    next.shape = changed;
    ChangeSet changes;
    changes.name = QStringLiteral("文字の変更");
    changes.member = Config().PcUserNo;
    changes.created.push_back(next);
    changes.erased.push_back(entity);
    changes.replaces = true;
    StoreChangeSet(changes);
}

void TForm13::CancelCommand()
{
    StartCommand(NoCommand);
}

void TForm13::ShowCommand()
{
    SetStatusText(1, command.Name());
    SetStatusText(2, command.Prompt());
    // The prompt is read whole; the hint and the notice give way.
    panels[2]->setMinimumWidth(
        std::max(50, panels[2]->fontMetrics().horizontalAdvance(command.Prompt()) + 4));
    hint->setText(command.Selecting()  ? QStringLiteral("クリック・枠：選択　Shift：追加・解除")
                  : command.Picks()    ? QStringLiteral("クリック：図形を指示")
                  : command.Waiting() ? QStringLiteral("左クリック：グリッド点　右クリック：スナップ")
                                       : QString());
    PointInput->setEnabled(command.Waiting());
    if (!command.Waiting())
        PointInput->clear();
    ShowRelative();
    StatusBar1->repaint();
}

void TForm13::TrackPoint(double x, double y)
{
    if (!command.Waiting())
        return;
    TrackSnap(x, y);
    if (!GridPoint(x, y, CurGrid, PickX, PickY))
        return;
    HoldPoint(PickX, PickY);
    ShowRelative();
    if (FollowPick())
        ShowScreen();
}

bool TForm13::FollowPick()
{
    if (!command.AsksLast() || screen.isNull())
        return false;
    if (rubberShown && !command.RubberMoved(rubberX, rubberY, PickX, PickY))
        return false;
    if (rubberShown)
        DrawRubber();
    rubberX = PickX;
    rubberY = PickY;
    DrawRubber();
    rubberShown = true;
    return true;
}

// XOR: drawing the same band again takes it off.
void TForm13::DrawRubber()
{
    if (screen.isNull())
        return;
    Canvas canvas(screen);
    SetXorMode(canvas);
    SetPen(canvas, 0xFFFF00, 0, 1);
    RenderBand(canvas, view.Params(), command.Rubber(rubberX, rubberY));
}

void TForm13::GivePoint(double x, double y)
{
    double gx, gy;
    if (!command.Waiting())
        return;
    if (!GridPoint(x, y, CurGrid, gx, gy))
        return;
    // A figure is picked where the pointer is; the grid point near it is the point taken
    // when it lies on the same figure.
    if (command.Picks()) {
        PickAt(x, y, gx, gy);
        return;
    }
    HoldPoint(gx, gy);
    TakePoint(gx, gy);
}

void TForm13::TakePoint(double x, double y)
{
    if (rubberShown) {
        DrawRubber();
        rubberShown = false;
    }
    // The marker found from the point before may not be what a click now takes.
    HideMarker();
    PickX = x;
    PickY = y;
    if (command.Picks()) {
        PickAt(x, y, x, y);
        return;
    }
    AfterGiven(command.Give(x, y));
}

NumberHints TForm13::StoreHints()
{
    return HintsOf(*model);
}

bool TForm13::StoreFigure(const std::vector<Shape> &shapes)
{
    ChangeSet changes;
    changes.name = command.Name().remove(u'　') + QStringLiteral("の作図");
    changes.member = Config().PcUserNo;
    for (const Shape &shape : shapes) {
        EntityRecord e;
        e.look = {int16_t(CurLayer), int16_t(CurColor), int16_t(CurLineType), int16_t(CurWidth)};
        e.shape = shape;
        changes.created.push_back(e);
    }
    return StoreChangeSet(changes);
}

bool TForm13::StoreChangeSet(const ChangeSet &changes)
{
    if (gone) {
        // The tables another PC deleted may have been made anew for a new drawing.
        ShowMessage(QStringLiteral("この図面のデータは削除されているため登録出来ません"));
        return false;
    }
    StoredOperation stored;
    lastStore = StoreChanges(db, DrawingNo, changes, StoreHints(), stored);
    switch (lastStore) {
    case StoreResult::Gone:
        SetNotice(QStringLiteral("他のPCで消去された図形があるため変更しませんでした"));
        return false;
    case StoreResult::BadScale:
        ShowMessage(QStringLiteral("レイヤ%1の尺度が正しくないため登録出来ません。"
                                   "レイヤの設定で尺度を直して下さい。")
                        .arg(changes.created.empty() ? CurLayer
                                                     : changes.created.front().look.layer));
        return false;
    case StoreResult::BadText:
        ShowMessage(QStringLiteral("文字が長すぎるか使用出来ない文字が含まれているため"
                                   "登録出来ません"));
        return false;
    case StoreResult::Failed:
        ShowMessage(changes.created.empty() ? QStringLiteral("変更失敗")
                                            : QStringLiteral("登録失敗"));
        return false;
    case StoreResult::Stored:
        break;
    }
    TakeStored(changes.name, stored);
    NoteContentsChanged();
    return true;
}

void TForm13::NoteContentsChanged()
{
    if (!Config().AutoRegisterDates)
        return;
    // One register write a day for a drawing, however many editors on this PC change it.
    static std::map<int, QString> touched;
    const QString today = TodayText();
    QString &day = touched[DrawingNo];
    if (day == today)
        return;
    // A drawing without a register row (or a register another PC dropped) is left alone.
    day = today;
    TouchDrawingUpdateDate(db, DrawingNo, today);
}

void TForm13::TakeStored(const QString &name, const StoredOperation &stored)
{
    EditStep step{name, {}, stored.erased, stored.restored};
    for (const EntityRecord &e : stored.rows)
        step.created.push_back(e.entity.n);
    history.Done(std::move(step));
    // While the drawing still loads, the load reads them in their turn.
    if (!loaded)
        return;
    model->TakeStored(stored.rows, stored.erased, stored.restored, stored.operation,
                      stored.firstHistory);
    if (plain.isNull())
        return;
    if (stored.erased.empty() && stored.restored.empty()) {
        Canvas canvas(plain);
        for (const EntityRecord &e : stored.rows) {
            if (const Entity *in = model->Find(e.entity.n))
                RenderEntity(canvas, view.Params(), *model, *in);
        }
        // The band is off the screen here, and no zoom frame is held during a click.
        ShowSelection();
        return;
    }
    selection.KeepLive(*model);
    Redraw();
}

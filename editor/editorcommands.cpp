// The editor's drawing commands: the mouse and keys routed to the command, its rubber band
// on screen, and each finished figure stored, taken into the drawing and drawn at once.
#include "editor/editorwindow.h"

#include "app/globals.h"
#include "app/messages.h"
#include "editor/drawingmodel.h"
#include "editor/pen/canvas.h"
#include "editor/renderer.h"
#include "editor/snap.h"

#include <QAction>
#include <QStatusBar>
#include <QToolButton>

#include <algorithm>

void TForm13::SetUpCommands()
{
    const std::pair<QToolButton *, QAction *> starters[] = {{SpeedButton6, mnuDrawLineX},
                                                            {SpeedButton7, mnuDrawLineY},
                                                            {SpeedButton8, mnuDrawLine2},
                                                            {SpeedButton9, mnuDrawBox}};
    const int codes[] = {HorizontalLine, VerticalLine, TwoPointLine, BoxCommand};
    for (int i = 0; i < 4; ++i) {
        const int code = codes[i];
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
    command.Start(code);
    ShowCommand();
}

void TForm13::CancelCommand()
{
    StartCommand(NoCommand);
}

void TForm13::ShowCommand()
{
    SetStatusText(1, command.Name());
    SetStatusText(2, command.Prompt());
    StatusBar1->repaint();
}

void TForm13::TrackPoint(double x, double y)
{
    if (!command.Waiting() || !GridPoint(x, y, CurGrid, PickX, PickY))
        return;
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
    const ViewParams v = view.Params();
    for (const PaperLine &l : command.Rubber(rubberX, rubberY))
        DrawClippedLine(canvas, v, l.x1, l.y1, l.x2, l.y2);
}

void TForm13::GivePoint(double x, double y)
{
    double gx, gy;
    if (command.Waiting() && GridPoint(x, y, CurGrid, gx, gy))
        TakePoint(gx, gy);
}

void TForm13::SnapPoint(double x, double y)
{
    double sx, sy;
    if (command.Waiting() && SnapToLineEnd(*model, x, y, 5 / view.Rect().scale, sx, sy))
        TakePoint(sx, sy);
}

void TForm13::TakePoint(double x, double y)
{
    if (rubberShown) {
        DrawRubber();
        rubberShown = false;
    }
    PickX = x;
    PickY = y;
    const std::vector<PaperLine> lines = command.Give(x, y);
    ShowCommand();
    FollowPick();
    ShowScreen();
    if (!lines.empty())
        StoreFigure(lines);
}

NumberHints TForm13::StoreHints()
{
    // Numbers already in memory spare the reads a pass over the whole tables.
    if (highestLine == 0 && loaded) {
        for (size_t i = 0; i < model->Count(); ++i) {
            if (model->At(i).hasLine)
                highestLine = std::max<int64_t>(highestLine, model->At(i).line.n);
        }
    }
    return {model->HighestHistory(), model->HighestEntity(), highestLine};
}

void TForm13::StoreFigure(const std::vector<PaperLine> &lines)
{
    if (gone) {
        // The tables another PC deleted may have been made anew for a new drawing.
        ShowMessage(QStringLiteral("この図面のデータは削除されているため登録出来ません"));
        return;
    }
    const LineOperation op{Config().PcUserNo, CurLayer, CurColor, CurLineType, CurWidth, lines};
    StoredOperation stored;
    switch (StoreLineOperation(db, DrawingNo, op, StoreHints(), stored)) {
    case StoreResult::BadScale:
        ShowMessage(QStringLiteral("レイヤ%1の尺度が正しくないため登録出来ません。"
                                   "レイヤの設定で尺度を直して下さい。")
                        .arg(CurLayer));
        return;
    case StoreResult::Failed:
        ShowMessage(QStringLiteral("登録失敗"));
        return;
    case StoreResult::Stored:
        break;
    }
    highestLine = stored.rows.back().line.n;
    EditStep step{EditStep::Drawn, command.Name().remove(u'　') + QStringLiteral("の作図"), {}};
    for (const EntityLine &e : stored.rows)
        step.entities.push_back(e.entity.n);
    history.Done(std::move(step));
    // While the drawing still loads, the load reads them in their turn.
    if (!loaded)
        return;
    model->AddStored(stored.rows, stored.operation, stored.firstHistory);
    if (plain.isNull())
        return;
    {
        Canvas canvas(plain);
        for (const EntityLine &e : stored.rows)
            RenderLine(canvas, view.Params(), *model, e);
    }
    // The band is off the screen here, and no zoom frame is held during a click.
    ShowSelection();
}

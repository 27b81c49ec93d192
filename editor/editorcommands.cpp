// The editor's drawing and editing commands as the window offers them: the menu items and
// tool buttons that start them, the text dialog, the command's prompt in the status bar and
// the keys of erase, undo and redo.
#include "editor/editorwindow.h"

#include "editor/textdialog.h"
#include "base/appcontext.h"
#include "base/settings.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolButton>

#include <algorithm>

void TForm13::SetUpCommands()
{
    const std::pair<QToolButton *, QAction *> starters[] = {
        {SpeedButton6, mnuDrawLineX}, {SpeedButton7, mnuDrawLineY}, {SpeedButton8, mnuDrawLine2},
        {SpeedButton9, mnuDrawBox},   {SpeedButton10, mnuDrawCircle}, {SpeedButton11, mnuDrawArc},
        {SpeedButton12, mnuDrawArc3}, {SpeedButton13, mnuDrawText}};
    connect(mnuDrawMeasure, &QAction::triggered, this, [this] { control->StartMeasure(); });
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
    control->StartCommand(code);
}

bool TForm13::AskText(TextShape &text, bool editing)
{
    if (!textDialog)
        textDialog = new TextDialog(context.messages, this);
    const TextShape kept = textDialog->Value();
    // The command's values once it has some, else those the dialog kept.
    if (editing || text.height > 0)
        textDialog->SetValue(text);
    const bool accepted = textDialog->exec() == QDialog::Accepted;
    if (accepted)
        text = textDialog->Value();
    // The command's next texts keep their own values.
    if (editing)
        textDialog->SetValue(kept);
    return accepted;
}

void TForm13::Tell(const QString &text)
{
    context.messages.Show(text);
}

int TForm13::Member() const
{
    return context.settings.PcUserNo;
}

bool TForm13::AutoDates() const
{
    return context.settings.AutoRegisterDates;
}

void TForm13::ShowCommand()
{
    const DrawCommand &command = Command();
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

void TForm13::ClearSelection()
{
    control->ClearSelection();
}

void TForm13::EraseSelected()
{
    control->EraseSelected();
}

void TForm13::Undo()
{
    control->Undo();
}

void TForm13::Redo()
{
    control->Redo();
}

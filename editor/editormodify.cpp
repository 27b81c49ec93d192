// The editor's modify commands: the 編集 menu and its buttons, the selected or picked
// figures handed to the running command, typed values, and each change stored as one
// operation that replaces the figures it changed.
#include "editor/editorwindow.h"

#include "base/globals.h"
#include "editor/commands/pointinput.h"
#include "editor/model/drawingmodel.h"

#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr double PickPixels = 5;

struct ModifyItem
{
    int code;
    const char *name;
    const char *caption; // the menu's, with its access key
    const char *button;
    const char *hint;
};

constexpr ModifyItem ModifyItems[] = {
    {MoveCommand, "mnuEditMove", "移動(&M)", "移動", "移動：基点、移動先"},
    {CopyCommand, "mnuEditCopy", "複写(&C)", "複写", "複写：基点、複写先（繰り返し）"},
    {RotateCommand, "mnuEditRotate", "回転(&R)", "回転", "回転：中心、角度か方向"},
    {MirrorCommand, "mnuEditMirror", "反転(&I)", "反転", "反転：反転軸の２点"},
    {ScaleCommand, "mnuEditScale", "倍率(&S)", "倍率", "倍率：基点、倍率か参照点と新しい点"},
    {OffsetCommand, "mnuEditOffset", "複線(&O)", "複線", "複線：元の図形、作る側（間隔は入力可）"},
    {TrimCommand, "mnuEditTrim", "伸縮(&T)", "伸縮", "伸縮：境界、切り取る部分か伸ばす端"},
    {ChamferCommand, "mnuEditChamfer", "面取り(&H)", "面取", "面取り：２本の線（距離は入力可）"},
    {FilletCommand, "mnuEditFillet", "角丸め(&F)", "角丸", "角丸め：２つの線か円弧（半径は入力可）"},
    {BreakCommand, "mnuEditBreak", "切断(&B)", "切断", "切断：図形上の１点目、２点目"},
};

} // namespace

void TForm13::SetUpModify(QMenuBar *bar)
{
    QMenu *edit = bar->addMenu(QStringLiteral("編集(&E)"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto *column = new QVBoxLayout(Panel2);
    column->setContentsMargins(1, 1, 1, 1);
    column->setSpacing(2);
    QFont small(QStringLiteral("ＭＳ ゴシック"));
    small.setPixelSize(12);
    Panel2->setFont(small);
    for (const ModifyItem &m : ModifyItems) {
        const int code = m.code;
        QAction *a = edit->addAction(QString::fromUtf8(m.caption));
        a->setObjectName(QString::fromLatin1(m.name));
        connect(a, &QAction::triggered, this, [this, code] { StartCommand(code); });
        auto *b = new QToolButton(Panel2);
        b->setObjectName(QString::fromLatin1(m.name).replace(0, 3, QStringLiteral("btn")));
        b->setText(QString::fromUtf8(m.button));
        b->setToolTip(QString::fromUtf8(m.hint));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(44, 22);
        connect(b, &QToolButton::clicked, this, [this, code] { StartCommand(code); });
        column->addWidget(b);
        if (code == ScaleCommand || code == BreakCommand)
            edit->addSeparator();
    }
    column->addStretch(1);
    mnuEditMirrorKeeps = edit->addAction(QStringLiteral("反転で元の図形を残す(&K)"));
    mnuEditMirrorKeeps->setObjectName(QStringLiteral("mnuEditMirrorKeeps"));
    mnuEditMirrorKeeps->setCheckable(true);
    mnuEditMirrorKeeps->setChecked(command.Options().mirrorKeeps);
    connect(mnuEditMirrorKeeps, &QAction::toggled, this,
            [this](bool on) { command.Options().mirrorKeeps = on; });
}

bool TForm13::SubjectOf(int32_t entity, Subject &out) const
{
    const Entity *e = model->Find(entity);
    out.entity = entity;
    return e && model->PaperRecord(*e, out.record);
}

void TForm13::HandSelection()
{
    selection.KeepLive(*model);
    std::vector<Subject> subjects;
    for (int32_t n : selection.Entities()) {
        Subject s;
        if (SubjectOf(n, s))
            subjects.push_back(std::move(s));
    }
    if (subjects.empty()) {
        if (command.Selecting())
            SetNotice(QStringLiteral("図形が選択されていません"));
        return;
    }
    command.SetSubjects(std::move(subjects));
}

void TForm13::PickAt(double x, double y, double gx, double gy)
{
    const double tolerance = PickPixels / view.Rect().scale;
    const int32_t picked = PickEntity(*model, x, y, tolerance);
    Subject s;
    if (!picked || !SubjectOf(picked, s)) {
        SetNotice(QStringLiteral("図形がありません"));
        return;
    }
    if (PickEntity(*model, gx, gy, tolerance) == picked) {
        x = gx;
        y = gy;
    }
    command.GivePick(s, x, y);
    AfterGiven({});
}

bool TForm13::EnterValue(const QString &text)
{
    if (!command.Changes() || !command.TakesValue())
        return false;
    // Any number, not a point: the last point does not matter here.
    const PointEntry entry = ReadPointEntry(text, true, 0, 0);
    const bool plain = !text.contains(u'@') && !text.contains(u'＠') && !text.contains(u'<')
                       && !text.contains(u'＜');
    double values[2] = {entry.length, 0};
    int count = 1;
    if (entry.kind == PointEntry::Point && plain) {
        values[0] = entry.x;
        values[1] = entry.y;
        count = 2;
    } else if (entry.kind != PointEntry::Length) {
        return false;
    }
    if (!command.GiveValue(values, count))
        return false;
    PointInput->clear();
    PaintBox1->setFocus();
    AfterGiven({});
    return true;
}

void TForm13::AfterGiven(const std::vector<Shape> &shapes)
{
    ShowCommand();
    if (!command.Note().isEmpty())
        SetNotice(command.Note());
    FollowPick();
    ShowScreen();
    if (!shapes.empty() && !command.Stores()) {
        ShowMeasured(shapes.front());
        return;
    }
    const Change change = command.TakeChange();
    bool stored = true;
    if (!shapes.empty())
        stored = StoreFigure(shapes);
    else if (!change.Empty())
        stored = StoreModify(change);
    if (stored && command.Ended()) {
        StartCommand(NoCommand);
        return;
    }
    if (!stored && lastStore == StoreResult::Gone) {
        // What was picked or selected is gone: the command starts over from the drawing
        // as it now is.
        const int code = command.Code();
        Refresh();
        StartCommand(code);
        return;
    }
    if (!stored) {
        // Kept on screen, the figure is stored by one more click once the database answers.
        command.TakeBack();
        ShowCommand();
        FollowPick();
        ShowScreen();
    }
}

bool TForm13::StoreModify(const Change &change)
{
    ChangeSet changes;
    changes.name = command.Name();
    changes.member = Config().PcUserNo;
    changes.created = change.created;
    changes.erased = change.erased;
    changes.replaces = !change.erased.empty();
    const bool moved = command.Selects() && !change.erased.empty();
    if (!StoreChangeSet(changes))
        return false;
    // The figures moved stay selected, for the next change.
    if (moved) {
        std::vector<int32_t> created = history.NextUndo()->created;
        std::sort(created.begin(), created.end());
        selection.Set(std::move(created));
        ShowSelection();
    }
    SetNotice(QStringLiteral("%1：%2 個の図形を作図しました")
                  .arg(changes.name)
                  .arg(change.created.size()));
    return true;
}

bool TForm13::StepBack()
{
    if (!command.Changes() || !command.StepBack())
        return false;
    if (rubberShown) {
        DrawRubber();
        rubberShown = false;
    }
    ShowCommand();
    FollowPick();
    ShowScreen();
    return true;
}

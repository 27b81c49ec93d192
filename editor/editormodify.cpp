// The editor's modify commands as the window offers them: the 編集 menu and its buttons.
#include "editor/editorwindow.h"

#include <QAction>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

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
    mnuEditMirrorKeeps->setChecked(control->Command().Options().mirrorKeeps);
    connect(mnuEditMirrorKeeps, &QAction::toggled, this,
            [this](bool on) { control->Command().Options().mirrorKeeps = on; });
}

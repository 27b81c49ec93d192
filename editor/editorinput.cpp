// Points given by keyboard: the status bar's entry, which keys typed on the paint box go
// into, and the ortho switch.
#include "editor/editorwindow.h"

#include <QAction>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolButton>

void TForm13::SetUpInput()
{
    PointInput = new QLineEdit(StatusBar1);
    PointInput->setObjectName(QStringLiteral("PointInput"));
    PointInput->setPlaceholderText(QStringLiteral("座標入力"));
    PointInput->setToolTip(QStringLiteral("x,y：座標　@dx,dy：前の点から\n"
                                          "@長さ<角度：前の点から　長さ<角度：原点から\n"
                                          "長さ：ラバーバンドの方向へ（Enterで指示）"));
    PointInput->setMaxLength(64);
    PointInput->setFixedWidth(
        PointInput->fontMetrics().horizontalAdvance(QStringLiteral("@-0000.00,-0000.00")) + 8);
    PointInput->setEnabled(false);
    PointInput->installEventFilter(this);
    connect(PointInput, &QLineEdit::returnPressed, this, &TForm13::EnterPoint);
    // After the pointer, command and prompt panels.
    StatusBar1->insertWidget(3, PointInput);
    // A measure is read off and copied from here.
    notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Long texts are cut at the frame's edge rather than widen the editor as they come.
    for (QLabel *l : {hint, notice})
        l->setMinimumWidth(1);

    OrthoPanel = new QToolButton(StatusBar1);
    OrthoPanel->setObjectName(QStringLiteral("OrthoPanel"));
    OrthoPanel->setText(QStringLiteral("直交"));
    OrthoPanel->setToolTip(QStringLiteral("直交：前の点から水平・垂直に（F8）"));
    OrthoPanel->setCheckable(true);
    OrthoPanel->setAutoRaise(true);
    OrthoPanel->setFocusPolicy(Qt::NoFocus);
    StatusBar1->addPermanentWidget(OrthoPanel);
    connect(OrthoPanel, &QToolButton::clicked, this, &TForm13::SetOrtho);
    mnuDrawOrtho->setCheckable(true);
    mnuDrawOrtho->setShortcut(QKeySequence(Qt::Key_F8));
    mnuDrawOrtho->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(mnuDrawOrtho);
    connect(mnuDrawOrtho, &QAction::triggered, this, &TForm13::SetOrtho);
}

bool TForm13::TypeIntoInput(QKeyEvent *event)
{
    if (!Command().Waiting() || !PointInput->isEnabled()
        || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint() || text.at(0).isSpace())
        return false;
    PointInput->setFocus();
    PointInput->insert(text);
    return true;
}

bool TForm13::InputKey(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Escape)
        return false;
    // The next Escape, on the paint box, ends the command.
    PointInput->clear();
    PaintBox1->setFocus();
    return true;
}

void TForm13::EnterPoint()
{
    switch (control->EnterText(PointInput->text())) {
    case EditorController::Entry::Ignored:
        break;
    case EditorController::Entry::Refused:
        PointInput->selectAll();
        break;
    case EditorController::Entry::Taken:
        PointInput->clear();
        PaintBox1->setFocus();
        break;
    }
}

void TForm13::SetOrtho(bool on)
{
    control->SetOrtho(on);
    OrthoPanel->setChecked(on);
    mnuDrawOrtho->setChecked(on);
    // The band turns at once, not at the next move of the mouse.
    const QPoint at = PaintBox1->mapFromGlobal(QCursor::pos());
    if (PaintBox1->rect().contains(at)) {
        const PaperPoint p = CurrentView().ToPaper(at.x(), at.y());
        control->TrackPoint(p.x, p.y);
        ShowRelative();
    }
}

// Once a point is given the mouse's hint has done its work, and its room shows where the
// next point lies from it.
void TForm13::ShowRelative()
{
    const QString relative = control->Relative();
    if (!relative.isEmpty())
        hint->setText(relative);
}

QString TForm13::RelativeShown() const
{
    return control->Relative().isEmpty() ? QString() : hint->text();
}

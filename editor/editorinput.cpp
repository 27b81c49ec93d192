// Points given by keyboard: the status bar's entry, which keys typed on the paint box go
// into, the ortho hold from the last point, and 測定 with its values shown and copied.
#include "editor/editorwindow.h"

#include "editor/commands/pointinput.h"
#include "editor/model/drawingmodel.h"

#include <QAction>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
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
    if (!command.Waiting() || !PointInput->isEnabled()
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
    if (!command.Waiting())
        return;
    if (command.Selecting()) {
        HandSelection();
        ShowCommand();
        PaintBox1->setFocus();
        return;
    }
    if (EnterValue(PointInput->text()))
        return;
    double lastX = 0, lastY = 0;
    const bool hasLast = command.Last(lastX, lastY);
    const PointEntry entry = ReadPointEntry(PointInput->text(), hasLast, lastX, lastY);
    double x = entry.x, y = entry.y;
    QString error = entry.error;
    if (entry.kind == PointEntry::Nothing)
        return;
    if (entry.kind == PointEntry::Length
        && !PointToward(lastX, lastY, PickX, PickY, entry.length, x, y))
        error = QStringLiteral("方向が決まらないため長さだけの入力は使えません"
                               "（ポインタで方向を示して下さい）");
    if (!error.isEmpty()) {
        // Kept for mending; the command waits on.
        inputError = error;
        SetNotice(error);
        PointInput->selectAll();
        return;
    }
    if (!inputError.isEmpty() && Notice() == inputError)
        SetNotice(QString());
    inputError.clear();
    PointInput->clear();
    PaintBox1->setFocus();
    // Exactly as typed: neither the grid nor ortho moves it.
    TakePoint(x, y);
}

void TForm13::SetOrtho(bool on)
{
    ortho = on;
    OrthoPanel->setChecked(on);
    mnuDrawOrtho->setChecked(on);
    // The band turns at once, not at the next move of the mouse.
    const QPoint at = PaintBox1->mapFromGlobal(QCursor::pos());
    if (PaintBox1->rect().contains(at)) {
        const PaperPoint p = view.ToPaper(at.x(), at.y());
        TrackPoint(p.x, p.y);
    }
}

void TForm13::HoldPoint(double &x, double &y) const
{
    // The horizontal and vertical lines hold themselves; their through point is no origin.
    if (!ortho || command.Code() == HorizontalLine || command.Code() == VerticalLine)
        return;
    double lastX, lastY;
    if (command.Last(lastX, lastY))
        HoldOrtho(lastX, lastY, x, y);
}

// Once a point is given the mouse's hint has done its work, and its room shows where the
// next point lies from it.
void TForm13::ShowRelative()
{
    double lastX, lastY;
    if (!command.Waiting() || !command.Last(lastX, lastY))
        return;
    hint->setText(RelativeText(lastX, lastY, PickX, PickY));
}

QString TForm13::RelativeShown() const
{
    double lastX, lastY;
    return command.Waiting() && command.Last(lastX, lastY) ? hint->text() : QString();
}

void TForm13::StartMeasure()
{
    QString measured;
    if (selection.Size() == 1) {
        if (const Entity *e = model->Find(selection.Entities().front())) {
            const PaperShape shape = model->Paper(*e);
            if (const auto *l = std::get_if<LineShape>(&shape))
                measured = MeasureText(*l);
            else if (const auto *c = std::get_if<CircleShape>(&shape))
                measured = MeasureText(*c);
            else if (const auto *a = std::get_if<ArcShape>(&shape))
                measured = MeasureText(*a);
            else if (std::holds_alternative<TextRef>(shape))
                SetNotice(QStringLiteral("文字は測定出来ません"));
        }
    }
    StartCommand(MeasureCommand);
    if (!measured.isEmpty()) {
        QGuiApplication::clipboard()->setText(measured);
        SetNotice(measured, true);
    }
}

void TForm13::ShowMeasured(const Shape &band)
{
    const LineShape *l = std::get_if<LineShape>(&band);
    if (!l)
        return;
    const QString measured = MeasureText(l->x1, l->y1, l->x2, l->y2);
    QGuiApplication::clipboard()->setText(measured);
    SetNotice(measured, true);
}

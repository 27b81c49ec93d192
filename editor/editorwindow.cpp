#include "editor/editorwindow.h"

#include "app/globals.h"

#include <QMdiSubWindow>

TForm13::TForm13(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form13"));
    setAttribute(Qt::WA_DeleteOnClose);
    // What the opener handed over, before anything else can change it.
    DrawingNo = Globals().CadNo;
    PaperWidth = Globals().PaperWidth;
    PaperHeight = Globals().PaperHeight;
}

QWidget *TForm13::frame()
{
    QWidget *p = parentWidget();
    return qobject_cast<QMdiSubWindow *>(p) ? p : this;
}

void TForm13::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shown)
        return;
    shown = true;
    frame()->resize(Config().EditorWidth, Config().EditorHeight);
}

void TForm13::closeEvent(QCloseEvent *event)
{
    Config().EditorWidth = frame()->width();
    Config().EditorHeight = frame()->height();
    QWidget::closeEvent(event);
}

#include "editor/editorwindow.h"

#include "app/globals.h"
#include "app/ui.h"


TForm13::TForm13(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form13"));
    setAttribute(Qt::WA_DeleteOnClose);
    // What the opener handed over, before anything else can change it.
    DrawingNo = Globals().CadNo;
    PaperWidth = Globals().PaperWidth;
    PaperHeight = Globals().PaperHeight;
}

void TForm13::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shown)
        return;
    shown = true;
    WindowFrame(this)->resize(Config().EditorWidth, Config().EditorHeight);
}

void TForm13::closeEvent(QCloseEvent *event)
{
    Config().EditorWidth = WindowFrame(this)->width();
    Config().EditorHeight = WindowFrame(this)->height();
    QWidget::closeEvent(event);
}

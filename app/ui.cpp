#include "app/ui.h"

#include <QApplication>
#include <QFont>
#include <QWidget>

void SetFixedDialog(QWidget *dialog, int width, int height)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                           | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
    dialog->setAutoFillBackground(true);
    QPalette p = dialog->palette();
    p.setColor(QPalette::Window, Qt::white);
    dialog->setPalette(p);
}

void Place(QWidget *control, int left, int top, int width, int height)
{
    if (width < 0 || height < 0) {
        control->adjustSize();
        control->move(left, top);
        return;
    }
    control->setGeometry(left, top, width, height);
}

void SetUpApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("k417－Harokan"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(13);
    QApplication::setFont(font);
}

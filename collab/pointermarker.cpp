#include "collab/pointermarker.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPolygon>
#include <QRegion>

TForm9::TForm9(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                          | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput)
{
    setObjectName(QStringLiteral("Form9"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAutoFillBackground(true);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(12);
    setFont(font);
}

void TForm9::showEvent(QShowEvent *event)
{
    FormShow();
    QWidget::showEvent(event);
}

void TForm9::FormShow()
{
    const QColor color(MarkerColor & 0xFF, (MarkerColor >> 8) & 0xFF, (MarkerColor >> 16) & 0xFF);
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    Label1->setPalette(p);
    Label1->setText(MarkerText);

    const QFontMetrics metrics(font());
    const int w = std::max(ArrowSize, metrics.horizontalAdvance(MarkerText));
    const int h = metrics.height() + ArrowSize;
    Label1->setGeometry(0, ArrowSize, w, h - ArrowSize);
    resize(w, h);
    const QPolygon shape({QPoint(0, 0), QPoint(12, 24), QPoint(0, 24), QPoint(0, h),
                          QPoint(w, h), QPoint(w, 24), QPoint(12, 24), QPoint(24, 12)});
    setMask(QRegion(shape, Qt::OddEvenFill));
}

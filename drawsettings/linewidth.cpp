#include "drawsettings/linewidth.h"

#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"

#include <QLabel>

TForm17::TForm17(AppContext &context, QWidget *parent)
    : ValueDialog(context, QStringLiteral("Form17"), QStringLiteral("線幅"),
                  QStringLiteral("線幅："),
                  {QString(), QStringLiteral("13"), QStringLiteral("18"), QStringLiteral("25"),
                   QStringLiteral("35"), QStringLiteral("50"), QStringLiteral("70"),
                   QStringLiteral("100"), QStringLiteral("140"), QStringLiteral("200")},
                  &context.settings.WidthDialog, parent)
{
    Label5 = new QLabel(QStringLiteral("※mm値の100倍値(1/100mm単位)で入力"), this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Place(Label5, 8, 34);
}

QString TForm17::ValueText() const
{
    return QString::number(LineWidth);
}

bool TForm17::TakeValue(const QString &text)
{
    const int width = StrToIntZ(text);
    if (width < 0 || width > 30000)
        return false;
    LineWidth = width;
    return true;
}

QString TForm17::RangeMessage() const
{
    return QStringLiteral(
        "線幅は1/100mm単位（mmの100倍値）で、0～30000の整数で入力して下さい(0:レイヤ依存線幅)");
}

bool TForm17::Choose(int &width)
{
    LineWidth = width;
    exec();
    if (Accepted)
        width = LineWidth;
    return Accepted;
}

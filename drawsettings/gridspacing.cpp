#include "drawsettings/gridspacing.h"

#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"

#include <QLabel>

TForm18::TForm18(AppContext &context, QWidget *parent)
    : ValueDialog(context, QStringLiteral("Form18"), QStringLiteral("グリッド"),
                  QStringLiteral("グリッド間隔："),
                  {QStringLiteral("表示しない"), QStringLiteral("0.01"), QStringLiteral("0.05"),
                   QStringLiteral("0.1"), QStringLiteral("0.5"), QStringLiteral("1"),
                   QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("20"),
                   QStringLiteral("50"), QStringLiteral("100")},
                  &context.settings.GridDialog, parent)
{
    Label2 = new QLabel(QStringLiteral("※用紙上寸法mmで指定して下さい"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Place(Label2, 8, 34);
}

QString TForm18::ValueText() const
{
    return FloatText(GridSpacing);
}

bool TForm18::TakeValue(const QString &text)
{
    // A spacing this fine would turn pointer positions into infinities when snapped.
    const double spacing = StrToFloatZ(text);
    if (!(spacing == 0 || (spacing >= 0.00001 && spacing <= 10000)))
        return false;
    GridSpacing = spacing;
    return true;
}

QString TForm18::RangeMessage() const
{
    return QStringLiteral("グリッド間隔は 0～10000範囲内で入力して下さい");
}

bool TForm18::Choose(double &spacing)
{
    GridSpacing = spacing;
    exec();
    if (Accepted)
        spacing = GridSpacing;
    return Accepted;
}

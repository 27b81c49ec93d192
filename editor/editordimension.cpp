// The editor's dimension commands: the 寸法 menu, and the look of dimensions kept with this
// PC's settings. A stored dimension is plain lines, arcs and texts; later edits treat them
// one by one.
#include "editor/editorwindow.h"

#include "base/appcontext.h"
#include "base/settings.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>

#include <cmath>

namespace {

struct DimensionItem
{
    int code;
    const char *name;
    const char *caption;
};

constexpr DimensionItem DimensionItems[] = {
    {DimHorizontal, "mnuDimHorizontal", "水平寸法(&H)"},
    {DimVertical, "mnuDimVertical", "垂直寸法(&V)"},
    {DimAligned, "mnuDimAligned", "平行寸法(&A)"},
    {DimRadius, "mnuDimRadius", "半径寸法(&R)"},
    {DimDiameter, "mnuDimDiameter", "直径寸法(&I)"},
    {DimAngle, "mnuDimAngle", "角度寸法(&G)"},
    {DimLeader, "mnuDimLeader", "引出線(&L)"},
};

const char *const Heights[] = {"2.5", "3.5", "5", "7"};

DimensionOptions fromSettings(const Settings &s)
{
    DimensionOptions o;
    o.textHeight = s.DimTextHeight;
    o.arrow = s.DimArrowKind;
    o.arrowSize = s.DimArrowSize;
    o.overshoot = s.DimOvershoot;
    o.gap = s.DimGap;
    o.decimals = s.DimDecimals;
    return o;
}

bool length(const QLineEdit *edit, double &v, double low)
{
    bool ok = false;
    v = edit->text().trimmed().toDouble(&ok);
    return ok && std::isfinite(v) && v >= low && v <= 50;
}

} // namespace

void TForm13::SetUpDimensions(QMenuBar *bar)
{
    QMenu *dims = bar->addMenu(QStringLiteral("寸法(&M)"));
    dims->setObjectName(QStringLiteral("mnuDim"));
    for (const DimensionItem &d : DimensionItems) {
        const int code = d.code;
        QAction *a = dims->addAction(QString::fromUtf8(d.caption));
        a->setObjectName(QString::fromLatin1(d.name));
        connect(a, &QAction::triggered, this, [this, code] { StartDimension(code); });
        if (code == DimAligned || code == DimDiameter || code == DimAngle)
            dims->addSeparator();
    }
    dims->addSeparator();
    QAction *set = dims->addAction(QStringLiteral("寸法の設定(&D)..."));
    set->setObjectName(QStringLiteral("mnuDimSettings"));
    connect(set, &QAction::triggered, this, &TForm13::AskDimensionSettings);
}

void TForm13::StartDimension(int code)
{
    control->Command().Dimensions() = fromSettings(context.settings);
    // The leader's text is asked for first, as the text command's is.
    StartCommand(code);
}

void TForm13::AskDimensionSettings()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("DimensionDialog"));
    dialog.setWindowTitle(QStringLiteral("寸法の設定"));
    auto *form = new QFormLayout(&dialog);
    auto *height = new QComboBox(&dialog);
    height->setObjectName(QStringLiteral("DimHeightBox"));
    for (const char *h : Heights)
        height->addItem(QString::fromLatin1(h));
    auto *arrow = new QComboBox(&dialog);
    arrow->setObjectName(QStringLiteral("DimArrowBox"));
    arrow->addItems({QStringLiteral("矢印"), QStringLiteral("斜線"), QStringLiteral("黒丸")});
    const auto edit = [&](const char *name, double v) {
        auto *e = new QLineEdit(QString::number(v, 'g', 10), &dialog);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    const Settings &s = context.settings;
    auto *size = edit("DimArrowSizeEdit", s.DimArrowSize);
    auto *overshoot = edit("DimOvershootEdit", s.DimOvershoot);
    auto *gap = edit("DimGapEdit", s.DimGap);
    auto *decimals = new QSpinBox(&dialog);
    decimals->setObjectName(QStringLiteral("DimDecimalsBox"));
    decimals->setRange(0, 3);
    decimals->setValue(s.DimDecimals);
    height->setCurrentText(QString::number(s.DimTextHeight, 'g', 10));
    arrow->setCurrentIndex(s.DimArrowKind);
    form->addRow(QStringLiteral("文字の高さ(mm)"), height);
    form->addRow(QStringLiteral("端末記号"), arrow);
    form->addRow(QStringLiteral("端末記号の大きさ(mm)"), size);
    form->addRow(QStringLiteral("寸法補助線の延長(mm)"), overshoot);
    form->addRow(QStringLiteral("寸法補助線の隙間(mm)"), gap);
    form->addRow(QStringLiteral("小数点以下の桁数"), decimals);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel,
                                         &dialog);
    form->addRow(buttons);
    double sizeValue = 0, overshootValue = 0, gapValue = 0;
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        if (!length(size, sizeValue, 0.1)) {
            Tell(QStringLiteral("端末記号の大きさは0.1～50の数値で入力して下さい"));
            return;
        }
        if (!length(overshoot, overshootValue, 0) || !length(gap, gapValue, 0)) {
            Tell(QStringLiteral("寸法補助線の延長と隙間は0～50の数値で入力して下さい"));
            return;
        }
        dialog.accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Settings &c = context.settings;
    c.DimTextHeight = height->currentText().toDouble();
    c.DimArrowKind = arrow->currentIndex();
    c.DimArrowSize = sizeValue;
    c.DimOvershoot = overshootValue;
    c.DimGap = gapValue;
    c.DimDecimals = decimals->value();
    control->Command().Dimensions() = fromSettings(context.settings);
}

#include "drawsettings/linetypes.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "db/sqltext.h"
#include "editor/pen/canvas.h"
#include "editor/pen/pen.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int MaxPitch = 30000;

class LinePreview : public QWidget
{
public:
    LinePreview(const TForm16 *dialog, QWidget *parent) : QWidget(parent), dialog(dialog) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QImage image(size(), QImage::Format_RGB32);
        const QList<int> pitches = dialog->Pitches();
        LinePen pen;
        pen.count = dialog->SegmentCount();
        for (int i = 0; i < pen.count; ++i) {
            pen.pitches[i] = pitches[i] / 100.0;
            pen.total += pen.pitches[i];
        }
        // About two periods across, never coarser than 4 pixels per millimetre.
        double scale = 4;
        if (pen.total > 0)
            scale = std::clamp(width() / (2 * pen.total), 0.05, 4.0);
        const ViewParams view{scale, 0, 0, width() / scale, height() / scale, width(),
                              height()};
        {
            Canvas canvas(image);
            ClearCanvas(canvas, width(), height());
            const double y = (height() / 2 + 0.5) / scale;
            DrawStyledLine(canvas, view, pen, 2 / scale, y, (width() - 2) / scale, y);
        }
        QPainter(this).drawImage(0, 0, image);
    }

private:
    const TForm16 *dialog;
};

} // namespace

TForm16::TForm16(AppContext &context, QWidget *parent)
    : TableDialog(context,
                  {QStringLiteral("Form16"), QStringLiteral("線種"), QStringLiteral("LTYPE_"),
                   QStringLiteral("現在の線種："), 606, 342, 170,
                   {QStringLiteral("No."), QStringLiteral("線種名"),
                    QStringLiteral("セグメント数"), QStringLiteral("線長1"),
                    QStringLiteral("空白1"), QStringLiteral("線長2"), QStringLiteral("空白2"),
                    QStringLiteral("線長3"), QStringLiteral("空白3"), QStringLiteral("線長4"),
                    QStringLiteral("空白4"), QStringLiteral("線長5"), QStringLiteral("空白5")},
                   33, 1, QStringLiteral("レイヤ依存線種"), &context.settings.LtypesDialog,
                   context.settings.LtypesColumns},
                  parent)
{
    const int top = EditTop() + 26;
    auto label = [this](const char *name, const QString &text, int x, int y) {
        return AddLabel(this, QString::fromLatin1(name), text, x, y + 3);
    };
    Label1 = label("Label1", QStringLiteral("セグメント数："), 8, top);
    ComboBox1 = AddComboBox(this, QStringLiteral("ComboBox1"), 112, top, 60);
    ComboBox1->addItems({QStringLiteral("0"), QStringLiteral("2"), QStringLiteral("4"),
                         QStringLiteral("6"), QStringLiteral("8"), QStringLiteral("10")});
    Label2 = label("Label2", QStringLiteral("各ピッチ長さ："), 8, top + 26);
    for (int i = 0; i < 10; ++i) {
        QLineEdit *e = AddEdit(this, QStringLiteral("Edit%1").arg(i + 3), 112 + i * 49, top + 26,
                               46);
        LimitBytes(e, 5);
        NoInputMethod(e);
        PitchEdit[i] = e;
    }
    Label5 = label("Label5", QStringLiteral("※ピッチはmm値の100倍値(1/100mm単位)で入力"), 8,
                   top + 52);
    Preview = new LinePreview(this, this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Place(Preview, 340, top + 52, 258, 21);

    auto repaint = [this] { Preview->update(); };
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, repaint);
    for (QLineEdit *e : PitchEdit)
        connect(e, &QLineEdit::textChanged, this, repaint);
}

int TForm16::SegmentCount() const
{
    // Nothing chosen counts as a solid line.
    return std::max(ComboBox1->currentIndex(), 0) * 2;
}

QList<int> TForm16::Pitches() const
{
    QList<int> pitches;
    for (const QLineEdit *e : PitchEdit) {
        const int p = StrToIntZ(e->text());
        pitches << (p >= 0 && p <= MaxPitch ? p : 0);
    }
    return pitches;
}

void TForm16::RowToEdits(const QStringList &cells)
{
    Edit1->setText(cells.value(0));
    Edit2->setText(cells.value(1));
    const int count = StrToIntZ(cells.value(2));
    ComboBox1->setCurrentIndex(count >= 0 && count <= 10 && count % 2 == 0 ? count / 2 : 0);
    for (int i = 0; i < 10; ++i)
        PitchEdit[i]->setText(cells.value(3 + i));
}

void TForm16::ClearEdits()
{
    ComboBox1->setCurrentIndex(0);
    for (QLineEdit *e : PitchEdit)
        e->clear();
}

bool TForm16::CheckNumber()
{
    if (Number() != 0)
        return true;
    context.messages.Show(QStringLiteral("No.0 レイヤ依存線種の設定は出来ません"));
    return false;
}

bool TForm16::CheckEdits()
{
    const int count = SegmentCount();
    const QList<int> pitches = Pitches();
    int sum = 0;
    for (int i = 0; i < count; ++i)
        sum += pitches[i];
    if (count < 2 || sum != 0)
        return true;
    context.messages.Show(QStringLiteral("線種の各ピッチを入力して下さい"));
    return false;
}

QStringList TForm16::WriteColumns() const
{
    QStringList columns = {QStringLiteral("N"), QStringLiteral("SNAME"), QStringLiteral("SN")};
    for (int i = 1; i <= 10; ++i)
        columns << QStringLiteral("P%1").arg(i);
    return columns;
}

QStringList TForm16::WriteValues() const
{
    const int count = SegmentCount();
    const QList<int> pitches = Pitches();
    QStringList values = {QString::number(Number()), SqlQuoted(Edit2->text()),
                          QString::number(count)};
    for (int i = 0; i < 10; ++i)
        values << QString::number(i < count ? pitches[i] : 0);
    return values;
}

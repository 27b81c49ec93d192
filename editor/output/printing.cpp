#include "editor/output/printing.h"

#include "editor/output/paperdrawing.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr double FitMargin = 10; // mm around a fitted sheet
constexpr double Slack = 0.5; // mm a page may fall short and still hold the sheet

QString scaleNote(double scale)
{
    return QStringLiteral("縮尺 %1%").arg(QString::number(scale * 100, 'f', 1));
}

} // namespace

void PreparePrinter(QPrinter &printer, const PaperDrawing &drawing)
{
    const QPageSize size(QSizeF(drawing.width, drawing.height), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyOrientationMatch);
    printer.setPageSize(size);
    printer.setPageOrientation(drawing.width > drawing.height ? QPageLayout::Landscape
                                                              : QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer.setDocName(drawing.name);
}

SheetPlacement PlaceSheet(const QPrinter &printer, const PaperDrawing &drawing,
                          const PrintChoice &choice)
{
    SheetPlacement p;
    const QRectF paper = printer.paperRect(QPrinter::Millimeter);
    const QRectF device = printer.paperRect(QPrinter::DevicePixel);
    const double perMm = paper.width() > 0 ? device.width() / paper.width() : 1;
    // The part printed, paper mm with y up: the sheet, or what of it the view shows.
    const double hw = drawing.width / 2, hh = drawing.height / 2;
    double x1 = -hw, y1 = -hh, x2 = hw, y2 = hh;
    if (choice.part && std::isfinite(choice.x1) && std::isfinite(choice.y1)
        && std::isfinite(choice.x2) && std::isfinite(choice.y2)) {
        const double cx1 = std::max(x1, choice.x1), cy1 = std::max(y1, choice.y1);
        const double cx2 = std::min(x2, choice.x2), cy2 = std::min(y2, choice.y2);
        // A view beside the sheet prints the sheet rather than nothing.
        if (cx2 > cx1 && cy2 > cy1) {
            x1 = cx1;
            y1 = cy1;
            x2 = cx2;
            y2 = cy2;
        }
    }
    const double w = std::max(x2 - x1, 1e-6), h = std::max(y2 - y1, 1e-6);
    const bool holds = w <= paper.width() + Slack && h <= paper.height() + Slack;
    if (choice.mode == PrintChoice::Fixed && choice.scale > 0 && std::isfinite(choice.scale)) {
        p.scale = choice.scale;
    } else if (choice.mode == PrintChoice::Fit || !holds) {
        const double pw = std::max(paper.width() - 2 * FitMargin, 1.0);
        const double ph = std::max(paper.height() - 2 * FitMargin, 1.0);
        p.scale = std::min(pw / w, ph / h);
    }
    const double k = p.scale * perMm;
    // The painter's origin is the paper's corner when the whole page is usable, else the
    // printable area's.
    QRectF page = device;
    if (!printer.fullPage())
        page.moveTopLeft(-printer.pageRect(QPrinter::DevicePixel).topLeft());
    const QRectF part(page.center() - QPointF(w * k / 2, h * k / 2), QSizeF(w * k, h * k));
    p.target = QRectF(part.left() - (x1 + hw) * k, part.top() - (hh - y2) * k,
                      drawing.width * k, drawing.height * k);
    if (x1 > -hw || y1 > -hh || x2 < hw || y2 < hh)
        p.clip = part;
    return p;
}

QString ScaleNote(const SheetPlacement &placement, const PrintChoice &choice)
{
    if (choice.mode != PrintChoice::Fixed)
        return scaleNote(placement.scale);
    const double s = placement.scale;
    return QStringLiteral("縮尺 ")
           + (s >= 1 ? QString::number(s, 'g', 6) + QStringLiteral(":1")
                     : QStringLiteral("1:") + QString::number(1 / s, 'g', 6));
}

void BeginSheetPage(QPainter &painter, const QPrinter &printer, const PaperDrawing &drawing,
                    const PrintChoice &choice)
{
    const SheetPlacement p = PlaceSheet(printer, drawing, choice);
    if (!p.clip.isEmpty())
        painter.setClipRect(p.clip);
    MapSheet(painter, drawing, p.target);
    PaintSheetFrame(painter, drawing);
    if (p.scale == 1)
        return;
    painter.save();
    painter.setClipping(false);
    painter.resetTransform();
    const double perMm = p.target.width() / (drawing.width * p.scale);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(std::max(1, int(4 * perMm)));
    painter.setFont(font);
    painter.setPen(Qt::black);
    // Under the printed part's lower right corner, in the margin the fitting left; kept on
    // the page when the part runs past it.
    const QRectF part = p.clip.isEmpty() ? p.target : p.clip;
    const QRectF device = printer.paperRect(QPrinter::DevicePixel);
    const double right = std::min(part.right(), device.width() - perMm);
    const double top = std::min(part.bottom() + perMm, device.height() - 7 * perMm);
    const QRectF note(right - 60 * perMm, top, 60 * perMm, 6 * perMm);
    painter.drawText(note, Qt::AlignRight | Qt::AlignTop, ScaleNote(p, choice));
    painter.restore();
}

void PaintSheetPage(QPrinter &printer, const PaperDrawing &drawing, const PaperStyle &style,
                    const PrintChoice &choice)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    BeginSheetPage(painter, printer, drawing, choice);
    PaintPaperLines(painter, drawing, 0, drawing.lines.size(), style);
    painter.end();
}

namespace {

struct ScaleEntry
{
    const char16_t *text;
    PrintChoice::Mode mode;
    double scale;
};

// The JIS series either side of full size.
const ScaleEntry scaleEntries[] = {
    {u"自動（用紙に収まれば原寸）", PrintChoice::Auto, 1},
    {u"用紙に合わせる", PrintChoice::Fit, 1},
    {u"原寸 (1:1)", PrintChoice::Fixed, 1},
    {u"1:2", PrintChoice::Fixed, 0.5},
    {u"1:5", PrintChoice::Fixed, 0.2},
    {u"1:10", PrintChoice::Fixed, 0.1},
    {u"1:20", PrintChoice::Fixed, 0.05},
    {u"1:50", PrintChoice::Fixed, 0.02},
    {u"2:1", PrintChoice::Fixed, 2},
    {u"5:1", PrintChoice::Fixed, 5},
};

} // namespace

PrintPreview::PrintPreview(QPrinter &printer, const PaperDrawing &drawing,
                           const PaperStyle &style, QWidget *parent, const PrintChoice &view)
    : QDialog(parent), drawing(drawing), printer(printer), view(view)
{
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(QStringLiteral("印刷プレビュー － ") + drawing.name);
    Preview = new QPrintPreviewWidget(&printer, this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->fitInView();
    connect(Preview, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter *p) { PaintSheetPage(*p, this->drawing, Style(), choice); });

    ScaleBox = new QComboBox(this);
    ScaleBox->setObjectName(QStringLiteral("ScaleBox"));
    for (const ScaleEntry &e : scaleEntries)
        ScaleBox->addItem(QString::fromUtf16(e.text));
    AreaBox = new QComboBox(this);
    AreaBox->setObjectName(QStringLiteral("AreaBox"));
    AreaBox->addItems({QStringLiteral("用紙全体"), QStringLiteral("表示範囲")});
    // Without a view there is no part to offer.
    AreaBox->setEnabled(view.part);
    BlackBox = new QCheckBox(QStringLiteral("白黒で印刷する(&B)"), this);
    BlackBox->setObjectName(QStringLiteral("BlackBox"));
    BlackBox->setChecked(style.black);
    ScaleLabel = new QLabel(this);
    ScaleLabel->setObjectName(QStringLiteral("ScaleLabel"));
    auto *scaleLabel = new QLabel(QStringLiteral("縮尺(&S)："), this);
    scaleLabel->setBuddy(ScaleBox);
    auto *areaLabel = new QLabel(QStringLiteral("範囲(&A)："), this);
    areaLabel->setBuddy(AreaBox);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *print = buttons->addButton(QStringLiteral("印刷(&P)..."),
                                            QDialogButtonBox::AcceptRole);
    print->setObjectName(QStringLiteral("PrintButton"));
    buttons->addButton(QStringLiteral("閉じる(&C)"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ScaleBox, &QComboBox::currentIndexChanged, this, &PrintPreview::Changed);
    connect(AreaBox, &QComboBox::currentIndexChanged, this, &PrintPreview::Changed);
    connect(BlackBox, &QCheckBox::toggled, this, &PrintPreview::Changed);

    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(scaleLabel);
    top->addWidget(ScaleBox);
    top->addSpacing(12);
    top->addWidget(areaLabel);
    top->addWidget(AreaBox);
    top->addSpacing(12);
    top->addWidget(BlackBox);
    top->addStretch(1);
    layout->addLayout(top);
    layout->addWidget(Preview, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(ScaleLabel, 1);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    resize(800, 640);
    Changed();
}

PaperStyle PrintPreview::Style() const
{
    return PaperStyle{BlackBox->isChecked()};
}

void PrintPreview::Changed()
{
    const ScaleEntry &e = scaleEntries[std::clamp(ScaleBox->currentIndex(), 0,
                                                  int(std::size(scaleEntries)) - 1)];
    choice = AreaBox->currentIndex() == 1 ? view : PrintChoice();
    choice.part = AreaBox->currentIndex() == 1 && view.part;
    choice.mode = e.mode;
    choice.scale = e.scale;
    const SheetPlacement place = PlaceSheet(printer, drawing, choice);
    if (choice.mode == PrintChoice::Fixed)
        ScaleLabel->setText(ScaleNote(place, choice) + QStringLiteral(" で印刷します"));
    else if (place.scale == 1)
        ScaleLabel->setText(QStringLiteral("原寸で印刷します"));
    else
        ScaleLabel->setText(ScaleNote(place, choice)
                            + (place.scale < 1 ? QStringLiteral("に縮小して印刷します")
                                               : QStringLiteral("に拡大して印刷します")));
    Preview->updatePreview();
}

#include "editor/output/printing.h"

#include "editor/output/paperdrawing.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>

#include <algorithm>
#include <cmath>

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

SheetPlacement PlaceSheet(const QPrinter &printer, const PaperDrawing &drawing)
{
    SheetPlacement p;
    const QRectF paper = printer.paperRect(QPrinter::Millimeter);
    const QRectF device = printer.paperRect(QPrinter::DevicePixel);
    const double perMm = paper.width() > 0 ? device.width() / paper.width() : 1;
    const bool holds = drawing.width <= paper.width() + Slack
                       && drawing.height <= paper.height() + Slack;
    if (!holds) {
        const double w = std::max(paper.width() - 2 * FitMargin, 1.0);
        const double h = std::max(paper.height() - 2 * FitMargin, 1.0);
        p.scale = std::min(w / drawing.width, h / drawing.height);
    }
    const QSizeF size(drawing.width * p.scale * perMm, drawing.height * p.scale * perMm);
    // The painter's origin is the paper's corner when the whole page is usable, else the
    // printable area's.
    QRectF page = device;
    if (!printer.fullPage())
        page.moveTopLeft(-printer.pageRect(QPrinter::DevicePixel).topLeft());
    p.target = QRectF(page.center() - QPointF(size.width() / 2, size.height() / 2), size);
    return p;
}

void BeginSheetPage(QPainter &painter, const QPrinter &printer, const PaperDrawing &drawing)
{
    const SheetPlacement p = PlaceSheet(printer, drawing);
    MapSheet(painter, drawing, p.target);
    PaintSheetFrame(painter, drawing);
    if (p.scale == 1)
        return;
    painter.save();
    painter.resetTransform();
    const double perMm = p.target.width() / (drawing.width * p.scale);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(std::max(1, int(4 * perMm)));
    painter.setFont(font);
    painter.setPen(Qt::black);
    // Under the sheet's lower right corner, in the margin the fitting left.
    const QRectF note(p.target.right() - 60 * perMm, p.target.bottom() + perMm, 60 * perMm,
                      6 * perMm);
    painter.drawText(note, Qt::AlignRight | Qt::AlignTop, scaleNote(p.scale));
    painter.restore();
}

void PaintSheetPage(QPrinter &printer, const PaperDrawing &drawing, const PaperStyle &style)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    BeginSheetPage(painter, printer, drawing);
    PaintPaperLines(painter, drawing, 0, drawing.lines.size(), style);
    painter.end();
}

PrintOptionsPage::PrintOptionsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PrintOptionsPage"));
    setWindowTitle(QStringLiteral("図面"));
    BlackBox = new QCheckBox(QStringLiteral("白黒で印刷する(&B)"), this);
    BlackBox->setObjectName(QStringLiteral("BlackBox"));
    PreviewBox = new QCheckBox(QStringLiteral("印刷前にプレビューを表示する(&V)"), this);
    PreviewBox->setObjectName(QStringLiteral("PreviewBox"));
    PreviewBox->setChecked(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(BlackBox);
    layout->addWidget(PreviewBox);
    layout->addWidget(new QLabel(QStringLiteral("用紙に収まらない図面は縮小して印刷し、"
                                                "縮尺を右下に記入します。"),
                                 this));
    layout->addStretch(1);
}

PrintPreview::PrintPreview(QPrinter &printer, const PaperDrawing &drawing,
                           const PaperStyle &style, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(QStringLiteral("印刷プレビュー － ") + drawing.name);
    Preview = new QPrintPreviewWidget(&printer, this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->fitInView();
    connect(Preview, &QPrintPreviewWidget::paintRequested, this,
            [&drawing, style](QPrinter *p) { PaintSheetPage(*p, drawing, style); });
    const SheetPlacement place = PlaceSheet(printer, drawing);
    auto *note = new QLabel(place.scale == 1 ? QStringLiteral("原寸で印刷します")
                                             : scaleNote(place.scale)
                                                   + QStringLiteral("に縮小して印刷します"),
                            this);
    note->setObjectName(QStringLiteral("ScaleLabel"));
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *print = buttons->addButton(QStringLiteral("印刷(&P)"),
                                            QDialogButtonBox::AcceptRole);
    print->setObjectName(QStringLiteral("PrintButton"));
    buttons->addButton(QStringLiteral("閉じる(&C)"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Preview, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(note, 1);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    resize(800, 640);
}

#include "editor/output/pdffile.h"

#include "editor/output/paperdrawing.h"
#include "editor/output/paperpainter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

PdfFile::PdfFile() = default;

PdfFile::~PdfFile()
{
    Abort();
}

bool PdfFile::Begin(const QString &path, const PaperDrawing &paper)
{
    drawing = &paper;
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    writer = std::make_unique<QPdfWriter>(&file);
    writer->setTitle(paper.name);
    writer->setCreator(QStringLiteral("Harokan"));
    const QPageSize size(QSizeF(paper.width, paper.height), QPageSize::Millimeter, QString(),
                         QPageSize::ExactMatch);
    writer->setPageLayout(
        QPageLayout(size, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter));
    if (!painter.begin(writer.get()))
        return false;
    MapSheet(painter, paper, QRectF(0, 0, writer->width(), writer->height()));
    PaintSheetFrame(painter, paper);
    return true;
}

bool PdfFile::Lines(size_t from, size_t to)
{
    PaintPaperLines(painter, *drawing, from, to, PaperStyle());
    return painter.isActive();
}

bool PdfFile::End()
{
    const bool painted = painter.end();
    writer.reset();
    return painted && file.commit();
}

void PdfFile::Abort()
{
    if (painter.isActive())
        painter.end();
    writer.reset();
    file.cancelWriting();
}

bool WritePdfFile(const PaperDrawing &drawing, const QString &path)
{
    PdfFile pdf;
    if (!pdf.Begin(path, drawing) || !pdf.Lines(0, drawing.lines.size()) || !pdf.End()) {
        pdf.Abort();
        return false;
    }
    return true;
}

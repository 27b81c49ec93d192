// Printing a sheet: the printer set up for the drawing's paper, where the sheet lands on the
// printer's page (full scale when the page holds it, else fitted with the scale noted in a
// corner), the options page of the print dialog and the preview window.
#pragma once

#include "editor/output/paperpainter.h"

#include <QDialog>
#include <QRectF>
#include <QWidget>

class QCheckBox;
class QPainter;
class QPrinter;
class QPrintPreviewWidget;
struct PaperDrawing;

// Page size and orientation of the drawing's paper, the whole page usable, the drawing's name
// as the document's.
void PreparePrinter(QPrinter &printer, const PaperDrawing &drawing);

struct SheetPlacement
{
    QRectF target; // device coordinates of the sheet
    double scale = 1; // 1: full scale
};
SheetPlacement PlaceSheet(const QPrinter &printer, const PaperDrawing &drawing);

// Opens the page: the painter mapped to the sheet, the frame and, when fitted, the scale
// note. The lines follow with PaintPaperLines.
void BeginSheetPage(QPainter &painter, const QPrinter &printer, const PaperDrawing &drawing);
// The whole page at once, as the preview asks for it.
void PaintSheetPage(QPrinter &printer, const PaperDrawing &drawing, const PaperStyle &style);

// The print dialog's own page of the program's options.
class PrintOptionsPage : public QWidget
{
    Q_OBJECT

public:
    explicit PrintOptionsPage(QWidget *parent = nullptr);
    QCheckBox *BlackBox;
    QCheckBox *PreviewBox;
};

// The page as it will print; accepted with "印刷(&P)".
class PrintPreview : public QDialog
{
    Q_OBJECT

public:
    PrintPreview(QPrinter &printer, const PaperDrawing &drawing, const PaperStyle &style,
                 QWidget *parent = nullptr);
    QPrintPreviewWidget *Preview;
};

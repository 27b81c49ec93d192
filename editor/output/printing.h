// Printing a sheet: the printer set up for the drawing's paper, where the sheet lands on the
// printer's page (full scale when the page holds it, else fitted with the scale noted in a
// corner, or at a chosen scale), and the preview window that comes before the print dialog.
#pragma once

#include "editor/output/paperpainter.h"
#include "editor/output/printchoice.h"

#include <QDialog>
#include <QRectF>
#include <QWidget>

class QCheckBox;
class QLabel;
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
    QRectF clip; // device coordinates of the part printed; empty for the whole sheet
    double scale = 1; // 1: full scale
};
SheetPlacement PlaceSheet(const QPrinter &printer, const PaperDrawing &drawing,
                          const PrintChoice &choice = PrintChoice());
// "縮尺 64.0%", or "縮尺 1:2" for a chosen one.
QString ScaleNote(const SheetPlacement &placement, const PrintChoice &choice);

// Opens the page: the painter mapped to the sheet, the frame and, when not full size, the
// scale note. The lines follow with PaintPaperLines.
void BeginSheetPage(QPainter &painter, const QPrinter &printer, const PaperDrawing &drawing,
                    const PrintChoice &choice = PrintChoice());
// The whole page at once, as the preview asks for it.
void PaintSheetPage(QPrinter &printer, const PaperDrawing &drawing, const PaperStyle &style,
                    const PrintChoice &choice = PrintChoice());

class QComboBox;

// The page as it will print, with the choice of scale, part and colours; accepted with
// "印刷(&P)...", after which the printer's dialog follows.
class PrintPreview : public QDialog
{
    Q_OBJECT

public:
    // view: the part of the sheet the editor shows, offered as the part to print.
    PrintPreview(QPrinter &printer, const PaperDrawing &drawing, const PaperStyle &style,
                 QWidget *parent = nullptr, const PrintChoice &view = PrintChoice());
    QPrintPreviewWidget *Preview;
    QComboBox *ScaleBox;
    QComboBox *AreaBox;
    QCheckBox *BlackBox;
    QLabel *ScaleLabel;

    const PrintChoice &Choice() const { return choice; }
    PaperStyle Style() const;

private:
    void Changed();

    const PaperDrawing &drawing;
    QPrinter &printer;
    PrintChoice view;
    PrintChoice choice;
};

// Paints a drawing's sheet as vector strokes on any painter (PDF, printer, preview, image):
// widths in millimetres, the dash patterns of the screen's pen, the sheet's frame.
#pragma once

#include "db/entityrows.h"
#include "editor/pen/pen.h"

#include <QRectF>

#include <cstddef>
#include <functional>

class QColor;
class QPainter;
struct PaperDrawing;

struct PaperStyle
{
    bool black = false; // every stroke black, as on a monochrome printer
};

// Sets the painter so that paper millimetres (origin at the sheet's centre, y up) land on
// target, a rectangle in the painter's device coordinates that the sheet fills.
void MapSheet(QPainter &painter, const PaperDrawing &drawing, const QRectF &target);
// The sheet's edge, drawn just inside it.
void PaintSheetFrame(QPainter &painter, const PaperDrawing &drawing);
// A text as real text, each character in its cell as the screen draws it, on a painter
// mapped by MapSheet.
void PaintPaperText(QPainter &painter, const TextShape &t, const QColor &colour);
// Entities from .. to - 1 of the drawing, in order.
void PaintPaperLines(QPainter &painter, const PaperDrawing &drawing, size_t from, size_t to,
                     const PaperStyle &style);

// A drawing as it goes to paper: the sheet, and the live entities of layers that are shown and
// printed, in ascending entity number, with everything the pen needs resolved. Taken from
// the drawing in memory in one go, so that printing and exporting in steps see one state of
// the drawing whatever the editor takes in meanwhile.
#pragma once

#include "db/entityrows.h"
#include "editor/pen/pen.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class DrawingModel;
struct SheetFrame;

// A layer that has lines on paper, with the look of its layer-dependent values.
struct PaperLayer
{
    int n = 0;
    QString name;
    int32_t colour = 0; // 0x00BBGGRR
    int32_t width = 0; // 1/100 mm
    int type = -1; // position in PaperDrawing::types
    bool shown = true, printed = true; // false only when every layer is taken
};

// A line type in use; a continuous one has count 0.
struct PaperLineType
{
    int n = 0;
    QString name;
    LinePen pattern;
};

// A line, or another kind in shape (paper mm; a text's strings with it).
struct SheetLine
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0; // paper mm
    Shape shape; // nothing for a line
    int32_t colour = 0; // 0x00BBGGRR
    int32_t width = 0; // 1/100 mm
    int32_t layer = 0; // position in PaperDrawing::layers
    int32_t type = 0; // position in PaperDrawing::types
    bool ownColour = false; // not the layer's
    bool ownType = false;
    bool ownWidth = false;
};

struct PaperDrawing
{
    QString name;
    double width = 0, height = 0; // mm
    std::vector<PaperLayer> layers; // ascending number
    std::vector<PaperLineType> types;
    std::vector<SheetLine> lines;

    // The line's pen with its pattern at the start.
    LinePen PenOf(const SheetLine &line) const;
};

// A sheet without a size is taken as 420 x 297, as the editor shows it. With everyLayer,
// hidden and non-printing layers come too, as an exchange file keeps them.
PaperDrawing TakePaperDrawing(const DrawingModel &model, const QString &name, double width,
                              double height, bool everyLayer = false);

// The layer the frame and title block go out on, after every layer of the drawing.
constexpr int SheetFrameLayer = 256;
QString SheetFrameLayerName();
// The frame's lines and texts on a layer of their own, in black and continuous.
void AddSheetFrame(PaperDrawing &drawing, const SheetFrame &frame);
// How a line is stroked on paper: the pattern begun at (x1, y1) as on screen, a line no
// longer than one period continuous, walked only within box (paper mm) so that lines running
// far beyond the sheet cost nothing. Each dash and dot as WalkDashes gives them.
void WalkPaperLine(LinePen &pen, double x1, double y1, double x2, double y2, double boxX1,
                   double boxY1, double boxX2, double boxY2,
                   const std::function<void(bool dot, double, double, double, double)> &each);

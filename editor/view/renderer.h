// The picture of a drawing for a view, painted from the drawing in memory onto a canvas.
#pragma once

#include "db/entityrows.h"
#include "editor/model/drawingmodel.h"
#include "editor/pen/pen.h"
#include "editor/view/textpaint.h"

#include <QImage>

#include <cstdint>
#include <vector>

class Canvas;
struct SheetFrame;
struct Entity;
struct TextRef;
struct TextStrings;

// What the picture shows besides the lines: the paper size in mm and the grid spacing
// (0 for none).
struct Sheet
{
    double paperWidth = 0;
    double paperHeight = 0;
    double grid = 0;
    // The frame and title block inside the paper; none when null or not shown.
    const SheetFrame *frame = nullptr;
};

// White, the cyan window frame, fine and coarse grid, the black paper frame, the red
// origin mark, then every live entity in ascending entity number.
void RenderPicture(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                   const Sheet &sheet);
// The picture of the view after from the picture of the view before, when the two are one
// pan of whole pixels apart and overlap: the part both show is moved, the rest rendered.
// False, with out untouched, for any other change of view. A picture given in out of the
// size and not shared is drawn over; threads as RenderPictureInBands takes them.
bool RenderPanned(const QImage &before, const ViewParams &from, const ViewParams &after,
                  const DrawingModel &model, const Sheet &sheet, QImage &out,
                  int threads = 0);
// The picture of the view after the entities given were added, erased or restored: only
// the pixels their strokes can reach drawn again, from the sheet up, so that it equals the
// picture drawn anew. False, with the picture untouched, when so much would be drawn again
// that a whole redraw is as quick, or the picture is not of the view's size.
bool RenderChanged(QImage &picture, const ViewParams &view, const DrawingModel &model,
                   const Sheet &sheet, const std::vector<int32_t> &entities);
// Everything but the entities; the frame and title block in black over the grid.
void RenderSheet(Canvas &canvas, const ViewParams &view, const Sheet &sheet);
void RenderSheetFrame(Canvas &canvas, const ViewParams &view, const SheetFrame &frame);
// Every live entity that meets the view, in ascending entity number.
void RenderEntities(Canvas &canvas, const ViewParams &view, const DrawingModel &model);
// The looks of one picture's entities, each combination of layer, colour, line type and
// width worked out once: for one thread, while the drawing's tables stay as they are.
class PictureLooks
{
public:
    explicit PictureLooks(const DrawingModel &model);
    // The entity's look, nullptr when it is not drawn (as DrawingModel::Look).
    const LineLook *Of(const Entity &e);
    // The text pictures this thread has met in the picture.
    NearTextPictures texts;

private:
    struct Kept
    {
        uint64_t key = 0;
        bool filled = false, drawn = false;
        LineLook look;
    };
    const DrawingModel &model;
    Kept kept[64];
};

// The pixels an entity's stroke can reach beyond its extent: half its pen as drawn and the
// smoothing's pixels; a text's glyphs may stand out of its box too.
double ReachPixels(const Entity &e, const PaperBox &extent, const LineLook &look,
                   const ViewParams &view);
// The entities at the positions given (ascending, as EntitiesIn gives them), each as
// RenderEntity draws it.
void RenderEntitiesAt(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                      const std::vector<uint32_t> &positions, PictureLooks &looks);
// How far around a part of the view entities are looked for, in paper millimetres, so that
// every one that can write to the part is found: the widest pen and glyphs standing out of
// their cells.
double SearchMargin(const DrawingModel &model, const ViewParams &view);
// One entity as the picture draws it, whatever its kind; nothing for one that is not live
// and shown. Circles and arcs are stroked with the line type walked along the curve.
void RenderEntity(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                  const Entity &e);
void RenderEntity(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                  const Entity &e, PictureLooks &looks);
// A text glyph by glyph in its cells, shaped once and kept; under 2 pixels high a line
// along its box; nothing for an empty text or a height that is not positive.
void RenderText(Canvas &canvas, const ViewParams &view, const TextRef &t,
                const TextStrings &strings, int32_t colour);
// A command's band in the canvas's pen: curves as chords, texts as their boxes.
void RenderBand(Canvas &canvas, const ViewParams &view, const std::vector<Shape> &band);
// 0x00BBGGRR: orange, unlike the cyan of bands and frames and the usual line colours.
constexpr int32_t HighlightColour = 0x00A5FF;

// The selected entities over the picture, 3 pixels wide in orange; entities that are not
// live and shown are passed over.
void RenderHighlight(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                     const std::vector<int32_t> &entities);
// DrawStyledLine's stroke, with the dash pattern begun at (x1, y1) but walked only from
// where the segment enters the view.
void DrawStyledLineInView(Canvas &canvas, const ViewParams &view, LinePen &pen, double x1,
                          double y1, double x2, double y2);

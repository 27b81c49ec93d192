// Texts drawn from their layout, each glyph of the font fitted into its cell: on screen as
// outlines shaped once and kept, on paper as real text.
#pragma once

#include "editor/model/geometry.h"

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QTransform>

#include <memory>
#include <mutex>
#include <vector>

class Canvas;

// The family a text is drawn in: its own when installed, else IPA Gothic.
QString TextFamily(const QString &font);
// The family's font at the size texts are shaped in.
QFont ShapingFont(const QString &font);

struct PlacedGlyph
{
    QString text; // the character drawn
    // From the font's pixel coordinates (y down, origin on the baseline) to the text's own
    // axes in millimetres.
    QTransform transform;
};

// Each glyph of the layout with the character drawn and where: scaled so that the font's
// height fills the cell's, across to the cell's width, centred; in vertical writing the
// vertical form where the font has it, else the character turned or moved.
std::vector<PlacedGlyph> PlaceGlyphs(const Geometry::TextLayout &layout, const QFont &font);

// The text's outline in its own axes for a character height of 1, shaped on first use for
// its font, string, direction, anchor and proportions and kept for later redraws.
const QPainterPath &TextOutline(const TextRef &t, const QString &font, const QString &text);
// How many outlines are kept, for tests and benchmarks.
size_t KeptTextOutlines();

// Texts as pictures of themselves, upright, at a character height in pixels (to a quarter)
// and in a colour, kept for later redraws: blending one is much cheaper than filling its
// outline. The kept pictures are shared and guarded by lock; each thread has its own of
// these for a picture, with the pictures it has met in it, so that a text met again needs
// neither the lock nor the shared lookup and threads drawing bands do not wait on each other.
class NearTextPictures
{
public:
    // places: how many pictures are kept near at most.
    explicit NearTextPictures(std::mutex &lock, size_t places = 64);
    ~NearTextPictures();
    // The text's picture; origin is where the anchor point lies in it, given the text's
    // frame (its TextFrame). Null for texts too high to keep or while the kept pictures
    // fill their room.
    const QImage *Of(const TextRef &t, const QString &font, const QString &text,
                     double pixels, uint32_t colour, QPointF &origin,
                     const Geometry::TextLayout &frame);

private:
    struct Near;
    std::mutex &lock;
    size_t places;
    std::unique_ptr<Near[]> near;
};
// A text glyph by glyph from coverage masks kept per character, size and turn, the anchor
// point at at (in pixels); only glyphs near the canvas are drawn. False when the masks
// fill their room or the text is too high for them; the text is then drawn some other way.
bool BlendText(Canvas &canvas, const TextRef &t, const QString &font, const QString &text,
               double pixels, const QPointF &at, uint32_t colour);
constexpr double MostMaskPixels = 1024;
// Before each picture: lets go of the kept pictures once they fill their room.
void BeginTextPictures();
// Pictures are kept up to this height in pixels.
constexpr double MostPicturePixels = 128;

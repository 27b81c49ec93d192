// A drawing surface over a 32-bit QImage with the pen, brush and primitives the editor
// strokes with. One-pixel lines and single pixels are written straight into the image, so
// that in XOR mode every pixel of a figure is touched exactly once and drawing it again
// erases it.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cstdint>
#include <functional>

enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Invisible };
enum class BrushStyle { Clear, Solid, Horizontal, Vertical, ForwardDiagonal, BackwardDiagonal,
                        Cross, DiagonalCross };
enum class PenMode { Copy, Xor };

class Canvas
{
public:
    // The image must outlive the canvas and must not be copied while the canvas exists.
    explicit Canvas(QImage &image);
    ~Canvas();
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;

    int Width() const { return image.width(); }
    int Height() const { return image.height(); }
    // Only the pixels inside the rectangle are written from here on: a part of the picture
    // gets the very pixels the whole picture has there, so that parts drawn apart make it up.
    void SetClip(const QRect &clip);
    // The pixels written.
    QRect Clip() const
    {
        return QRect(clipLeft, clipTop, clipRight - clipLeft, clipBottom - clipTop);
    }
    // From here on a pixel is written only where its depth (one for each pixel of the
    // image, in the image's rows) is at most position, and a pen's pixel is given position:
    // figures drawn from the last to the first each keep only the pixels no later one
    // took, and blends after them leave those pixels be. Null ends it.
    void SetDepth(uint32_t *depth, uint32_t position);
    // The image's row length in pixels, which depths are laid out by.
    qsizetype RowPixels() const { return stride / qsizetype(sizeof(QRgb)); }

    // Colours are references 0x00BBGGRR. A width of 0 or 1 is one pixel.
    void SetPenColour(uint32_t colour);
    void SetPenWidth(int width);
    void SetPenStyle(PenStyle style);
    void SetPenMode(PenMode mode);
    void SetBrushColour(uint32_t colour);
    void SetBrushStyle(BrushStyle style);

    int PenWidth() const { return penWidth; }
    PenMode Mode() const { return penMode; }
    BrushStyle Brush() const { return brushStyle; }

    void MoveTo(int x, int y);
    // Draws from the current position to (x, y), leaving out the end pixel, and moves there.
    void LineTo(int x, int y);
    // One pixel in the pen colour and mode (none with an invisible pen).
    void SetPixel(int x, int y);
    // The lines from each point to the next with both their end pixels, as drawn one by one
    // from MoveTo, LineTo and SetPixel; nothing for fewer than two points.
    void PixelPath(const QPoint *points, int count);
    // Outline with the pen and inside with the brush, covering x1 … x2 - 1 and y1 … y2 - 1.
    void Rectangle(int x1, int y1, int x2, int y2);
    // The ellipse inside the same box as Rectangle.
    void Ellipse(int x1, int y1, int x2, int y2);
    // The path, mapped by transform onto pixel coordinates, filled smooth in the colour
    // (always copied over, whatever the pen mode).
    void FillPath(const QPainterPath &path, const QTransform &transform, uint32_t colour);
    // The image blended over the picture with its point origin at at, turned by degrees
    // clockwise about it and sampled between its pixels; unturned, at whole pixels. A
    // premultiplied picture gives every pixel the same value however the canvas is clipped.
    void DrawImage(const QImage &picture, const QPointF &origin, const QPointF &at,
                   double degrees);
    // An 8-bit coverage mask blended over the picture in the colour, its pixel (0, 0) at
    // (x, y); what falls outside the image is left out.
    void BlendMask(const QImage &mask, int x, int y, uint32_t colour);

private:
    void plot(int x, int y);
    // Writes the pen colour over the pixel, or XORs it in.
    void put(QRgb &pixel) const;
    // Whether the pixel may be written, taken for this figure when it may.
    bool take(const QRgb &pixel) const
    {
        if (!depth)
            return true;
        uint32_t &d = depth[&pixel - reinterpret_cast<const QRgb *>(pixels)];
        if (d > depthAt)
            return false;
        d = depthAt;
        return true;
    }
    // Whether a blend may write the pixel.
    bool below(const QRgb &pixel) const
    {
        return !depth || depth[&pixel - reinterpret_cast<const QRgb *>(pixels)] <= depthAt;
    }
    // The painter's figure within bounds, through a layer of its own where a depth is set.
    template<typename F>
    void painted(const QRect &bounds, const F &figure);
    // The painter's blend within bounds, the pixels it may not write kept as they were.
    void keepDeeper(const QRect &bounds, const std::function<void()> &figure);
    void thinLine(int x1, int y1, int x2, int y2);
    template<bool Depth>
    void plainLineOnRows(int x1, int y1, int x2, int y2);
    void blendPremultiplied(const QImage &picture, int x, int y);
    void blendTurned(const QImage &picture, const QPointF &origin, const QPointF &at,
                     double degrees);
    void wideLine(int x1, int y1, int x2, int y2);
    QPainter &painter();
    void beginPainter();

    QImage &image;
    QPainter paint;
    bool painterReady = false;
    uint32_t penColour = 0;
    int penWidth = 1;
    PenStyle penStyle = PenStyle::Solid;
    PenMode penMode = PenMode::Copy;
    uint32_t brushColour = 0xFFFFFF;
    BrushStyle brushStyle = BrushStyle::Solid;
    int atX = 0;
    int atY = 0;
    // The pen colour as the image stores it.
    QRgb penRgb = 0xFF000000;
    // The pixels written: columns clipLeft … clipRight - 1 of rows clipTop … clipBottom - 1.
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    uchar *pixels = nullptr;
    qsizetype stride = 0;
    uint32_t *depth = nullptr;
    uint32_t depthAt = 0;
};

// 0x00BBGGRR as a Qt colour.
QColor ColourOf(uint32_t colour);

// Library routines built for wider vectors may leave their registers' upper halves in use,
// and while they are, every SSE instruction of ours waits on them (a screen of texts blends
// three times slower). This clears them: a cycle where the processor has them, nothing
// where it has not; for once a figure, and before each blend.
void SettleVectors();

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
    // Only rows top … bottom - 1 are written from here on: a band of the picture gets the
    // very pixels the whole picture has there, so that bands drawn apart make it up.
    void SetRows(int top, int bottom);
    // Blends leave the pixels inside the rectangle as they are, for a caller that puts
    // others there afterwards (a pan moves the picture it had).
    void LeaveAlone(const QRect &kept);

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
    // Outline with the pen and inside with the brush, covering x1 … x2 - 1 and y1 … y2 - 1.
    void Rectangle(int x1, int y1, int x2, int y2);
    // The ellipse inside the same box as Rectangle.
    void Ellipse(int x1, int y1, int x2, int y2);
    // The path, mapped by transform onto pixel coordinates, filled smooth in the colour
    // (always copied over, whatever the pen mode).
    void FillPath(const QPainterPath &path, const QTransform &transform, uint32_t colour);
    // The image blended over the picture with its point origin at at, turned by degrees
    // clockwise about it; unturned, at whole pixels.
    void DrawImage(const QImage &picture, const QPointF &origin, const QPointF &at,
                   double degrees);
    // An 8-bit coverage mask blended over the picture in the colour, its pixel (0, 0) at
    // (x, y); what falls outside the image is left out.
    void BlendMask(const QImage &mask, int x, int y, uint32_t colour);

private:
    void plot(int x, int y);
    // Writes the pen colour over the pixel, or XORs it in.
    void put(QRgb &pixel) const;
    void thinLine(int x1, int y1, int x2, int y2);
    void plainLineOnRows(int x1, int y1, int x2, int y2);
    void blendPremultiplied(const QImage &picture, int x, int y);
    // f(from, to) for the columns from … to - 1 of x0 … x1 - 1 in the row outside the
    // rectangle left alone.
    template<typename F>
    void eachRun(int row, int x0, int x1, const F &f) const
    {
        if (row < keptBox.top() || row > keptBox.bottom() || keptBox.isEmpty()) {
            f(x0, x1);
            return;
        }
        if (x0 < keptBox.left())
            f(x0, std::min(x1, keptBox.left()));
        if (x1 > keptBox.right() + 1)
            f(std::max(x0, keptBox.right() + 1), x1);
    }
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
    int rowTop = 0;
    int rowBottom = 1 << 30;
    uchar *pixels = nullptr;
    qsizetype stride = 0;
    QRect keptBox;
};

// 0x00BBGGRR as a Qt colour.
QColor ColourOf(uint32_t colour);

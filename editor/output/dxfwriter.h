// A drawing as an ASCII DXF of release 12, which nearly every drafting program reads: a layer
// per layer with entities, a line type per line type in use, and a LINE, CIRCLE, ARC or TEXT
// in paper millimetres for every entity. Names go out in code page 932, as the release expects of a Japanese drawing.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

struct PaperDrawing;
struct TextShape;

class DxfWriter
{
public:
    explicit DxfWriter(const PaperDrawing &drawing);

    // The sections before the lines, the lines from .. to - 1 appended, and the end.
    QByteArray Head() const;
    void Lines(size_t from, size_t to, QByteArray &out) const;
    QByteArray Tail() const;

    // A TEXT's placement groups after its layer: insertion, height, string, angle, width
    // factor and alignment.
    static void TextPlacement(const TextShape &t, QByteArray &out);
    // The indexed colour nearest to 0x00BBGGRR; black and white are 7, which the reading
    // program shows against its background.
    static int NearestIndexedColour(int32_t colour);
    // The indexed colour 1-255 as 0x00BBGGRR.
    static int32_t IndexedColour(int index);
    // Code page 932, a character it cannot hold as \U+XXXX.
    static QByteArray Encode(const QString &text);

private:
    const PaperDrawing &drawing;
    std::vector<QString> layerNames;
    std::vector<QString> typeNames;
    std::vector<QByteArray> layerBytes;
    std::vector<QByteArray> typeBytes;
    mutable std::unordered_map<int32_t, int> indexed; // colour value to indexed colour
};

// The depths of a canvas's pixels for a crowded picture drawn from its last entity to its
// first: each pixel takes the place of the first entity that writes it, so that none
// before can; a block of pixels all taken is one no earlier entity shows in.
#pragma once

#include <QRect>

#include <cstdint>
#include <memory>
#include <vector>

class Canvas;

class Coverage
{
public:
    // Only the depths of the clip's rows are cleared; none when they cannot be had.
    explicit Coverage(const Canvas &canvas);
    Coverage(const Coverage &) = delete;
    Coverage &operator=(const Coverage &) = delete;

    // As Canvas::SetDepth takes them; null when they could not be had.
    uint32_t *Depths() { return depths.get(); }
    // Whether the pixels x1 … x2 by y1 … y2 that lie in the clip all lie in blocks whose
    // every pixel is taken; true when none does, never without depths.
    bool Covers(int x1, int y1, int x2, int y2);

private:
    bool readOn(int bx, int by);

    static constexpr int Side = 8;
    QRect clip;
    qsizetype rowPixels = 0;
    std::unique_ptr<uint32_t[]> depths;
    int columns = 0, rows = 0, words = 0;
    // How many pixels of each block, in rows from its corner, are known taken.
    std::vector<uint8_t> read;
    // A bit for each block known taken whole, in rows of words.
    std::vector<uint64_t> covered;
};

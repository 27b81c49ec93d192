#include "editor/view/coverage.h"

#include "editor/pen/canvas.h"

#include <algorithm>
#include <cstring>
#include <new>

Coverage::Coverage(const Canvas &canvas)
    : clip(canvas.Clip() & QRect(0, 0, canvas.Width(), canvas.Height())),
      rowPixels(canvas.RowPixels())
{
    if (clip.isEmpty())
        return;
    // Left unset but for the clip's rows: the rest are never touched, their pages unused.
    depths.reset(new (std::nothrow) uint32_t[size_t(rowPixels) * size_t(canvas.Height())]);
    if (!depths)
        return;
    std::memset(depths.get() + clip.top() * rowPixels, 0,
                size_t(rowPixels) * size_t(clip.height()) * sizeof(uint32_t));
    columns = (clip.width() + Side - 1) / Side;
    rows = (clip.height() + Side - 1) / Side;
    words = (columns + 63) / 64;
    read.assign(size_t(columns) * size_t(rows), 0);
    covered.assign(size_t(words) * size_t(rows), 0);
}

bool Coverage::Covers(int x1, int y1, int x2, int y2)
{
    if (!depths)
        return false;
    x1 = std::max(x1, clip.left());
    y1 = std::max(y1, clip.top());
    x2 = std::min(x2, clip.right());
    y2 = std::min(y2, clip.bottom());
    if (x1 > x2 || y1 > y2)
        return true;
    const int bx1 = (x1 - clip.left()) / Side, bx2 = (x2 - clip.left()) / Side;
    const int by1 = (y1 - clip.top()) / Side, by2 = (y2 - clip.top()) / Side;
    for (int by = by1; by <= by2; ++by) {
        uint64_t *row = &covered[size_t(by) * size_t(words)];
        for (int w = bx1 / 64; w <= bx2 / 64; ++w) {
            const int lo = std::max(bx1 - w * 64, 0), hi = std::min(bx2 - w * 64, 63);
            const uint64_t mask =
                (hi == 63 ? ~0ull : (1ull << (hi + 1)) - 1) & ~((1ull << lo) - 1);
            // Blocks not known taken yet are read on; the first still open ends it.
            for (uint64_t open = mask & ~row[w]; open; open &= open - 1) {
                const int bx = w * 64 + __builtin_ctzll(open);
                if (!readOn(bx, by))
                    return false;
                row[w] |= 1ull << (bx % 64);
            }
        }
    }
    return true;
}

// Whether every pixel of the block is taken, read from where the last look stopped: a
// pixel taken stays taken.
bool Coverage::readOn(int bx, int by)
{
    uint8_t &r = read[size_t(by) * size_t(columns) + size_t(bx)];
    const int x0 = clip.left() + bx * Side, y0 = clip.top() + by * Side;
    for (; r < Side * Side; ++r) {
        const int x = x0 + r % Side, y = y0 + r / Side;
        // Beyond the clip nothing is written, nor needs to be.
        if (x <= clip.right() && y <= clip.bottom() && !depths[y * rowPixels + x])
            return false;
    }
    return true;
}

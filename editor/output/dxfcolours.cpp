#include "editor/output/dxfcolours.h"

namespace {

struct Rgb
{
    int r = 0, g = 0, b = 0;
};

Rgb indexedRgb(int i)
{
    static const Rgb first[10] = {{0, 0, 0},     {255, 0, 0},   {255, 255, 0}, {0, 255, 0},
                                  {0, 255, 255}, {0, 0, 255},   {255, 0, 255}, {255, 255, 255},
                                  {128, 128, 128}, {192, 192, 192}};
    static const int greys[6] = {51, 91, 132, 173, 214, 255};
    if (i < 0 || i > 255)
        return {};
    if (i < 10)
        return first[i];
    if (i >= 250)
        return {greys[i - 250], greys[i - 250], greys[i - 250]};
    // Twenty-four hues 15 degrees apart, each in five values, full and half saturation.
    static const double values[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
    const int hue = (i - 10) / 10, k = (i - 10) % 10;
    const double v = 255 * values[k / 2], s = k % 2 ? 0.5 : 1.0;
    const double h = hue * 15 / 60.0;
    const int sector = int(h);
    const double f = h - sector;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 0: r = v; g = t; b = p; break;
    case 1: r = q; g = v; b = p; break;
    case 2: r = p; g = v; b = t; break;
    case 3: r = p; g = q; b = v; break;
    case 4: r = t; g = p; b = v; break;
    default: r = v; g = p; b = q; break;
    }
    return {int(r), int(g), int(b)};
}

} // namespace

int32_t DxfIndexedColour(int index)
{
    const Rgb c = indexedRgb(index);
    return c.r + 256 * c.g + 65536 * c.b;
}

int DxfNearestIndexedColour(int32_t colour)
{
    const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    if ((r == 0 && g == 0 && b == 0) || (r == 255 && g == 255 && b == 255))
        return 7;
    int best = 1;
    long bestDistance = -1;
    for (int i = 1; i <= 255; ++i) {
        if (i == 7)
            continue;
        const Rgb c = indexedRgb(i);
        const long d = long(c.r - r) * (c.r - r) + long(c.g - g) * (c.g - g)
                       + long(c.b - b) * (c.b - b);
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

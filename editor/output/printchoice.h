// What of a sheet a print puts on the page, and at which scale.
#pragma once

// How much of the sheet goes to the page and at which scale.
struct PrintChoice
{
    enum Mode { Auto, Fit, Fixed };
    // Auto: full size when the page holds it, else fitted; Fit: always fitted to the page;
    // Fixed: scale (page mm per sheet mm: 0.5 for 1:2).
    Mode mode = Auto;
    double scale = 1;
    // Only the part of the sheet given (paper mm, y up), as the editor shows it.
    bool part = false;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

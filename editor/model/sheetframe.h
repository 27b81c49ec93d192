// The sheet's drawing frame and title block, laid out from the paper size and the register's
// values alone, as lines and texts in paper millimetres, so that the picture, the printer,
// the PDF and the DXF all draw the same thing. Never stored as entities.
#pragma once

#include "editor/model/entity.h"

#include <QString>

#include <cstdint>
#include <vector>

// What the title block says, each as it is to be read (dates already as yyyy/mm/dd).
struct TitleFields
{
    QString code, title, subtitle, scale;
    QString drawnBy, drawnOn, checkedBy, checkedOn;
    QString approvedBy, approvedOn, issuedBy, issuedOn;
    QString revision, revisionOn, revisionText;
    QString team;
    bool operator==(const TitleFields &) const = default;
};

struct FrameOptions
{
    // A 20 mm margin on the left for binding, whatever the paper.
    bool filingMargin = false;
};

struct FrameLine
{
    LineShape line;
    int32_t width = 0; // 1/100 mm
};

struct SheetFrame
{
    bool shown = false; // false: too small or not finite a paper
    PaperBox border; // the frame line
    PaperBox block; // the title block; empty when the frame has no room for it
    std::vector<FrameLine> lines;
    std::vector<TextShape> texts;
    // The four corners of the border and of the block, the only points one may snap to.
    std::vector<std::pair<double, double>> Corners() const;
};

namespace SheetFrames {

constexpr double BlockWidth = 170;
constexpr double BlockHeight = 49;
// The margin all round: 20 mm for papers whose shorter side is that of A1 or more, 10 mm
// for the smaller ones; an elongated paper follows its shorter side as the series does.
double Margin(double width, double height);
// "yyyymmdd" as "yyyy/mm/dd"; anything else as it is.
QString DateText(const QString &stored);
// A layer's scale (paper mm per layer unit) as "1:100" or "2:1"; empty when not positive.
QString ScaleText(double scale);

} // namespace SheetFrames

// The frame on a paper of width x height mm centred on the origin; nothing shown for a
// paper that is not finite or leaves no room inside its margins.
SheetFrame LayOutSheetFrame(double width, double height, const FrameOptions &options,
                            const TitleFields &fields);

#include "drawsettings/handshake.h"

#include "drawsettings/colours.h"
#include "drawsettings/gridspacing.h"
#include "drawsettings/layers.h"
#include "drawsettings/linetypes.h"
#include "drawsettings/linewidth.h"

bool ChooseLayer(int drawingNo, int &curLayer)
{
    if (!Form14)
        return false;
    Form14->DrawingNo = drawingNo;
    Form14->CurrentLayer = curLayer;
    Form14->exec();
    curLayer = Form14->CurrentLayer;
    return Form14->Changed;
}

bool ChooseColour(int drawingNo, int &curColour)
{
    if (!Form15)
        return false;
    Form15->DrawingNo = drawingNo;
    Form15->CurrentColor = curColour;
    Form15->exec();
    curColour = Form15->CurrentColor;
    return Form15->Changed;
}

bool ChooseLineType(int drawingNo, int &curLineType)
{
    if (!Form16)
        return false;
    Form16->DrawingNo = drawingNo;
    Form16->CurrentLineType = curLineType;
    Form16->exec();
    curLineType = Form16->CurrentLineType;
    return Form16->Changed;
}

bool ChooseLineWidth(int &curWidth)
{
    if (!Form17)
        return false;
    Form17->LineWidth = curWidth;
    Form17->exec();
    if (!Form17->Accepted)
        return false;
    curWidth = Form17->LineWidth;
    return true;
}

bool ChooseGrid(double &curGrid)
{
    if (!Form18)
        return false;
    Form18->GridSpacing = curGrid;
    Form18->exec();
    if (!Form18->Accepted)
        return false;
    curGrid = Form18->GridSpacing;
    return true;
}

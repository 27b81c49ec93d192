// What the editor's settings buttons and menu items do around each dialog: hand the current
// value in, show the dialog modally, take the result back.
#pragma once

// The current layer, colour or line type always comes back (0 for colour and line type is
// the layer's own); true when the dialog wrote a row, so the picture must be redrawn.
bool ChooseLayer(int drawingNo, int &curLayer);
bool ChooseColour(int drawingNo, int &curColour);
bool ChooseLineType(int drawingNo, int &curLineType);
// The value comes back only when OK closed the dialog, and then the result is true.
bool ChooseLineWidth(int &curWidth);
bool ChooseGrid(double &curGrid);

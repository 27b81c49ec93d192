// Values the whole program shares: the settings, and what an opener hands to the window it
// creates.
#pragma once

#include "app/settings.h"

struct ProgramValues
{
    Settings settings;
    int CadFormMode = 0; // 0 new drawing record, 1 edit
    int CadNo = 0;
    double PaperWidth = 0;
    double PaperHeight = 0;
    bool ChatWindowOpen = false;
    bool PointerWindowOpen = false;
};

ProgramValues &Globals();
inline Settings &Config()
{
    return Globals().settings;
}

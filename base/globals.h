// This PC's settings, read at start and written at the end; the main window hands them to
// the windows it makes, and the editor and the command line read them here.
#pragma once

#include "base/settings.h"

struct ProgramValues
{
    Settings settings;
};

ProgramValues &Globals();
inline Settings &Config()
{
    return Globals().settings;
}

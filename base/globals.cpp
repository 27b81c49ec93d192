#include "base/globals.h"

ProgramValues &Globals()
{
    static ProgramValues values;
    return values;
}

#include "app/globals.h"

ProgramValues &Globals()
{
    static ProgramValues values;
    return values;
}

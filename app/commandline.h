// Work the program does without opening a window: an archive of DXF files moved into the
// drawings of the database in the settings, and drawings written as DXF or PDF in batches.
#pragma once

#include <QStringList>

struct Settings;

// Whether the arguments (without the program's name) ask for such work.
bool WantsCommandLine(const QStringList &args);
// Does it on the database the settings name, telling on standard output and errors; the
// exit code (0 done, 1 failed, 2 not understood).
int RunCommandLine(const QStringList &args, const Settings &settings);

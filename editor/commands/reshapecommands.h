// The commands that reshape figures picked one by one: offset, trim and extend, chamfer,
// fillet and break.
#pragma once

#include "editor/commands/drawcommand.h"

#include <memory>

// nullptr for another code.
std::unique_ptr<Command> MakeReshapeCommand(int code, ChangeOptions *options);

#include "editor/edithistory.h"

void EditHistory::Done(EditStep step)
{
    if (step.entities.empty())
        return;
    undo.push_back(std::move(step));
    redo.clear();
}

void EditHistory::Undone()
{
    if (undo.empty())
        return;
    redo.push_back(std::move(undo.back()));
    undo.pop_back();
}

void EditHistory::Redone()
{
    if (redo.empty())
        return;
    undo.push_back(std::move(redo.back()));
    redo.pop_back();
}

#include "editor/commands/edithistory.h"

std::vector<int32_t> EditStep::UndoErases() const
{
    std::vector<int32_t> v = created;
    v.insert(v.end(), restored.begin(), restored.end());
    return v;
}

std::vector<int32_t> EditStep::RedoRestores() const
{
    return UndoErases();
}

void EditHistory::Done(EditStep step)
{
    if (step.Empty())
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

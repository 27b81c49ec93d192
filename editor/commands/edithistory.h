// What an editor window has done to its drawing, to be taken back and done again while the
// window is open: each step the entities it created, erased and restored.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

struct EditStep
{
    QString name; // what the status bar calls it
    std::vector<int32_t> created;
    std::vector<int32_t> erased;
    std::vector<int32_t> restored;

    bool Empty() const { return created.empty() && erased.empty() && restored.empty(); }
    // The entities taking the step back erases and restores, and doing it again.
    std::vector<int32_t> UndoErases() const;
    std::vector<int32_t> UndoRestores() const { return erased; }
    std::vector<int32_t> RedoErases() const { return erased; }
    std::vector<int32_t> RedoRestores() const;
};

class EditHistory
{
public:
    // A new step; what was taken back can no longer be done again.
    void Done(EditStep step);
    // The step the next undo or redo acts on, nullptr for none.
    const EditStep *NextUndo() const { return undo.empty() ? nullptr : &undo.back(); }
    const EditStep *NextRedo() const { return redo.empty() ? nullptr : &redo.back(); }
    // After the undo or redo was stored: the step moves to the other list.
    void Undone();
    void Redone();
    size_t UndoCount() const { return undo.size(); }
    size_t RedoCount() const { return redo.size(); }

private:
    std::vector<EditStep> undo;
    std::vector<EditStep> redo;
};

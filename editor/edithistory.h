// What an editor window has done to its drawing, to be taken back and done again while the
// window is open: each step the entities it drew or erased.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

struct EditStep
{
    enum Kind { Drawn, Erased };
    Kind kind = Drawn;
    QString name; // what the status bar calls it
    std::vector<int32_t> entities;

    // The display state taking the step back gives its entities, and doing it again.
    int16_t UndoState() const { return kind == Drawn ? 0 : 1; }
    int16_t RedoState() const { return kind == Drawn ? 1 : 0; }
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

#include "editor/drawingloader.h"

#include "db/drawingrows.h"
#include "editor/model/drawingmodel.h"

bool BeginLoad(Database &db, DrawingModel &model)
{
    std::vector<LayerRow> l;
    std::vector<ColourRow> c;
    std::vector<LineTypeRow> t;
    int64_t history = 0, op = 0;
    const int drawing = model.Drawing();
    if (!ReadLayers(db, drawing, l) || !ReadColours(db, drawing, c)
        || !ReadLineTypes(db, drawing, t) || !ReadHistoryStart(db, drawing, history, op))
        return false;
    model.SetLayers(std::move(l));
    model.SetColours(std::move(c));
    model.SetLineTypes(std::move(t));
    model.Reset(op, history);
    return true;
}

int ContinueLoad(Database &db, DrawingModel &model, int limit)
{
    int read = 0;
    const bool ok = ReadEntities(db, model.Drawing(), model.HighestEntity(), limit,
                                 [&](const EntityRecord &e) {
                                     model.Add(e);
                                     ++read;
                                 });
    if (!ok)
        return -1;
    if (read < limit)
        model.Trim();
    return read;
}

Refresh UpdateModel(Database &db, DrawingModel &model)
{
    std::vector<LayerRow> l;
    std::vector<ColourRow> c;
    std::vector<LineTypeRow> t;
    DrawingMarks marks;
    const int drawing = model.Drawing();
    if (!ReadLayers(db, drawing, l) || !ReadColours(db, drawing, c)
        || !ReadLineTypes(db, drawing, t)
        || !ReadDrawingMarks(db, drawing, model.HighestEntity(), model.HighestHistory(), marks))
        return Refresh::Failed;
    bool changed = model.SetLayers(std::move(l));
    changed = model.SetColours(std::move(c)) || changed;
    changed = model.SetLineTypes(std::move(t)) || changed;
    auto add = [&](const EntityRecord &e) {
        model.Add(e);
        changed = true;
    };
    int64_t history = model.HighestHistory();
    if (marks.historyAbove) {
        if (!ReadChangedEntities(db, drawing, history, history, add))
            return Refresh::Failed;
        model.SetHighestHistory(history);
    }
    if ((marks.entitiesAbove || marks.operation != model.Operation())
        && !ReadEntities(db, drawing, model.HighestEntity(), 0, add))
        return Refresh::Failed;
    model.SetOperation(marks.operation);
    return changed ? Refresh::Changed : Refresh::Unchanged;
}

#include "editor/output/dxfstore.h"

#include "db/database.h"
#include "db/drawingrows.h"
#include "db/sqltext.h"
#include "editor/model/drawingmodel.h"

#include <cmath>

namespace {

QString layerAssignments(const LayerRow &l)
{
    return QStringLiteral("LNAME=%1, VISI=%2, PRN=%3, COL=%4, LTP=%5, WID=%6, SCL=%7")
        .arg(SqlQuoted(l.name))
        .arg(l.visible)
        .arg(l.printed)
        .arg(l.colour)
        .arg(l.lineType)
        .arg(l.width)
        .arg(QString::number(std::isfinite(l.scale) && l.scale > 0 ? l.scale : 1.0, 'g', 17));
}

QString typeAssignments(const LineTypeRow &t)
{
    QString s = QStringLiteral("SNAME=%1, SN=%2").arg(SqlQuoted(t.name)).arg(t.count);
    for (int i = 0; i < 10; ++i)
        s += QStringLiteral(", P%1=%2").arg(i + 1).arg(t.pitches[i]);
    return s;
}

// All the rows in one transaction, or none.
bool writeRows(Database &db, int drawing, const std::vector<LayerRow> &layers,
               const std::vector<LineTypeRow> &types)
{
    if (layers.empty() && types.empty())
        return true;
    const QString n = QString::number(drawing);
    bool ok = db.StartTransaction();
    for (const LineTypeRow &t : types) {
        ok = ok && db.SqlUpdateNoCommit(QStringLiteral("LTYPE_") + n, typeAssignments(t),
                                        QStringLiteral("N=%1").arg(t.n));
    }
    for (const LayerRow &l : layers) {
        ok = ok && db.SqlUpdateNoCommit(QStringLiteral("LAYER_") + n, layerAssignments(l),
                                        QStringLiteral("N=%1").arg(l.n));
    }
    if (ok && db.CommitTransaction())
        return true;
    db.RollbackTransaction();
    return false;
}

} // namespace

DxfTarget DxfTargetOf(const DrawingModel &model, int currentLayer)
{
    DxfTarget t;
    t.layers = model.Layers();
    t.colours = model.Colours();
    t.lineTypes = model.LineTypes();
    t.fallbackLayer = currentLayer;
    // Erased entities count too: an undo brings them back on their layer.
    for (size_t i = 0; i < model.Count(); ++i) {
        const Entity &e = model.At(i);
        t.usedLayers.insert(e.look.layer);
        t.usedLineTypes.insert(e.look.lineType);
    }
    return t;
}

NumberHints HintsOf(const DrawingModel &model)
{
    NumberHints hints{model.HighestHistory(), model.HighestEntity(), {}};
    for (int kind = KindLine; kind <= KindText; ++kind)
        hints.rows[kind] = model.HighestRow(kind);
    return hints;
}

bool StoreDxfImport(Database &db, int drawing, const DxfImportResult &import, int member,
                    const NumberHints &hints, StoredOperation &out, QString &message)
{
    if (!import.error.isEmpty()) {
        message = import.error;
        return false;
    }
    if (import.records.empty()) {
        message = DxfImportSummary(import);
        return false;
    }
    // The rows as they are now, to put back when the entities cannot be stored.
    std::vector<LayerRow> oldLayers;
    std::vector<LineTypeRow> oldTypes;
    if (!import.layers.empty() || !import.lineTypes.empty()) {
        std::vector<LayerRow> layers;
        std::vector<LineTypeRow> types;
        if (!ReadLayers(db, drawing, layers) || !ReadLineTypes(db, drawing, types)) {
            message = QStringLiteral("レイヤを読み込めないため登録出来ません");
            return false;
        }
        for (const LayerRow &l : import.layers) {
            for (const LayerRow &o : layers) {
                if (o.n == l.n)
                    oldLayers.push_back(o);
            }
        }
        for (const LineTypeRow &t : import.lineTypes) {
            for (const LineTypeRow &o : types) {
                if (o.n == t.n)
                    oldTypes.push_back(o);
            }
        }
        if (!writeRows(db, drawing, import.layers, import.lineTypes)) {
            message = QStringLiteral("レイヤの登録に失敗しました");
            return false;
        }
    }
    ChangeSet changes;
    changes.name = QStringLiteral("DXF読込");
    changes.member = member;
    changes.created = import.records;
    switch (StoreChanges(db, drawing, changes, hints, out)) {
    case StoreResult::Stored:
        message = DxfImportSummary(import);
        return true;
    case StoreResult::BadScale:
        message = QStringLiteral("レイヤの尺度が正しくないため登録出来ません。"
                                 "レイヤの設定で尺度を直して下さい。");
        break;
    case StoreResult::BadText:
        message = QStringLiteral("文字が長すぎるか使用出来ない文字が含まれているため"
                                 "登録出来ません");
        break;
    case StoreResult::Gone: // an import replaces nothing
    case StoreResult::Failed:
        message = QStringLiteral("登録失敗");
        break;
    }
    writeRows(db, drawing, oldLayers, oldTypes);
    return false;
}

#include "editor/drawingloader.h"

#include "db/drawingrows.h"
#include "editor/model/drawingmodel.h"
#include "editor/model/rowcache.h"

#include <QCryptographicHash>
#include <QDir>

#include <algorithm>

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
    // Each entity came with a history row but those another build added: room for them
    // all up front saves copying a large drawing as it grows.
    model.Reserve(size_t(std::clamp<int64_t>(history, 0, 2'000'000)));
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

Refresh UpdateModel(Database &db, DrawingModel &model, std::vector<int32_t> *changed)
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
    bool tables = model.SetLayers(std::move(l));
    tables = model.SetColours(std::move(c)) || tables;
    tables = model.SetLineTypes(std::move(t)) || tables;
    bool entities = false, elsewhere = false;
    std::vector<int32_t> read;
    auto add = [&](const EntityRecord &e) {
        // One that was drawn elsewhere or otherwise before is not found by its new place.
        if (!model.Add(e))
            elsewhere = true;
        entities = true;
        read.push_back(e.entity.n);
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
    if (changed) {
        changed->clear();
        if (!tables && !elsewhere)
            *changed = std::move(read);
    }
    return tables || entities ? Refresh::Changed : Refresh::Unchanged;
}

QString RowCache::path(int drawing) const
{
    // Named by the database file alone, so that a table set made again replaces its copy.
    const QByteArray file = identity.left(identity.indexOf('|', identity.indexOf('|') + 1));
    const QByteArray key = QCryptographicHash::hash(file, QCryptographicHash::Sha1).toHex();
    return QDir(folder).filePath(QString::fromLatin1(key.left(16)) + QLatin1Char('-')
                                 + QString::number(drawing) + QStringLiteral(".rows"));
}

bool RowCache::Load(Database &db, DrawingModel &model)
{
    const int drawing = model.Drawing();
    const int64_t operation = model.Operation(), history = model.HighestHistory();
    identity.clear();
    if (!ReadTableSetIdentity(db, drawing, identity))
        return false;
    // Spread samples and the last row: rows taken away or changed in place show there.
    std::vector<int32_t> sample;
    size_t step = 1, at = 0;
    int32_t last = 0;
    const bool read = ReadRowCache(
        path(drawing),
        [&](const RowCacheMarks &marks) {
            if (marks.identity != identity || marks.highestHistory > history || marks.count == 0)
                return false;
            step = std::max<size_t>(1, size_t(marks.count / 15));
            model.Reset(marks.operation, marks.highestHistory);
            model.Reserve(size_t(marks.count));
            return true;
        },
        [&](const EntityRecord &e) {
            if (at++ % step == 0)
                sample.push_back(e.entity.n);
            last = e.entity.n;
            model.Add(e);
        });
    if (!read) {
        model.Reset(operation, history);
        return false;
    }
    if (sample.back() != last)
        sample.push_back(last);
    model.Trim();
    size_t matched = 0;
    const bool same = UpdateModel(db, model) != Refresh::Failed
                      && ReadEntitiesNumbered(db, drawing, sample, [&](const EntityRecord &e) {
                             const Entity *kept = model.Find(e.entity.n);
                             matched += kept && SameRecord(model.Record(*kept), e);
                         });
    if (same && matched == sample.size())
        return true;
    model.Reset(operation, history);
    return false;
}

bool RowCache::Keep(const DrawingModel &model) const
{
    if (identity.isEmpty() || !QDir().mkpath(folder))
        return false;
    const QString own = path(model.Drawing());
    if (!WriteRowCache(own, {identity, model.Operation(), model.HighestHistory()}, model))
        return false;
    // Copies of drawings not opened for long go first once the folder holds too much.
    constexpr qint64 MostBytes = qint64(2) << 30;
    constexpr int MostFiles = 200;
    qint64 bytes = 0;
    int files = 0;
    const QString kept = QFileInfo(own).absoluteFilePath();
    for (const QFileInfo &f :
         QDir(folder).entryInfoList({QStringLiteral("*.rows")}, QDir::Files, QDir::Time)) {
        bytes += f.size();
        if ((++files > MostFiles || bytes > MostBytes) && f.absoluteFilePath() != kept)
            QFile::remove(f.absoluteFilePath());
    }
    return true;
}

// A DXF file read into the rows of an open drawing: every entity of model space as lines,
// circles, arcs and texts in paper millimetres, blocks exploded with their transforms, and
// the layers and line types the entities need matched by name to the drawing's own rows or
// given free ones. Reading writes nothing: the caller stores the rows as one operation.
#pragma once

#include "db/entityrows.h"
#include "editor/model/entity.h"

#include <QString>

#include <memory>
#include <set>
#include <utility>
#include <vector>

// What the drawing holds already, for matching names and finding free rows.
struct DxfTarget
{
    std::vector<LayerRow> layers;
    std::vector<ColourRow> colours;
    std::vector<LineTypeRow> lineTypes;
    // Layers and line types that entities of the drawing use: never taken as free.
    std::set<int> usedLayers;
    std::set<int> usedLineTypes;
    // Where the entities of a layer go when no free layer row is left.
    int fallbackLayer = 0;
};

struct DxfImportResult
{
    // Not empty: the file could not be read, and nothing is to be stored.
    QString error;
    std::vector<EntityRecord> records; // paper mm, numbers not given
    // Rows of the drawing to write before the entities: layers given a name, colour and
    // line type, and line types given a pattern.
    std::vector<LayerRow> layers;
    std::vector<LineTypeRow> lineTypes;
    int lines = 0, circles = 0, arcs = 0, texts = 0;
    // Kinds of the file this program has no counterpart for, with how many; most first.
    std::vector<std::pair<QString, int>> skipped;
    int skippedTotal = 0;
    // File layers whose entities went to the fallback layer for want of a free row.
    int layersShort = 0;
    // Texts cut to the length of the database column.
    int textsChanged = 0;
};

// At most this many entities from one file, however its blocks multiply.
constexpr int DxfMaxEntities = 2000000;
// How deep blocks may nest inside blocks.
constexpr int DxfMaxNesting = 16;
// The largest distance a curve drawn as lines keeps from the curve, in mm.
constexpr double DxfCurveTolerance = 0.01;

// A file read in steps, so that a window can show how far it got and stop it: nothing is
// stored by reading.
class DxfImport
{
public:
    DxfImport(const QString &path, const DxfTarget &target);
    ~DxfImport();
    // Reads for about ms milliseconds; false once the file is read or reading failed.
    bool Step(int ms);
    // How much of the file is read, 0 to 1.
    double Progress() const;
    // The rows, after reading whatever is left.
    DxfImportResult Take();

private:
    struct Work;
    std::unique_ptr<Work> work;
};

DxfImportResult ImportDxfFile(const QString &path, const DxfTarget &target);

// The extent of the rows read in paper mm; false when there are none.
bool DxfExtent(const DxfImportResult &result, PaperBox &box);
// Whether rows of that extent lie far from a sheet of w x h mm centred on the origin: not on
// it at all, or more than twice its size either way.
bool DxfFarFromSheet(const PaperBox &box, double w, double h);
// The scale 1:n, n of the series 1, 2, 5, 10, 20 ..., at which the extent fits in nine
// tenths of the sheet.
int DxfFitScale(const PaperBox &box, double w, double h);
// The rows moved so that the extent's centre lies on the sheet's and drawn n times smaller;
// the layers the import makes get the scale 1/n, so that they store the file's millimetres
// (moved) and their line types keep their pitch on paper.
void DxfFitToSheet(DxfImportResult &result, const PaperBox &box, int n);

// "1,234 本の線、56 個の円を読み込みました（読み込めなかった要素 3 個：IMAGE 2、OLE2FRAME 1）"
QString DxfImportSummary(const DxfImportResult &result);

// An MTEXT's contents without its formatting codes, one string per line.
QStringList DxfMTextLines(const QString &text);
// A TEXT's %% codes and the \U+XXXX and \M+NXXXX escapes of any text resolved.
QString DxfPlainText(const QString &text);

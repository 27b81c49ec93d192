// A drawing as an ASCII DXF written through dxflib: release 2000 with line weights, true
// colours and plot flags, or release 12 for old readers. Every layer taken goes into the
// layer table, a hidden one switched off and a non-printing one not plotted; every line,
// circle, arc and text in paper millimetres. Names and texts go out in code page 932
// ($DWGCODEPAGE ANSI_932), a character it lacks as \U+XXXX.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

struct PaperDrawing;

enum class DxfVersion { R2000, R12 };

class DxfExport
{
public:
    DxfExport(const PaperDrawing &drawing, DxfVersion version);
    ~DxfExport();
    DxfExport(const DxfExport &) = delete;
    DxfExport &operator=(const DxfExport &) = delete;

    // Header, tables and blocks; the entities from .. to - 1 appended; the end. In this
    // order, each once, the lines in as many pieces as wanted.
    QByteArray Head();
    void Lines(size_t from, size_t to, QByteArray &out);
    QByteArray Tail();

    struct Private;

private:
    std::unique_ptr<Private> d;
};

// The whole file in one go, through a temporary name so that a failure leaves nothing
// claimed as written; false with a message in error. The drawing as TakePaperDrawing gives
// it with every layer.
bool WriteDxfFile(const PaperDrawing &drawing, const QString &path, DxfVersion version,
                  QString &error);
QString DxfWriteFailure(const QString &path);

// Code page 932, a character it cannot hold and a control character as \U+XXXX.
QByteArray DxfEncode(const QString &text);
// The standard line weight (1/100 mm) nearest to a width in 1/100 mm.
int DxfLineWeight(int32_t width);

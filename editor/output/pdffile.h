// A drawing as a PDF of one page the size of its sheet, written in steps or in one go. The
// file appears only when every step succeeded.
#pragma once

#include <QPainter>
#include <QSaveFile>
#include <QString>

#include <cstddef>
#include <memory>

class QPdfWriter;
struct PaperDrawing;

class PdfFile
{
public:
    PdfFile();
    ~PdfFile();
    // The drawing must outlive the writing.
    bool Begin(const QString &path, const PaperDrawing &drawing);
    // Entities from .. to - 1.
    bool Lines(size_t from, size_t to);
    bool End();
    void Abort();

private:
    const PaperDrawing *drawing = nullptr;
    QSaveFile file;
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
};

bool WritePdfFile(const PaperDrawing &drawing, const QString &path);

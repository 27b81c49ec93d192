#include "editor/output/drawingoutput.h"

#include "base/appcontext.h"
#include "db/database.h"
#include "editor/model/drawingmodel.h"
#include "editor/editorwindow.h"
#include "editor/output/pdffile.h"
#include "editor/output/printing.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QToolButton>

namespace {

// One timer step works this long at most, so that the windows answer in between.
constexpr qint64 StepMs = 40;
constexpr size_t Chunk = 500;

} // namespace

struct DrawingOutput::Job
{
    virtual ~Job() = default;
    virtual bool Begin() = 0;
    virtual bool Lines(size_t from, size_t to) = 0;
    virtual bool End() = 0;
    virtual void Abort() = 0;

    PaperDrawing drawing;
    size_t next = 0;
    QString what; // shown while it runs
    QString done; // shown when it has finished
    QString failed; // the message when it fails
};

namespace {

struct PdfJob : DrawingOutput::Job
{
    QString path;
    PdfFile pdf;

    bool Begin() override { return pdf.Begin(path, drawing); }
    bool Lines(size_t from, size_t to) override { return pdf.Lines(from, to); }
    bool End() override { return pdf.End(); }
    void Abort() override { pdf.Abort(); }
};

struct DxfJob : DrawingOutput::Job
{
    QSaveFile file;
    DxfVersion version = DxfVersion::R2000;
    std::unique_ptr<DxfExport> writer;
    QByteArray buffer;

    bool Begin() override
    {
        if (!file.open(QIODevice::WriteOnly))
            return false;
        writer = std::make_unique<DxfExport>(drawing, version);
        return write(writer->Head());
    }
    bool Lines(size_t from, size_t to) override
    {
        buffer.clear();
        writer->Lines(from, to, buffer);
        return write(buffer);
    }
    bool End() override { return write(writer->Tail()) && file.commit(); }
    void Abort() override { file.cancelWriting(); }
    bool write(const QByteArray &bytes) { return file.write(bytes) == bytes.size(); }
};

struct PrintJob : DrawingOutput::Job
{
    std::unique_ptr<QPrinter> printer;
    PaperStyle style;
    PrintChoice choice;
    QPainter painter;

    bool Begin() override
    {
        if (!painter.begin(printer.get()))
            return false;
        BeginSheetPage(painter, *printer, drawing, choice);
        return true;
    }
    bool Lines(size_t from, size_t to) override
    {
        PaintPaperLines(painter, drawing, from, to, style);
        return painter.isActive();
    }
    bool End() override { return painter.end(); }
    void Abort() override
    {
        printer->abort();
        if (painter.isActive())
            painter.end();
    }
};

// A file name from the drawing's name: characters no file system takes become "_".
QString fileNameOf(const QString &name)
{
    QString s = name.trimmed();
    for (QChar &c : s) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = u'_';
    }
    return s.isEmpty() ? QStringLiteral("図面") : s;
}

} // namespace

DrawingOutput::DrawingOutput(TForm13 &window)
    : QObject(&window), editor(window), folder(QDir::homePath())
{
    setObjectName(QStringLiteral("Output"));
    timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(0);
    connect(timer, &QTimer::timeout, this, &DrawingOutput::step);
    progress = new QLabel(editor.StatusBar1);
    progress->setObjectName(QStringLiteral("OutputLabel"));
    CancelButton = new QToolButton(editor.StatusBar1);
    CancelButton->setObjectName(QStringLiteral("OutputCancel"));
    CancelButton->setText(QStringLiteral("中止"));
    CancelButton->setFocusPolicy(Qt::NoFocus);
    CancelButton->hide();
    connect(CancelButton, &QToolButton::clicked, this, &DrawingOutput::Cancel);
    editor.StatusBar1->addPermanentWidget(progress);
    editor.StatusBar1->addPermanentWidget(CancelButton);
}

DrawingOutput::~DrawingOutput()
{
    if (job)
        job->Abort();
}

QString DrawingOutput::drawingName() const
{
    QStringList row;
    if (editor.Db().SqlSelectRow(QStringLiteral("ZNAME"), QStringLiteral("CADLIST"),
                                 QStringLiteral("N=%1").arg(editor.DrawingNo), row)
            > 0
        && !row.value(0).trimmed().isEmpty())
        return row.value(0).trimmed();
    return QStringLiteral("図面%1").arg(editor.DrawingNo);
}

PaperDrawing DrawingOutput::TakeDrawing(bool everyLayer) const
{
    PaperDrawing drawing = TakePaperDrawing(editor.Model(), drawingName(), editor.PaperWidth,
                                            editor.PaperHeight, everyLayer);
    AddSheetFrame(drawing, editor.SheetFrameNow());
    return drawing;
}

QString DrawingOutput::Progress() const
{
    return progress->text();
}

QString DrawingOutput::askFile(const QString &title, const QString &suffix,
                               const QString &filter, QString *chosen)
{
    const QString suggested = QDir(folder).filePath(fileNameOf(drawingName()) + suffix);
    QString file = QFileDialog::getSaveFileName(&editor, title, suggested, filter, chosen);
    if (file.isEmpty())
        return file;
    if (!file.endsWith(suffix, Qt::CaseInsensitive))
        file += suffix;
    folder = QFileInfo(file).absolutePath();
    return file;
}

void DrawingOutput::mnuOutPdfClick()
{
    if (Busy())
        return;
    const QString file = askFile(QStringLiteral("PDF出力"), QStringLiteral(".pdf"),
                                 QStringLiteral("PDF (*.pdf)"));
    if (!file.isEmpty())
        StartPdf(file);
}

void DrawingOutput::mnuOutDxfClick()
{
    if (Busy())
        return;
    // Release 2000 keeps widths, true colours and plot flags; 12 is for old readers.
    const QString r2000 = QStringLiteral("DXF R2000形式 (*.dxf)");
    const QString r12 = QStringLiteral("DXF R12形式・古いソフト向け (*.dxf)");
    QString chosen = dxfFilter.isEmpty() ? r2000 : dxfFilter;
    const QString file = askFile(QStringLiteral("DXF出力"), QStringLiteral(".dxf"),
                                 r2000 + QStringLiteral(";;") + r12, &chosen);
    if (file.isEmpty())
        return;
    dxfFilter = chosen;
    StartDxf(file, chosen == r12 ? DxfVersion::R12 : DxfVersion::R2000);
}

void DrawingOutput::mnuOutPrintClick()
{
    if (Busy())
        return;
    PaperDrawing drawing = TakeDrawing();
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    PreparePrinter(*printer, drawing);
    // What is printed is chosen looking at it; the printer after that.
    const ViewRect &r = editor.CurrentView().Rect();
    PrintChoice view;
    view.part = true;
    view.x1 = r.x1;
    view.y1 = r.y1;
    view.x2 = r.x2;
    view.y2 = r.y2;
    PrintPreview preview(*printer, drawing, PaperStyle(), &editor, view);
    if (preview.exec() != QDialog::Accepted)
        return;
    QPrintDialog dialog(printer.get(), &editor);
    if (dialog.exec() != QDialog::Accepted)
        return;
    startPrint(std::move(printer), preview.Style(), std::move(drawing), preview.Choice());
}

bool DrawingOutput::StartPdf(const QString &file)
{
    auto next = std::make_unique<PdfJob>();
    next->path = file;
    next->drawing = TakeDrawing();
    next->what = QStringLiteral("PDF出力中");
    next->done = QStringLiteral("PDFを保存しました：") + file;
    next->failed = QStringLiteral("PDFファイルを保存出来ませんでした：") + file;
    return start(std::move(next));
}

bool DrawingOutput::StartDxf(const QString &file, DxfVersion version)
{
    auto next = std::make_unique<DxfJob>();
    next->file.setFileName(file);
    next->version = version;
    // An exchange file keeps hidden and non-printing layers too.
    next->drawing = TakeDrawing(true);
    next->what = QStringLiteral("DXF出力中");
    next->done = QStringLiteral("DXFを保存しました：") + file;
    next->failed = DxfWriteFailure(file);
    return start(std::move(next));
}

bool DrawingOutput::StartPrint(std::unique_ptr<QPrinter> printer, const PaperStyle &style,
                               const PrintChoice &choice)
{
    return startPrint(std::move(printer), style, TakeDrawing(), choice);
}

bool DrawingOutput::startPrint(std::unique_ptr<QPrinter> printer, const PaperStyle &style,
                               PaperDrawing drawing, const PrintChoice &choice)
{
    auto next = std::make_unique<PrintJob>();
    next->printer = std::move(printer);
    next->style = style;
    next->choice = choice;
    next->drawing = std::move(drawing);
    next->what = QStringLiteral("印刷中");
    next->done = QStringLiteral("印刷しました");
    next->failed = QStringLiteral("印刷出来ませんでした");
    return start(std::move(next));
}

bool DrawingOutput::start(std::unique_ptr<Job> next)
{
    if (job) {
        editor.Context().messages.Show(QStringLiteral("出力中です。終わるまでお待ち下さい"));
        return false;
    }
    if (!next->Begin()) {
        next->Abort();
        progress->setText(next->failed);
        editor.Context().messages.Show(next->failed);
        return false;
    }
    job = std::move(next);
    progress->setText(job->what + QStringLiteral("… 0%"));
    CancelButton->show();
    timer->start();
    return true;
}

void DrawingOutput::step()
{
    if (!job)
        return;
    QElapsedTimer clock;
    clock.start();
    const size_t total = job->drawing.lines.size();
    while (job->next < total && clock.elapsed() < StepMs) {
        const size_t to = std::min(total, job->next + Chunk);
        if (!job->Lines(job->next, to)) {
            job->Abort();
            finish(false, job->failed);
            return;
        }
        job->next = to;
    }
    if (job->next < total) {
        progress->setText(job->what
                          + QStringLiteral("… %1%").arg(int(job->next * 100 / total)));
        timer->start();
        return;
    }
    if (!job->End()) {
        job->Abort();
        finish(false, job->failed);
        return;
    }
    finish(true, job->done);
}

void DrawingOutput::Cancel()
{
    if (!job)
        return;
    timer->stop();
    job->Abort();
    job.reset();
    CancelButton->hide();
    progress->setText(QStringLiteral("中止しました"));
    emit Finished(false);
}

void DrawingOutput::finish(bool ok, const QString &text)
{
    const QString message = text; // the job holds the text
    job.reset();
    CancelButton->hide();
    progress->setText(message);
    if (!ok)
        editor.Context().messages.Show(message);
    emit Finished(ok);
}

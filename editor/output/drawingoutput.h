// The editor's output menu: print with Qt's print dialog and a preview, save as PDF, save as
// DXF. The drawing is taken from memory at the start; the file or print job is then written
// in steps driven by a timer, with progress and a cancel button in the editor's status bar,
// so that no window waits for more than a moment.
#pragma once

#include "editor/output/dxfexport.h"
#include "editor/output/paperdrawing.h"
#include "editor/output/paperpainter.h"
#include "editor/output/printchoice.h"

#include <QObject>
#include <QString>

#include <memory>

class QLabel;
class QPrinter;
class QTimer;
class QToolButton;
class TForm13;

class DrawingOutput : public QObject
{
    Q_OBJECT

public:
    explicit DrawingOutput(TForm13 &editor);
    ~DrawingOutput() override;

    // The menu handlers: dialogs first, then the work in steps.
    void mnuOutPrintClick();
    void mnuOutPdfClick();
    void mnuOutDxfClick();

    // The work itself, without dialogs; false with a message when it cannot start.
    bool StartPdf(const QString &file);
    bool StartDxf(const QString &file, DxfVersion version = DxfVersion::R2000);
    bool StartPrint(std::unique_ptr<QPrinter> printer, const PaperStyle &style,
                    const PrintChoice &choice = PrintChoice());

    bool Busy() const { return job != nullptr; }
    void Cancel();
    // The drawing as it goes to paper now: shown, printed layers only unless everyLayer.
    PaperDrawing TakeDrawing(bool everyLayer = false) const;
    // What the status bar says about the work.
    QString Progress() const;
    QToolButton *CancelButton;

    // One piece of work in progress, defined where it is done.
    struct Job;

signals:
    // After the last step, a failure or a cancel.
    void Finished(bool ok);

private:
    bool startPrint(std::unique_ptr<QPrinter> printer, const PaperStyle &style,
                    PaperDrawing drawing, const PrintChoice &choice);
    bool start(std::unique_ptr<Job> next);
    void step();
    void finish(bool ok, const QString &message);
    QString drawingName() const;
    QString askFile(const QString &title, const QString &suffix, const QString &filter,
                    QString *chosen = nullptr);

    TForm13 &editor;
    std::unique_ptr<Job> job;
    QTimer *timer;
    QLabel *progress;
    QString folder;
    QString dxfFilter; // the one chosen last
};

// DXF読込: a DXF file's contents taken into the open drawing as one operation, which one
// undo takes back. The file is read in timer steps with its progress and a cancel button in
// the status bar; only the finished reading is stored, in one transaction.
#include "editor/editorwindow.h"

#include "base/appcontext.h"
#include "base/settings.h"
#include "editor/model/drawingmodel.h"
#include "editor/output/dxfstore.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <memory>

// One file being read; a child of the editor, so that closing the editor ends it.
class DxfImporting : public QObject
{
public:
    DxfImporting(TForm13 &editor, const QString &file)
        : QObject(&editor), editor(editor), file(file),
          reading(std::make_unique<DxfImport>(file, DxfTargetOf(editor.Model(), editor.CurLayer)))
    {
        label = new QLabel(editor.StatusBar1);
        label->setObjectName(QStringLiteral("DxfImportLabel"));
        cancel = new QToolButton(editor.StatusBar1);
        cancel->setObjectName(QStringLiteral("DxfImportCancel"));
        cancel->setText(QStringLiteral("中止"));
        cancel->setFocusPolicy(Qt::NoFocus);
        editor.StatusBar1->addPermanentWidget(label);
        editor.StatusBar1->addPermanentWidget(cancel);
        connect(cancel, &QToolButton::clicked, this, [this] { Cancel(); });
        timer.setInterval(0);
        connect(&timer, &QTimer::timeout, this, [this] { step(); });
        show();
        timer.start();
    }
    ~DxfImporting() override
    {
        delete label;
        delete cancel;
    }

    void Cancel()
    {
        editor.SetNotice(QStringLiteral("DXF読込を中止しました"));
        end();
    }

private:
    // A step stays short, so that the window answers in between.
    static constexpr int StepMs = 40;

    void show()
    {
        label->setText(QStringLiteral("DXFを読み込んでいます… %1%")
                           .arg(int(std::floor(reading->Progress() * 100))));
    }
    void step()
    {
        if (reading->Step(StepMs)) {
            show();
            return;
        }
        timer.stop();
        DxfImportResult import = reading->Take();
        reading.reset();
        if (import.error.isEmpty() && !offerFit(import))
            return; // the editor closed while it asked
        editor.StoreDxf(import);
        end();
    }
    // False when the editor, and this with it, went away during the question.
    bool offerFit(DxfImportResult &import)
    {
        double w = editor.PaperWidth, h = editor.PaperHeight;
        if (!(w > 0) || !(h > 0)) {
            w = 420;
            h = 297;
        }
        PaperBox box;
        if (!DxfExtent(import, box) || !DxfFarFromSheet(box, w, h))
            return true;
        const int n = DxfFitScale(box, w, h);
        const QPointer<DxfImporting> alive(this);
        const bool fit = editor.context.messages.AskYesNo(
            QStringLiteral("読み込む図形は用紙から離れています（X %1 〜 %2、Y %3 〜 %4）。\n"
                           "用紙の中央に移し、1:%5 に縮めますか？\n"
                           "「いいえ」で座標をそのまま読み込みます。")
                .arg(box.x1, 0, 'f', 0).arg(box.x2, 0, 'f', 0).arg(box.y1, 0, 'f', 0)
                .arg(box.y2, 0, 'f', 0).arg(n));
        if (!alive)
            return false;
        if (fit)
            DxfFitToSheet(import, box, n);
        return true;
    }
    // Takes this object away once the current event is done with it.
    void end()
    {
        timer.stop();
        label->hide();
        cancel->hide();
        editor.dxfImporting = nullptr;
        deleteLater();
    }

    TForm13 &editor;
    QString file;
    std::unique_ptr<DxfImport> reading;
    QTimer timer;
    // The status bar may go first when the editor closes.
    QPointer<QLabel> label;
    QPointer<QToolButton> cancel;
};

void TForm13::SetUpDxfImport(QMenu *menu)
{
    menu->addSeparator();
    mnuInDxf = menu->addAction(QStringLiteral("DXF読込(&I)..."));
    mnuInDxf->setObjectName(QStringLiteral("mnuInDxf"));
    connect(mnuInDxf, &QAction::triggered, this, &TForm13::mnuInDxfClick);
}

void TForm13::mnuInDxfClick()
{
    static QString folder;
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("DXF読込"), folder,
        QStringLiteral("DXF (*.dxf *.DXF);;すべてのファイル (*)"));
    if (file.isEmpty())
        return;
    folder = QFileInfo(file).absolutePath();
    ImportDxf(file);
}

bool TForm13::ImportDxf(const QString &file)
{
    if (control->gone) {
        Tell(QStringLiteral("この図面のデータは削除されているため登録出来ません"));
        return false;
    }
    // Names are matched against every entity, so all of them must be in memory.
    if (!control->loaded) {
        Tell(QStringLiteral("図面を読み込み中です。読み込みが終わってから実行して下さい"));
        return false;
    }
    if (dxfImporting) {
        Tell(QStringLiteral("DXFを読み込み中です。終わってから実行して下さい"));
        return false;
    }
    dxfImporting = new DxfImporting(*this, file);
    return true;
}

bool TForm13::ImportingDxf() const
{
    return dxfImporting != nullptr;
}

void TForm13::CancelDxfImport()
{
    if (dxfImporting)
        dxfImporting->Cancel();
}

void TForm13::StoreDxf(const DxfImportResult &import)
{
    if (control->gone) {
        Tell(QStringLiteral("この図面のデータは削除されているため登録出来ません"));
        return;
    }
    StoredOperation stored;
    QString message;
    SetNotice(QStringLiteral("DXFの図形を登録しています…"), true);
    StatusBar1->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = StoreDxfImport(db, DrawingNo, import, Member(), HintsOf(Model()), stored,
                                   message);
    QApplication::restoreOverrideCursor();
    SetNotice(QString());
    if (ok) {
        // The new layers' names and colours first, so that the entities show in them.
        if (!import.layers.empty() || !import.lineTypes.empty())
            TakeSettingTables(!import.layers.empty(), false, !import.lineTypes.empty());
        control->TakeStored(QStringLiteral("DXF読込"), stored);
        control->NoteContentsChanged();
    }
    Tell(message);
}

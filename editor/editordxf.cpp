// DXF読込: a DXF file's contents taken into the open drawing as one operation, which one
// undo takes back.
#include "editor/editorwindow.h"

#include "app/globals.h"
#include "app/messages.h"
#include "editor/model/drawingmodel.h"
#include "editor/output/dxfstore.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QStatusBar>

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
    if (gone) {
        ShowMessage(QStringLiteral("この図面のデータは削除されているため登録出来ません"));
        return false;
    }
    // Names are matched against every entity, so all of them must be in memory.
    if (!loaded) {
        ShowMessage(QStringLiteral("図面を読み込み中です。読み込みが終わってから実行して下さい"));
        return false;
    }
    SetNotice(QStringLiteral("DXFを読み込んでいます…"), true);
    StatusBar1->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const DxfImportResult import = ImportDxfFile(file, DxfTargetOf(*model, CurLayer));
    StoredOperation stored;
    QString message;
    const bool ok = StoreDxfImport(db, DrawingNo, import, Config().PcUserNo, StoreHints(),
                                   stored, message);
    QApplication::restoreOverrideCursor();
    SetNotice(QString());
    if (ok) {
        // The new layers' names and colours first, so that the entities show in them.
        if (!import.layers.empty() || !import.lineTypes.empty())
            TakeSettingTables(!import.layers.empty(), false, !import.lineTypes.empty());
        TakeStored(QStringLiteral("DXF読込"), stored);
        NoteContentsChanged();
    }
    ShowMessage(message);
    return ok;
}

// The editor's settings buttons and menu: the current values handed to the dialogs and taken
// back, and the drawing's small tables read again when a dialog wrote to them.
#include "editor/editorwindow.h"

#include "db/drawingrows.h"
#include "base/appcontext.h"
#include "editor/model/drawingmodel.h"

#include <QAction>
#include <QToolButton>

void TForm13::SetUpSettings()
{
    const std::pair<QToolButton *, QAction *> pairs[] = {{SpeedButton1, mnuSetLayer},
                                                         {SpeedButton2, mnuSetColor},
                                                         {SpeedButton3, mnuSetLtype},
                                                         {SpeedButton4, mnuSetWidth},
                                                         {SpeedButton5, mnuSetGrid}};
    void (TForm13::*const handlers[])() = {&TForm13::SpeedButton1Click,
                                           &TForm13::SpeedButton2Click,
                                           &TForm13::SpeedButton3Click,
                                           &TForm13::SpeedButton4Click,
                                           &TForm13::SpeedButton5Click};
    for (int i = 0; i < 5; ++i) {
        connect(pairs[i].first, &QToolButton::clicked, this, handlers[i]);
        connect(pairs[i].second, &QAction::triggered, this, handlers[i]);
    }
}

void TForm13::SpeedButton1Click()
{
    const bool changed = context.opener.ChooseLayer(DrawingNo, CurLayer);
    ShowCurrentValues();
    // The layers dialog's choosers write colours and line types as well.
    if (changed)
        TakeSettingTables(true, true, true);
}

void TForm13::SpeedButton2Click()
{
    const bool changed = context.opener.ChooseColour(DrawingNo, CurColor);
    ShowCurrentValues();
    if (changed)
        TakeSettingTables(false, true, false);
}

void TForm13::SpeedButton3Click()
{
    const bool changed = context.opener.ChooseLineType(DrawingNo, CurLineType);
    ShowCurrentValues();
    if (changed)
        TakeSettingTables(false, false, true);
}

void TForm13::SpeedButton4Click()
{
    // The width applies to lines drawn from now on; nothing shown changes.
    if (context.opener.ChooseLineWidth(CurWidth))
        ShowCurrentValues();
}

void TForm13::SpeedButton5Click()
{
    if (!context.opener.ChooseGrid(CurGrid))
        return;
    ShowCurrentValues();
    if (CurGrid == 0)
        SpeedButton5->setToolTip(QStringLiteral("グリッド：表示しない"));
    Redraw();
}

void TForm13::TakeSettingTables(bool layers, bool colours, bool lineTypes)
{
    bool read = true;
    if (layers) {
        std::vector<LayerRow> rows;
        read = ReadLayers(db, DrawingNo, rows);
        if (read)
            Model().SetLayers(std::move(rows));
    }
    if (colours && read) {
        std::vector<ColourRow> rows;
        read = ReadColours(db, DrawingNo, rows);
        if (read)
            Model().SetColours(std::move(rows));
    }
    if (lineTypes && read) {
        std::vector<LineTypeRow> rows;
        read = ReadLineTypes(db, DrawingNo, rows);
        if (read)
            Model().SetLineTypes(std::move(rows));
    }
    // A drawing deleted meanwhile is said so; otherwise the next poll takes the rows in.
    if (!read)
        Refresh();
    // A layer's new name shows beside its number.
    ShowCurrentValues();
    Redraw();
}

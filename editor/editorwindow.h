// The editor window of one drawing: the paper and its lines in a paint box, zoom and pan by
// wheel, keys and button gestures, the tool panel and the status bar. The window turns the
// user's events into calls of its controller and paints what the controller shows.
#pragma once

#include "editor/control/editorcontroller.h"
#include "editor/drawingloader.h"
#include "editor/model/sheetframe.h"

#include <QImage>
#include <QWidget>

#include <memory>

class Database;
struct AppContext;
class DrawingModel;
class DrawingOutput;
class LiveCursors;
class LiveWatch;
class QAction;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTimer;
class QToolButton;

class TForm13 : public QWidget, private EditorHost
{
    Q_OBJECT

    // First: the values below refer into it.
    std::unique_ptr<EditorController> control;

public:
    // The drawing is named here, once, and never changes.
    TForm13(AppContext &context, int drawingNo, double paperWidth, double paperHeight,
            QWidget *parent = nullptr);
    ~TForm13() override;

    const int DrawingNo;
    const double PaperWidth;
    const double PaperHeight;

    int &CurLayer;
    int &CurColor;
    int &CurLineType;
    int &CurWidth;
    double &CurGrid;

    QWidget *PaintBox1;
    QFrame *Panel1;
    QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4, *SpeedButton5;
    QToolButton *SpeedButton6, *SpeedButton7, *SpeedButton8, *SpeedButton9;
    QToolButton *SpeedButton10, *SpeedButton11, *SpeedButton12, *SpeedButton13;
    QLabel *LabelA1, *LabelA2, *LabelA3, *LabelA4, *LabelA5;
    // The current layer's name, beside its number.
    QLabel *LayerName;
    QStatusBar *StatusBar1;
    QAction *mnuChatStart, *mnuChatEdit, *mnuMousePointer;
    QAction *mnuCadNew, *mnuCadEdit, *mnuCadList;
    QAction *mnuDrawLineX, *mnuDrawLineY, *mnuDrawLine2, *mnuDrawBox;
    QAction *mnuDrawCircle, *mnuDrawArc, *mnuDrawArc3, *mnuDrawText;
    QAction *mnuDrawErase, *mnuDrawUndo, *mnuDrawRedo;
    // The modify commands' buttons, beside the drawing ones, and 反転's choice.
    QFrame *Panel2;
    QAction *mnuEditMirrorKeeps;
    // 測定 and the ortho hold (F8), the latter also toggled by its status-bar panel.
    QAction *mnuDrawMeasure, *mnuDrawOrtho;
    // Points typed while a command waits; keys typed on the paint box go here.
    QLineEdit *PointInput;
    QToolButton *OrthoPanel;
    QAction *mnuSetLayer, *mnuSetColor, *mnuSetLtype, *mnuSetWidth, *mnuSetGrid;
    QAction *mnuSetWheel, *mnuSetDates;
    // The sheet's frame and title block: shown or not for this drawing on every PC, the
    // filing margin and the team's name for every drawing on this PC.
    QAction *mnuSetFrame, *mnuSetScale, *mnuSetFiling, *mnuSetTeam;
    QAction *mnuOutPrint, *mnuOutPdf, *mnuOutDxf;
    // A DXF file into this drawing as one operation, read in steps; false after a message
    // when it cannot start. The summary or the failure is a message at the end.
    QAction *mnuInDxf;
    bool ImportDxf(const QString &file);
    bool ImportingDxf() const;
    // Nothing of the file is stored.
    void CancelDxfImport();
    // Printing and the PDF and DXF files, with their progress in the status bar.
    DrawingOutput *Output;

    Database &Db() { return db; }
    AppContext &Context() { return context; }
    DrawingModel &Model() { return control->Model(); }
    const View &CurrentView() const { return control->CurrentView(); }
    // What the paint box shows: the picture with the band, frames and marker over it.
    QImage Screen() const { return control->Screen(); }
    // The picture of the last redraw, without figures.
    const QImage &Picture() const { return control->Picture(); }
    void ShowScreen();
    // The status bar's panels 0-2 (pointer, command, prompt) and its notice.
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString &text);
    QString Notice() const;
    // How to give a point, while a command waits for one.
    QString PointHint() const;
    // A passing note goes after this long; lasting ones (loading, a deleted drawing) stay.
    int NoticeMs = 10000;
    bool Loaded() const { return control->loaded; }
    bool Polling() const;
    // The others on this drawing, and the interval of the change poll (tests lengthen it).
    LiveCursors &Cursors() { return *cursors; }
    void SetPollMs(int ms);

    // The frame and title block as the picture shows them now; not shown when hidden.
    const SheetFrame &SheetFrameNow() const { return sheetFrame; }
    const TitleFields &Title() const { return titleFields; }
    bool FrameHidden() const { return frameHidden; }
    // The scale typed for this drawing's title block; empty: the current layer's.
    QString TypedFrameScale() const { return typedScale; }
    // Reads the title block's values and the frame's switch from the database; true when
    // something the picture shows changed.
    bool ReadTitle();

    // Paints the picture for the current view from the drawing in memory.
    void Redraw();
    // Asks the database what changed, takes it in and redraws when something did.
    void Refresh();
    // The value labels and hints from the current values.
    void ShowCurrentValues();

    // The drawing command waiting for points: started by the tool buttons and the drawing
    // menu, given points by the mouse, cancelled by Escape and by closing.
    void StartCommand(int code);
    const DrawCommand &Command() const { return control->Command(); }
    // The pointer position the command follows, on the grid.
    double &PickX;
    double &PickY;
    bool RubberShown() const { return control->RubberShown(); }
    // Points after a figure's first held horizontal or vertical from the one before.
    bool Ortho() const { return control->Ortho(); }
    void SetOrtho(bool on);
    // The distance and angle of the tracked point from the last one, as the status bar
    // shows them.
    QString RelativeShown() const;

    // The snaps a right click takes (SnapKind bits), for every editor of this PC; switched
    // in the snap menu and by the status bar's button, which shows them.
    unsigned SnapKinds() const override;
    void SetSnapKinds(unsigned kinds);
    QMenu *mnuSnap;
    QToolButton *SnapButton;
    // The kind of the marker at the point a right click would take, 0 while none is shown.
    int MarkerKind() const { return control->MarkerKind(); }

    // Lines picked with the mouse while no command waits, shown highlighted; erased with
    // Delete. Undo and Redo take back and do again this window's own drawing and erasing.
    const Selection &Selected() const { return control->Selected(); }
    const EditHistory &History() const { return control->History(); }
    bool FrameShown() const { return control->FrameShown(); }
    void ClearSelection();
    void EraseSelected();
    void Undo();
    void Redo();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What the controller asks of the window.
    void Note(const QString &text, bool lasting) override { SetNotice(text, lasting); }
    QString NoteShown() const override { return Notice(); }
    void Tell(const QString &text) override;
    bool AskText(TextShape &text, bool editing) override;
    void CommandChanged() override { ShowCommand(); }
    void ScreenChanged() override { ShowScreen(); }
    void Reread() override { Refresh(); }
    int Member() const override;
    bool AutoDates() const override;

    void FormShow();
    void PaintBox1Paint();
    void PaintBox1Resize();
    void PaintBox1MouseDown(QMouseEvent *event);
    void PaintBox1MouseMove(QMouseEvent *event);
    void PaintBox1MouseUp(QMouseEvent *event);
    void FitPaper();
    void ZoomAt(double px, double py, double factor);
    // The wheel's zoom: the picture scaled about the pointer at once, the sharp one drawn
    // as soon as the copy is on the screen.
    void WheelZoom(double px, double py, double factor);
    void ChordGesture(int x, int y);
    void Pan(int key, bool shift);
    // Follows a view change: the database's question, then the picture.
    void ViewChanged(bool changed);
    void LoadStep();
    void EndLoad(bool ok);
    void PollTick();
    // From here on other PCs' notes and pointers are followed.
    void GoLive();
    void SetNotice(const QString &text, bool lasting = false);
    // True when the view shows the whole sheet, as after a fit.
    bool WholeSheetShown() const;
    void SetUpCommands();
    void SetUpDxfImport(class QMenu *menu);
    void mnuInDxfClick();
    friend class DxfImporting;
    class DxfImporting *dxfImporting = nullptr;
    void StoreDxf(const struct DxfImportResult &import);
    void SetUpSettings();
    void SetUpFrame(class QMenu *set);
    void SetFrameHidden(bool hidden);
    void AskTeamName();
    void AskFrameScale();
    // The frame laid out for the paper, the options and the values read last.
    void LayOutFrame();
    // The settings buttons and their menu items.
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    // Reads the named small tables again into the drawing and redraws.
    void TakeSettingTables(bool layers, bool colours, bool lineTypes);
    void ShowCommand();
    void SetUpSnaps();
    void ShowSnapKinds();
    void SetUpModify(QMenuBar *bar);
    // The 寸法 menu; a dimension starts with this PC's dimension settings.
    void SetUpDimensions(QMenuBar *bar);
    void StartDimension(int code);
    void AskDimensionSettings();
    void SetUpInput();
    // A printable key on the paint box starts a typed entry; false when it is not one.
    bool TypeIntoInput(QKeyEvent *event);
    bool InputKey(QKeyEvent *event);
    void EnterPoint();
    void ShowRelative();
    void SetUpEditing();

    AppContext &context;
    Database &db;
    bool Shown = false;
    bool fitted = false;
    // Every entity read: only then is the drawing worth keeping on this PC.
    bool whole = false;
    RowCache rowCache;
    static constexpr double ZoomStep = 1.5;
    static constexpr int PanelWidth = 84;
    int ButtonState = 0;
    int PressX = 0, PressY = 0;
    // Wheel movement not yet a whole notch.
    int wheelRest = 0;
    QTimer *loadTimer;
    QTimer *pollTimer;
    // The sharp picture after a scaled copy.
    QTimer *sharpTimer;
    QLabel *panels[3];
    QLabel *notice;
    QLabel *hint;
    QTimer *noticeTimer;
    // The frame's maximised state at the last resize: maximising or restoring refits a view
    // that showed the whole sheet.
    bool wasMaximised = false;
    // The text dialog, made when first needed; it remembers its values.
    class TextDialog *textDialog = nullptr;
    LiveWatch *live;
    LiveCursors *cursors;
    TitleFields titleFields;
    bool frameHidden = false;
    QString typedScale;
    SheetFrame sheetFrame;
};

// The editor window of one drawing: the paper and its lines in a paint box, zoom and pan by
// wheel, keys and button gestures, the tool panel and the status bar. The picture is held
// off screen and painted from the drawing in memory, which follows the database.
#pragma once

#include "db/changestore.h"
#include "editor/commands/drawcommand.h"
#include "editor/drawingloader.h"
#include "editor/commands/edithistory.h"
#include "editor/model/sheetframe.h"
#include "editor/view/selection.h"
#include "editor/view/view.h"

#include <QImage>
#include <QWidget>

#include <memory>

class Database;
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
struct SnapResult;

class TForm13 : public QWidget
{
    Q_OBJECT

public:
    // The drawing is named here, once, and never changes.
    TForm13(Database &db, int drawingNo, double paperWidth, double paperHeight,
            QWidget *parent = nullptr);
    ~TForm13() override;

    const int DrawingNo;
    const double PaperWidth;
    const double PaperHeight;

    int CurLayer = 0;
    int CurColor = 0;
    int CurLineType = 0;
    int CurWidth = 0;
    double CurGrid = 0;

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
    DrawingModel &Model() { return *model; }
    const View &CurrentView() const { return view; }
    // What the paint box shows: the picture with any XOR figure drawn over it. Figures are
    // drawn here and then shown with ShowScreen.
    QImage &Screen() { return screen; }
    // The picture of the last redraw, without figures.
    const QImage &Picture() const { return picture; }
    void ShowScreen();
    // The status bar's panels 0-2 (pointer, command, prompt) and its notice.
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString &text);
    QString Notice() const;
    // How to give a point, while a command waits for one.
    QString PointHint() const;
    // A passing note goes after this long; lasting ones (loading, a deleted drawing) stay.
    int NoticeMs = 10000;
    bool Loaded() const { return loaded; }
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
    const DrawCommand &Command() const { return command; }
    // The pointer position the command follows, on the grid.
    double PickX = 0, PickY = 0;
    bool RubberShown() const { return rubberShown; }
    // Points after a figure's first held horizontal or vertical from the one before.
    bool Ortho() const { return ortho; }
    void SetOrtho(bool on);
    // The distance and angle of the tracked point from the last one, as the status bar
    // shows them.
    QString RelativeShown() const;

    // The snaps a right click takes (SnapKind bits), for every editor of this PC; switched
    // in the snap menu and by the status bar's button, which shows them.
    unsigned SnapKinds() const;
    void SetSnapKinds(unsigned kinds);
    QMenu *mnuSnap;
    QToolButton *SnapButton;
    // The kind of the marker at the point a right click would take, 0 while none is shown.
    int MarkerKind() const { return markerShown ? markerKind : 0; }

    // Lines picked with the mouse while no command waits, shown highlighted; erased with
    // Delete. Undo and Redo take back and do again this window's own drawing and erasing.
    const Selection &Selected() const { return selection; }
    const EditHistory &History() const { return history; }
    bool FrameShown() const { return frameShown; }
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
    // The picture of the last redraw scaled into the current view as the screen; false,
    // nothing shown, when it cannot be.
    bool ShowScaledCopy();
    void ChordGesture(int x, int y);
    void DrawZoomRect();
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
    void CancelCommand();
    void ShowCommand();
    void TrackPoint(double x, double y);
    void GivePoint(double x, double y);
    void SnapPoint(double x, double y);
    void SetUpSnaps();
    void ShowSnapKinds();
    bool SnapAt(double x, double y, SnapResult &out) const;
    // The marker to the snap a right click at (x, y) would take, or off when there is none.
    void TrackSnap(double x, double y);
    void HideMarker();
    void DrawMarker();
    void TakePoint(double x, double y);
    // The rubber band to (PickX, PickY), drawn again when it moved or is not on screen;
    // true when the screen changed.
    bool FollowPick();
    void DrawRubber();
    bool StoreFigure(const std::vector<Shape> &shapes);
    void SetUpModify(QMenuBar *bar);
    // The 寸法 menu; a dimension starts with this PC's dimension settings.
    void SetUpDimensions(QMenuBar *bar);
    void StartDimension(int code);
    void AskDimensionSettings();
    // A live, shown entity as a command changes it, in paper millimetres.
    bool SubjectOf(int32_t entity, Subject &out) const;
    // The selection handed to the command that changes figures.
    void HandSelection();
    // The figure at (x, y) picked for the command, at (gx, gy) when that lies on it too.
    void PickAt(double x, double y, double gx, double gy);
    // A typed number for the command's step; false when the step takes none.
    bool EnterValue(const QString &text);
    // After the command took a point, pick or value: the figure or change stored.
    void AfterGiven(const std::vector<Shape> &shapes);
    bool StoreModify(const Change &change);
    bool StepBack();
    void SetUpInput();
    // A printable key on the paint box starts a typed entry; false when it is not one.
    bool TypeIntoInput(QKeyEvent *event);
    bool InputKey(QKeyEvent *event);
    void EnterPoint();
    // (x, y) as ortho holds it from the last point.
    void HoldPoint(double &x, double &y) const;
    void ShowRelative();
    // 測定: the one entity selected is measured at once; then two points are asked for.
    void StartMeasure();
    void ShowMeasured(const Shape &band);
    // The text command's dialog: its values for the next texts; false when cancelled.
    bool AskText();
    // Opens the dialog on a stored text and stores the change as one operation.
    void EditText(int32_t entity);
    // A double click on a text while no command waits opens it in the dialog.
    bool EditTextAt(QMouseEvent *event);
    NumberHints StoreHints();
    void SetUpEditing();
    // The picture from the lines of the last redraw with the selection over them, and the
    // screen from it.
    void ShowSelection();
    void TrackFrame(int x, int y);
    void HideFrame();
    void DrawSelectFrame();
    void SelectAt(int x, int y, bool shift);
    // Stores the state for the entities as one operation and takes it in; false when the
    // store failed.
    bool StoreStates(const std::vector<int32_t> &erase, const std::vector<int32_t> &restore,
                     StoredOperation &out);
    // Stores the change set as one operation and takes it in; false (after a message) when
    // it could not be stored.
    bool StoreChangeSet(const ChangeSet &changes);
    void TakeStored(const QString &name, const StoredOperation &stored);
    // After a stored change: the register's update date, when this PC keeps it so.
    void NoteContentsChanged();
    // "N 本の線", or "N 個の図形" when not all of them are lines.
    QString Counted(const std::vector<int32_t> &entities) const;
    // Undo (back) or redo of the next step of the window's history.
    void Replay(bool back);

    Database &db;
    std::unique_ptr<DrawingModel> model;
    View view;
    QImage picture;
    QImage screen;
    QImage panSnapshot;
    bool Shown = false;
    bool fitted = false;
    bool loaded = false;
    bool gone = false;
    // Every entity read: only then is the drawing worth keeping on this PC.
    bool whole = false;
    RowCache rowCache;
    static constexpr double ZoomStep = 1.5;
    static constexpr int PanelWidth = 84;
    int ButtonState = 0;
    int PressX = 0, PressY = 0;
    int zoomX1 = 0, zoomY1 = 0, zoomX2 = 0, zoomY2 = 0;
    bool zoomShown = false;
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
    DrawCommand command;
    StoreResult lastStore = StoreResult::Stored;
    bool ortho = false;
    QString inputError; // the notice of the last entry refused
    bool rubberShown = false;
    double rubberX = 0, rubberY = 0;
    bool markerShown = false;
    int markerKind = 0, markerX = 0, markerY = 0; // at pixels of the screen
    // The text dialog, made when first needed; it remembers its values.
    class TextDialog *textDialog = nullptr;
    QImage plain; // the picture of the last redraw without the selection
    ViewParams plainView; // the view it shows
    Selection selection;
    EditHistory history;
    bool frameShown = false;
    int frameX2 = 0, frameY2 = 0;
    LiveWatch *live;
    LiveCursors *cursors;
    TitleFields titleFields;
    bool frameHidden = false;
    QString typedScale;
    SheetFrame sheetFrame;
};

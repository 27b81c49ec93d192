// The editor's working parts behind its window: the drawing in memory, the view and its
// picture, the selection, the history, the running command with its point input, and the
// store. The window feeds it the user's gestures in paint-box pixels and paints Screen(): the
// picture with the band, frames and snap marker drawn fresh over it. No widget.
#pragma once

#include "db/changestore.h"
#include "editor/commands/drawcommand.h"
#include "editor/commands/edithistory.h"
#include "editor/view/selection.h"
#include "editor/view/view.h"

#include <QImage>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class Database;
class DrawingModel;
struct SheetFrame;
struct SnapResult;

// What the controller needs from the window around it.
class EditorHost
{
public:
    virtual ~EditorHost() = default;
    // A passing note in the status bar, or a lasting one; and the note shown now.
    virtual void Note(const QString &text, bool lasting = false) = 0;
    virtual QString NoteShown() const = 0;
    // A message the user acknowledges.
    virtual void Tell(const QString &text) = 0;
    // The text dialog on these values; false when cancelled. Editing a stored text leaves
    // the values the command's next texts take alone.
    virtual bool AskText(TextShape &text, bool editing) = 0;
    // The command, its prompt or the position from its last point changed.
    virtual void CommandChanged() = 0;
    // What Screen() gives changed.
    virtual void ScreenChanged() = 0;
    // Everything read again from the database, as after another PC's change was found.
    virtual void Reread() = 0;
    // This PC's member, whether it keeps the register's update date, its snaps.
    virtual int Member() const = 0;
    virtual bool AutoDates() const = 0;
    virtual unsigned SnapKinds() const = 0;
};

// The values new figures take and the grid the pointer keeps to.
struct CurrentValues
{
    int layer = 0;
    int colour = 0;
    int lineType = 0;
    int width = 0;
    double grid = 0;
};

class EditorController
{
public:
    EditorController(Database &db, int drawingNo, double paperWidth, double paperHeight,
                     EditorHost &host);
    ~EditorController();

    const int DrawingNo;
    const double PaperWidth;
    const double PaperHeight;
    CurrentValues current;
    // The pointer position the command follows, on the grid.
    double pickX = 0, pickY = 0;

    DrawingModel &Model() { return *model; }
    const DrawingModel &Model() const { return *model; }
    View &CurrentView() { return view; }
    const View &CurrentView() const { return view; }
    const Selection &Selected() const { return selection; }
    const EditHistory &History() const { return history; }
    const DrawCommand &Command() const { return command; }
    DrawCommand &Command() { return command; }

    // Whether every row is in memory (stores are taken in only then), and whether another PC
    // deleted the drawing's tables (nothing is stored then).
    bool loaded = false;
    bool gone = false;
    // The frame the picture draws, laid out by the window; its corners snap.
    void SetFrame(const SheetFrame *frame) { sheetFrame = frame; }

    // The picture of the current view from the drawing in memory, for a paint box of this
    // size; the view follows the size.
    void Redraw(int width, int height);
    // The picture after these entities were added, erased or restored: only where they
    // lie drawn again when that is quicker than a whole redraw.
    void RedrawChanged(const std::vector<int32_t> &entities);
    // After the view changed: another PC's work is looked for, then a pan of an unchanged
    // drawing moves the picture and renders only what it uncovers.
    void ViewChanged(bool changed);
    // The picture of the last redraw scaled into the current view, shown until the next
    // redraw; false when it cannot be.
    bool ShowScaledCopy();
    // A middle drag: the picture moved by whole pixels, then the view moved with it.
    void DragBy(int dx, int dy);
    void EndDrag(int x0, int y0, int x1, int y1);
    bool Dragging() const { return dragging; }
    // The picture without figures, and with them.
    const QImage &Picture() const { return picture; }
    QImage Screen() const;

    // Commands and points. Pixel positions are of the paint box.
    void StartCommand(int code);
    void CancelCommand() { StartCommand(NoCommand); }
    void StartMeasure();
    void TrackPoint(double x, double y);
    void PointerAt(int px, int py);
    void ClickAt(int px, int py);
    void SnapClickAt(int px, int py);
    // A point or value typed in the status bar; refused ones leave a note.
    enum class Entry { Ignored, Taken, Refused };
    Entry EnterText(const QString &text);
    // Escape: the command's step before, else the command and the selection dropped.
    void Escape();
    // Enter while the command waits for a selection.
    void EndSelecting();
    bool Ortho() const { return ortho; }
    void SetOrtho(bool on);
    // The position of the tracked point from the command's last point, empty before one.
    QString Relative() const;
    bool RubberShown() const;
    int MarkerKind() const { return markerShown ? markerKind : 0; }
    void HideMarker();

    // Picking and framing while no command waits (or one waits for a selection).
    void PressAt(int px, int py);
    void FrameTo(int px, int py);
    void HideFrame();
    void SelectAt(int px, int py, bool shift);
    bool FrameShown() const { return frameShown; }
    // A double click: a text there opens in the dialog; false when none is there.
    bool EditTextAt(int px, int py);
    void ClearSelection();
    void EraseSelected();
    void Undo() { Replay(true); }
    void Redo() { Replay(false); }

    // The zoom frame of a two-button drag, from the press point.
    void ZoomFrameTo(int px, int py);
    void HideZoomFrame();

    // Stores the change set as one operation and takes it in; false (after a message) when
    // it could not be stored.
    bool StoreChangeSet(const ChangeSet &changes);
    // An operation stored elsewhere taken in: into the history, the drawing and the picture.
    void TakeStored(const QString &name, const StoredOperation &stored);
    // After a stored change: the register's update date, when this PC keeps it so.
    void NoteContentsChanged();
    // The look new figures take.
    EntityLook Look() const;

private:
    bool SnapAt(double x, double y, SnapResult &out) const;
    void TrackSnap(double x, double y);
    void GivePoint(double x, double y);
    void TakePoint(double x, double y);
    void HoldPoint(double &x, double &y) const;
    void PickAt(double x, double y, double gx, double gy);
    bool SubjectOf(int32_t entity, Subject &out) const;
    void HandSelection();
    bool EnterValue(const QString &text);
    void AfterGiven(const std::vector<Shape> &shapes);
    bool StoreFigure(const std::vector<Shape> &shapes);
    bool StoreModify(const Change &change);
    void ShowMeasured(const Shape &band);
    bool StoreStates(const std::vector<int32_t> &erase, const std::vector<int32_t> &restore,
                     StoredOperation &out);
    QString Counted(const std::vector<int32_t> &entities) const;
    void Replay(bool back);
    void EditText(int32_t entity);
    // The picture from the lines of the last redraw with the selection over them.
    void ShowSelection();
    // A redraw or a copy paints over the passing figures.
    void DropFigures();
    void Changed() const;
    void Redraw() { Redraw(view.Width(), view.Height()); }
    // The band, frames and marker over the image.
    void PaintFigures(QImage &image) const;

    Database &db;
    EditorHost &host;
    std::unique_ptr<DrawingModel> model;
    View view;
    Selection selection;
    EditHistory history;
    DrawCommand command;
    StoreResult lastStore = StoreResult::Stored;
    const SheetFrame *sheetFrame = nullptr;
    bool ortho = false;
    QString inputError; // the note of the last entry refused

    QImage plain; // the picture of the last redraw without the selection
    ViewParams plainView; // the view it shows
    QImage spare; // the one before it, for a pan to draw into
    QImage picture; // with the selection
    QImage base; // what the figures are painted over: the picture, a copy or a drag
    bool dragging = false;

    int pressX = 0, pressY = 0;
    bool frameShown = false;
    int frameX2 = 0, frameY2 = 0;
    bool zoomShown = false;
    int zoomX2 = 0, zoomY2 = 0;
    bool markerShown = false;
    int markerKind = 0, markerX = 0, markerY = 0;
};

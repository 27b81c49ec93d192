#include "editor/editorwindow.h"

#include "base/appcontext.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/settings.h"
#include "base/values.h"
#include "db/database.h"
#include "db/drawingrows.h"
#include "db/liveevents.h"
#include "editor/drawingloader.h"
#include "editor/livecursors.h"
#include "editor/model/drawingmodel.h"
#include "editor/output/drawingoutput.h"

#include <QBoxLayout>
#include <QCursor>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

enum Buttons { Left = 1, Right = 2, Middle = 4, Double = 8, Shift = 16, Alt = 32, Ctrl = 64 };

// Entities read per step while a drawing opens; the window stays responsive between steps.
constexpr int LoadStepLines = 50000;
constexpr int PollMs = 1000;

int buttonBits(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods, bool doubleClick)
{
    int bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= Left;
    if (buttons & Qt::RightButton)
        bits |= Right;
    if (buttons & Qt::MiddleButton)
        bits |= Middle;
    if (doubleClick)
        bits |= Double;
    if (mods & Qt::ShiftModifier)
        bits |= Shift;
    if (mods & Qt::AltModifier)
        bits |= Alt;
    if (mods & Qt::ControlModifier)
        bits |= Ctrl;
    return bits;
}

QString number(double v)
{
    return FloatText(v == 0 ? 0.0 : v); // no "-0"
}

} // namespace

TForm13::TForm13(AppContext &appContext, int drawingNo, double paperWidth, double paperHeight,
                 QWidget *parent)
    : QWidget(parent),
      control(std::make_unique<EditorController>(appContext.db, drawingNo, paperWidth, paperHeight,
                                                 static_cast<EditorHost &>(*this))),
      DrawingNo(drawingNo), PaperWidth(paperWidth), PaperHeight(paperHeight),
      CurLayer(control->current.layer), CurColor(control->current.colour),
      CurLineType(control->current.lineType), CurWidth(control->current.width),
      CurGrid(control->current.grid), PickX(control->pickX), PickY(control->pickY),
      context(appContext), db(appContext.db),
      rowCache(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
               + QStringLiteral("/harokan"))
{
    control->SetFrame(&sheetFrame);
    setObjectName(QStringLiteral("Form13"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("CAD"));
    setProperty(OwnMenusProperty, true);
    setFocusPolicy(Qt::StrongFocus);
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPixelSize(13);
    setFont(f);

    auto *menu = new QMenuBar(this);
    auto item = [](QMenu *m, const char *name, const QString &caption) {
        QAction *a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    QMenu *chat = menu->addMenu(QStringLiteral("チャット(&C)"));
    chat->setObjectName(QStringLiteral("mnuChat"));
    mnuChatStart = item(chat, "mnuChatStart", QStringLiteral("チャット開始(&S)"));
    mnuChatEdit = item(chat, "mnuChatEdit", QStringLiteral("チャット内容の編集(&E)"));
    chat->addSeparator()->setObjectName(QStringLiteral("MnuDmy4"));
    mnuMousePointer = item(chat, "mnuMousePointer", QStringLiteral("マウスポインタ(&M)"));
    QMenu *cad = menu->addMenu(QStringLiteral("CAD図面(&Z)"));
    cad->setObjectName(QStringLiteral("mnuCad"));
    mnuCadNew = item(cad, "mnuCadNew", QStringLiteral("新規作成(&N)"));
    mnuCadEdit = item(cad, "mnuCadEdit", QStringLiteral("編集(&E)"));
    mnuCadList = item(cad, "mnuCadList", QStringLiteral("一覧表示(&L)"));
    QMenu *draw = menu->addMenu(QStringLiteral("作図(&D)"));
    draw->setObjectName(QStringLiteral("mnuDraw"));
    mnuDrawLineX = item(draw, "mnuDrawLineX", QStringLiteral("水平線(&X)"));
    mnuDrawLineY = item(draw, "mnuDrawLineY", QStringLiteral("垂直線(&Y)"));
    mnuDrawLine2 = item(draw, "mnuDrawLine2", QStringLiteral("線　分(&2)"));
    mnuDrawBox = item(draw, "mnuDrawBox", QStringLiteral("四　角(&B)"));
    mnuDrawCircle = item(draw, "mnuDrawCircle", QStringLiteral("円(&C)"));
    mnuDrawArc = item(draw, "mnuDrawArc", QStringLiteral("円弧(&A)"));
    mnuDrawArc3 = item(draw, "mnuDrawArc3", QStringLiteral("3点円弧(&3)"));
    mnuDrawText = item(draw, "mnuDrawText", QStringLiteral("文字(&T)"));
    draw->addSeparator();
    mnuDrawMeasure = item(draw, "mnuDrawMeasure", QStringLiteral("測定(&M)"));
    mnuDrawOrtho = item(draw, "mnuDrawOrtho", QStringLiteral("直交(&O)"));
    draw->addSeparator();
    mnuDrawErase = item(draw, "mnuDrawErase", QStringLiteral("削除(&E)"));
    mnuDrawUndo = item(draw, "mnuDrawUndo", QStringLiteral("元に戻す(&U)"));
    mnuDrawRedo = item(draw, "mnuDrawRedo", QStringLiteral("やり直し(&R)"));
    SetUpModify(menu);
    SetUpDimensions(menu);
    QMenu *set = menu->addMenu(QStringLiteral("設定(&S)"));
    set->setObjectName(QStringLiteral("mnuSet"));
    mnuSetLayer = item(set, "mnuSetLayer", QStringLiteral("レイヤ(&L)"));
    mnuSetColor = item(set, "mnuSetColor", QStringLiteral("色(&C)"));
    mnuSetLtype = item(set, "mnuSetLtype", QStringLiteral("線種(&T)"));
    mnuSetWidth = item(set, "mnuSetWidth", QStringLiteral("線幅(&W)"));
    mnuSetGrid = item(set, "mnuSetGrid", QStringLiteral("グリッド(&G)"));
    set->addSeparator();
    // Kept with this PC's settings, for every editor.
    mnuSetWheel = item(set, "mnuSetWheel", QStringLiteral("ホイール手前で縮小(&H)"));
    mnuSetWheel->setCheckable(true);
    connect(set, &QMenu::aboutToShow, this,
            [this] { mnuSetWheel->setChecked(context.settings.WheelTowardUserZoomsOut); });
    connect(mnuSetWheel, &QAction::toggled, this,
            [this](bool on) { context.settings.WheelTowardUserZoomsOut = on; });
    mnuSetDates = item(set, "mnuSetDates", QStringLiteral("作成日付・更新日付の自動記入(&D)"));
    mnuSetDates->setCheckable(true);
    connect(set, &QMenu::aboutToShow, this,
            [this] { mnuSetDates->setChecked(context.settings.AutoRegisterDates); });
    connect(mnuSetDates, &QAction::toggled, this,
            [this](bool on) { context.settings.AutoRegisterDates = on; });
    SetUpFrame(set);
    mnuSnap = menu->addMenu(QStringLiteral("スナップ(&N)"));
    QMenu *out = menu->addMenu(QStringLiteral("出力(&O)"));
    out->setObjectName(QStringLiteral("mnuOut"));
    mnuOutPrint = item(out, "mnuOutPrint", QStringLiteral("印刷(&P)..."));
    mnuOutPdf = item(out, "mnuOutPdf", QStringLiteral("PDF出力(&F)..."));
    mnuOutDxf = item(out, "mnuOutDxf", QStringLiteral("DXF出力(&X)..."));
    SetUpDxfImport(out);

    PaintBox1 = new QWidget(this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setAttribute(Qt::WA_OpaquePaintEvent);
    PaintBox1->setMouseTracking(true);
    PaintBox1->setFocusPolicy(Qt::ClickFocus);
    PaintBox1->setMinimumSize(0, 0);
    PaintBox1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    PaintBox1->installEventFilter(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(PanelWidth);
    // Every tool button stays in reach, down to 文字 at 256 + 22.
    Panel1->setMinimumHeight(280);
    QFont small(QStringLiteral("ＭＳ ゴシック"));
    small.setPixelSize(12);
    Panel1->setFont(small);
    auto button = [this](const char *name, const QString &caption, int l, int t, int w,
                         int h) {
        auto *b = new QToolButton(Panel1);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        Place(b, l, t, w, h);
        return b;
    };
    auto label = [this](const char *name, int l, int t) {
        auto *a = new QLabel(Panel1);
        a->setObjectName(QString::fromLatin1(name));
        a->setGeometry(l, t, PanelWidth - l, 14);
        return a;
    };
    SpeedButton1 = button("SpeedButton1", QStringLiteral("&L"), 1, 1, 18, 18);
    SpeedButton2 = button("SpeedButton2", QStringLiteral("&C"), 1, 18, 18, 18);
    SpeedButton3 = button("SpeedButton3", QStringLiteral("&T"), 1, 35, 18, 18);
    SpeedButton4 = button("SpeedButton4", QStringLiteral("&W"), 1, 52, 18, 18);
    SpeedButton5 = button("SpeedButton5", QStringLiteral("&G"), 1, 70, 18, 18);
    // Wide enough for every caption whole.
    const int bw = PanelWidth - 4;
    SpeedButton6 = button("SpeedButton6", QStringLiteral("水平(&X"), 1, 88, bw, 22);
    SpeedButton7 = button("SpeedButton7", QStringLiteral("垂直(&Y"), 1, 112, bw, 22);
    SpeedButton8 = button("SpeedButton8", QStringLiteral("線分(&2"), 1, 136, bw, 22);
    SpeedButton9 = button("SpeedButton9", QStringLiteral("四角(&B"), 1, 160, bw, 22);
    SpeedButton10 = button("SpeedButton10", QStringLiteral("円(&C"), 1, 184, bw, 22);
    SpeedButton11 = button("SpeedButton11", QStringLiteral("円弧(&A"), 1, 208, bw, 22);
    SpeedButton12 = button("SpeedButton12", QStringLiteral("3点円弧"), 1, 232, bw, 22);
    SpeedButton13 = button("SpeedButton13", QStringLiteral("文字(&T"), 1, 256, bw, 22);
    LabelA1 = label("LabelA1", 22, 4);
    LabelA2 = label("LabelA2", 22, 21);
    LabelA3 = label("LabelA3", 22, 38);
    LabelA4 = label("LabelA4", 22, 55);
    LabelA5 = label("LabelA5", 22, 73);
    // Room for "255" before the name.
    LabelA1->setFixedWidth(LabelA1->fontMetrics().horizontalAdvance(QStringLiteral("255")) + 2);
    LayerName = label("LayerName", LabelA1->geometry().right() + 3, 4);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    // Never narrower than 100, 60 and 50 pixels; wide enough for a position on the largest
    // sheet zoomed out, the longest command name and the prompt shown.
    const QFontMetrics metrics(StatusBar1->font());
    const int margin = 8;
    const int widths[3] = {
        std::max(100, metrics.horizontalAdvance(QStringLiteral("-00000.00,-00000.00")) + margin),
        std::max(60, metrics.horizontalAdvance(QStringLiteral("3点円弧")) + margin), 50};
    for (int i = 0; i < 3; ++i) {
        panels[i] = new QLabel(StatusBar1);
        if (i < 2)
            panels[i]->setFixedWidth(widths[i]);
        else
            panels[i]->setMinimumWidth(widths[i]);
        StatusBar1->addWidget(panels[i]);
    }
    hint = new QLabel(StatusBar1);
    hint->setObjectName(QStringLiteral("PointHint"));
    StatusBar1->addWidget(hint);
    notice = new QLabel(StatusBar1);
    StatusBar1->addWidget(notice, 1);
    noticeTimer = new QTimer(this);
    noticeTimer->setSingleShot(true);
    connect(noticeTimer, &QTimer::timeout, notice, &QLabel::clear);

    auto *middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(0);
    middle->addWidget(PaintBox1, 1);
    middle->addWidget(Panel2);
    middle->addWidget(Panel1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menu);
    // No menu hides behind the overflow arrow.
    setMinimumWidth(menu->sizeHint().width());
    layout->addLayout(middle, 1);
    layout->addWidget(StatusBar1);

    Output = new DrawingOutput(*this);
    connect(mnuOutPrint, &QAction::triggered, Output, &DrawingOutput::mnuOutPrintClick);
    connect(mnuOutPdf, &QAction::triggered, Output, &DrawingOutput::mnuOutPdfClick);
    connect(mnuOutDxf, &QAction::triggered, Output, &DrawingOutput::mnuOutDxfClick);

    loadTimer = new QTimer(this);
    loadTimer->setSingleShot(true);
    loadTimer->setInterval(0);
    connect(loadTimer, &QTimer::timeout, this, &TForm13::LoadStep);
    pollTimer = new QTimer(this);
    pollTimer->setSingleShot(true);
    pollTimer->setInterval(PollMs);
    connect(pollTimer, &QTimer::timeout, this, &TForm13::PollTick);
    sharpTimer = new QTimer(this);
    sharpTimer->setSingleShot(true);
    sharpTimer->setInterval(0);
    connect(sharpTimer, &QTimer::timeout, this, [this] { ViewChanged(true); });
    SetUpCommands();
    SetUpEditing();
    SetUpInput();
    SetUpSettings();
    SetUpSnaps();

    // Another PC's stored work is looked for as soon as the server says so.
    live = new LiveWatch(db.Live(), this);
    connect(live, &LiveWatch::Noted, this, &TForm13::Refresh);
    cursors = new LiveCursors(db, DrawingNo, context.settings.PcUserNo, StatusBar1, this);
    connect(cursors, &LiveCursors::Changed, this, &TForm13::ShowScreen);
}

// Nothing here may reach the database: the main window that owns it may be going first.
TForm13::~TForm13() = default;

void TForm13::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!Shown)
        FormShow();
}

void TForm13::FormShow()
{
    QWidget *frame = WindowFrame(this);
    const Settings &s = context.settings;
    // A maximised frame keeps its size; the first opening on a PC (no size kept yet) fills
    // the window area.
    QWidget *area = frame != this ? frame->parentWidget() : nullptr;
    if (!frame->isMaximized()) {
        if (!EditorSizeKept(s) && area && !area->size().isEmpty())
            frame->setGeometry(QRect(QPoint(0, 0), area->size()));
        else
            frame->resize(s.EditorWidth, s.EditorHeight);
    }
    wasMaximised = frame->isMaximized();
    ButtonState = 0;
    PressX = PressY = 0;
    ShowCurrentValues();
    Shown = true;
    if (!BeginLoad(db, Model())) {
        bool present = true;
        ReadDrawingTablesPresent(db, DrawingNo, present);
        control->gone = !present;
        SetNotice(control->gone ? QStringLiteral("この図面のデータは削除されています")
                                : QStringLiteral("図面データを読み込めませんでした"),
                  true);
        control->loaded = true;
        if (!control->gone) {
            pollTimer->start();
            GoLive();
        }
        return;
    }
    if (rowCache.Load(db, Model())) {
        EndLoad(true);
        return;
    }
    // A small drawing is complete before the first paint; a large one goes on by steps.
    LoadStep();
}

void TForm13::LoadStep()
{
    const int read = ContinueLoad(db, Model(), LoadStepLines);
    if (read == LoadStepLines) {
        SetNotice(QStringLiteral("図面を読み込んでいます… %1 本").arg(Model().Count()), true);
        StatusBar1->repaint();
        loadTimer->start();
        return;
    }
    EndLoad(read >= 0);
}

void TForm13::EndLoad(bool ok)
{
    control->loaded = true;
    whole = ok;
    SetNotice(ok ? QString() : QStringLiteral("図面データを読み込めませんでした"), true);
    ShowCurrentValues();
    ReadTitle();
    Redraw();
    pollTimer->start();
    GoLive();
}

void TForm13::GoLive()
{
    live->Add(LiveEvents::DrawingEvent(DrawingNo));
    cursors->Start();
}

void TForm13::SetPollMs(int ms)
{
    pollTimer->setInterval(std::max(ms, 1));
}

void TForm13::PollTick()
{
    Refresh();
    if (!control->gone && isVisible())
        pollTimer->start();
}

bool TForm13::Polling() const
{
    return pollTimer->isActive();
}

void TForm13::Refresh()
{
    if (!control->loaded || control->gone)
        return;
    pollTimer->stop();
    // The register's row and revisions are written by the record form, which posts nothing:
    // the poll reads them again, a few small rows.
    const bool titled = ReadTitle();
    std::vector<int32_t> touched;
    switch (UpdateModel(db, Model(), &touched)) {
    case Refresh::Changed:
        // Another PC's few new or erased entities are drawn again where they lie.
        if (!titled && !touched.empty() && Shown && fitted)
            control->RedrawChanged(touched);
        else
            Redraw();
        break;
    case Refresh::Unchanged:
        if (titled)
            Redraw();
        break;
    case Refresh::Failed: {
        bool present = true;
        if (ReadDrawingTablesPresent(db, DrawingNo, present) && !present) {
            // Said once; the picture stays as it was.
            control->gone = true;
            live->Clear();
            cursors->Stop();
            SetNotice(QStringLiteral("この図面のデータは他のPCで削除されました"), true);
            return;
        }
        // What was read before the failure is in memory already; the next poll may find
        // nothing new, so the picture follows now.
        Redraw();
        break;
    }
    }
    pollTimer->start();
}

void TForm13::closeEvent(QCloseEvent *event)
{
    // A figure not finished is dropped, nothing stored.
    control->Command().Cancel();
    loadTimer->stop();
    pollTimer->stop();
    sharpTimer->stop();
    live->Clear();
    cursors->Stop();
    if (whole && !control->gone)
        rowCache.Keep(Model());
    QWidget *frame = WindowFrame(this);
    context.settings.EditorWidth = frame->width();
    context.settings.EditorHeight = frame->height();
    QWidget::closeEvent(event);
}

void TForm13::ShowCurrentValues()
{
    LabelA1->setText(QString::number(CurLayer));
    const LayerRow *layer = Model().Layer(CurLayer);
    const QString name = layer ? layer->name : QString();
    LayerName->setText(LayerName->fontMetrics().elidedText(name, Qt::ElideRight,
                                                           LayerName->width()));
    LayerName->setToolTip(name);
    LabelA2->setText(QString::number(CurColor));
    LabelA3->setText(QString::number(CurLineType));
    LabelA4->setText(QString::number(CurWidth));
    const QString grid = number(CurGrid);
    LabelA5->setText(grid);
    SpeedButton1->setToolTip(QStringLiteral("レイヤ：現在のレイヤ＝") + QString::number(CurLayer));
    SpeedButton2->setToolTip(QStringLiteral("色：現在の色＝")
                             + (CurColor ? QString::number(CurColor)
                                         : QStringLiteral("レイヤ依存色")));
    SpeedButton3->setToolTip(QStringLiteral("線種：現在の線種＝")
                             + (CurLineType ? QString::number(CurLineType)
                                            : QStringLiteral("レイヤ依存線種")));
    SpeedButton4->setToolTip(QStringLiteral("線幅：現在の線幅＝")
                             + (CurWidth ? QString::number(CurWidth)
                                         : QStringLiteral("レイヤ依存線幅")));
    SpeedButton5->setToolTip(CurGrid != 0 ? QStringLiteral("グリッド：") + grid
                                          : QStringLiteral("グリッド：0.0＝表示しない"));
}

QString TForm13::StatusText(int panel) const
{
    return panel >= 0 && panel < 3 ? panels[panel]->text() : QString();
}

void TForm13::SetStatusText(int panel, const QString &text)
{
    if (panel >= 0 && panel < 3)
        panels[panel]->setText(text);
}

QString TForm13::Notice() const
{
    return notice->text();
}

QString TForm13::PointHint() const
{
    return hint->text();
}

void TForm13::SetNotice(const QString &text, bool lasting)
{
    notice->setText(text);
    if (lasting || text.isEmpty())
        noticeTimer->stop();
    else
        noticeTimer->start(NoticeMs);
}

bool TForm13::WholeSheetShown() const
{
    double w = PaperWidth, h = PaperHeight;
    if (!(w > 0) || !(h > 0)) {
        w = 420;
        h = 297;
    }
    const ViewRect &r = CurrentView().Rect();
    // A pixel of slack for rounding.
    const double slack = r.scale > 0 ? 1 / r.scale : 0;
    return r.x1 <= -w / 2 + slack && r.x2 >= w / 2 - slack && r.y1 <= -h / 2 + slack
           && r.y2 >= h / 2 - slack;
}

void TForm13::ShowScreen()
{
    PaintBox1->update();
}

void TForm13::Redraw()
{
    // The first paint fits the paper to the paint box as laid out.
    if (!Shown || !fitted)
        return;
    sharpTimer->stop();
    LayOutFrame();
    control->Redraw(PaintBox1->width(), PaintBox1->height());
}

void TForm13::ViewChanged(bool changed)
{
    if (!changed)
        return;
    sharpTimer->stop();
    if (!Shown || !fitted) {
        control->ViewChanged(changed);
        return;
    }
    LayOutFrame();
    // A paint box resized since the last picture is drawn anew at its size.
    if (CurrentView().Width() != PaintBox1->width()
        || CurrentView().Height() != PaintBox1->height())
        Redraw();
    else
        control->ViewChanged(changed);
}

void TForm13::FitPaper()
{
    ViewChanged(control->CurrentView().Fit(PaperWidth, PaperHeight, PaintBox1->width(),
                                           PaintBox1->height()));
}

void TForm13::ZoomAt(double px, double py, double factor)
{
    ViewChanged(control->CurrentView().ZoomAt(px, py, factor));
}

void TForm13::WheelZoom(double px, double py, double factor)
{
    if (!control->CurrentView().ZoomAt(px, py, factor))
        return;
    // The database's question and the sharp picture once the copy is on the screen; the
    // notches that come before then are drawn sharp together.
    if (Shown && fitted && control->ShowScaledCopy()) {
        PaintBox1->repaint();
        sharpTimer->start();
    } else {
        ViewChanged(true);
    }
}

bool TForm13::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PointInput && event->type() == QEvent::KeyPress)
        return InputKey(static_cast<QKeyEvent *>(event));
    if (watched != PaintBox1)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        PaintBox1Paint();
        return true;
    case QEvent::Resize:
        PaintBox1Resize();
        return false;
    case QEvent::MouseButtonDblClick: {
        // A double click on a text while no command waits opens it in the dialog.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        if (mouse->button() == Qt::LeftButton && control->EditTextAt(at.x(), at.y()))
            return true;
        PaintBox1MouseDown(static_cast<QMouseEvent *>(event));
        return true;
    }
    case QEvent::MouseButtonPress:
        PaintBox1MouseDown(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseMove:
        PaintBox1MouseMove(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::Leave:
        control->HideMarker();
        cursors->PointerLeft();
        return false;
    case QEvent::MouseButtonRelease:
        PaintBox1MouseUp(static_cast<QMouseEvent *>(event));
        return true;
    default:
        return false;
    }
}

void TForm13::PaintBox1Paint()
{
    if (!fitted) {
        fitted = control->CurrentView().Fit(PaperWidth, PaperHeight, PaintBox1->width(),
                                            PaintBox1->height());
        Redraw();
    }
    QPainter p(PaintBox1);
    const QImage screen = Screen();
    if (screen.isNull() || screen.size() != PaintBox1->size()) {
        p.fillRect(PaintBox1->rect(), Qt::white);
        if (!screen.isNull())
            p.drawImage(0, 0, screen);
        return;
    }
    p.drawImage(0, 0, screen);
    cursors->Paint(p, CurrentView());
}

void TForm13::PaintBox1Resize()
{
    if (!fitted)
        return;
    const bool maximised = WindowFrame(this)->isMaximized();
    const bool stateChanged = maximised != wasMaximised;
    wasMaximised = maximised;
    // Maximised or restored, a sheet seen whole is fitted to the new size; a zoomed view
    // keeps its scale.
    if (stateChanged && WholeSheetShown()) {
        FitPaper();
        return;
    }
    // Shown at once for the new size, so that what is seen is where a click lands.
    if (control->CurrentView().Resize(PaintBox1->width(), PaintBox1->height()))
        Redraw();
}

void TForm13::PaintBox1MouseDown(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (!(ButtonState & (Left | Right))) {
        PressX = at.x();
        PressY = at.y();
        control->PressAt(PressX, PressY);
    }
    ButtonState |= buttonBits(event->buttons() | event->button(), event->modifiers(),
                              event->type() == QEvent::MouseButtonDblClick);
    if (ButtonState & Middle)
        control->HideMarker();
}

void TForm13::PaintBox1MouseMove(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    const PaperPoint p = CurrentView().ToPaper(at.x(), at.y());
    cursors->PointerAt(at.x(), at.y(), p.x, p.y);
    // Hundredths of a millimetre are as fine as a drafter reads a position.
    const double step = CurGrid > 0 ? CurGrid : 0.01;
    const double x = RoundToStep(p.x, step), y = RoundToStep(p.y, step);
    if (std::isfinite(x) && std::isfinite(y))
        SetStatusText(0, number(x) + u',' + number(y));
    const DrawCommand &command = Command();
    if ((ButtonState & Left) && (ButtonState & Right))
        control->ZoomFrameTo(at.x(), at.y());
    else if (ButtonState & Middle)
        control->DragBy(at.x() - PressX, at.y() - PressY);
    else if ((ButtonState & Left) && (!command.Waiting() || command.Selecting()))
        control->FrameTo(at.x(), at.y());
    control->TrackPoint(p.x, p.y);
    ShowRelative();
}

void TForm13::PaintBox1MouseUp(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    const int state = ButtonState;
    ButtonState = 0;
    if (!(state & Left) || (state & (Right | Middle)))
        control->HideFrame();
    const DrawCommand &command = Command();
    if ((state & Left) && (state & Right)) {
        control->HideZoomFrame();
        ChordGesture(at.x(), at.y());
    } else if (state & Middle) {
        sharpTimer->stop();
        control->EndDrag(PressX, PressY, at.x(), at.y());
    } else if ((state & Left) && (!command.Waiting() || command.Selecting())) {
        control->SelectAt(at.x(), at.y(),
                          (state & Shift) || (event->modifiers() & Qt::ShiftModifier));
    } else if (state & Left) {
        control->ClickAt(at.x(), at.y());
    } else if (state & Right) {
        control->SnapClickAt(at.x(), at.y());
    }
}

void TForm13::ChordGesture(int x, int y)
{
    const int w = PaintBox1->width(), h = PaintBox1->height();
    View &view = control->CurrentView();
    const PaperPoint p0 = view.ToPaper(PressX, PressY);
    const PaperPoint p1 = view.ToPaper(x, y);
    if (std::abs(x - PressX) <= 5 || std::abs(y - PressY) <= 5)
        ViewChanged(view.CenterOn(p0, w, h));
    else if (p0.x < p1.x && p0.y > p1.y)
        ViewChanged(view.ZoomWindow(p0, p1, w, h));
    else if (p0.x > p1.x && p0.y < p1.y)
        ViewChanged(view.ZoomOutWindow(p0, p1, w, h));
    else if (p0.x < p1.x && p0.y < p1.y)
        FitPaper();
    else
        ViewChanged(view.SwapPrevious(w, h));
}

void TForm13::wheelEvent(QWheelEvent *event)
{
    const QPoint at = PaintBox1->mapFrom(this, event->position().toPoint());
    // Fine-grained wheels and touchpads send parts of a notch; a notch is 120.
    wheelRest += event->angleDelta().y();
    while (std::abs(wheelRest) >= 120) {
        const bool towardUser = wheelRest < 0;
        wheelRest += towardUser ? 120 : -120;
        const bool zoomIn = towardUser != context.settings.WheelTowardUserZoomsOut;
        WheelZoom(at.x(), at.y(), zoomIn ? ZoomStep : 1 / ZoomStep);
    }
    event->accept();
}

void TForm13::keyPressEvent(QKeyEvent *event)
{
    const int w = PaintBox1->width(), h = PaintBox1->height();
    View &view = control->CurrentView();
    switch (event->key()) {
    case Qt::Key_PageUp:
        ZoomAt(w / 2, h / 2, ZoomStep);
        break;
    case Qt::Key_PageDown:
        ZoomAt(w / 2, h / 2, 1 / ZoomStep);
        break;
    case Qt::Key_End:
    case Qt::Key_Insert:
        ViewChanged(view.CenterOn({0, 0}, w, h));
        break;
    case Qt::Key_Home:
        FitPaper();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        Pan(event->key(), event->modifiers() & Qt::ShiftModifier);
        break;
    case Qt::Key_Escape:
        control->Escape();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        control->EndSelecting();
        break;
    // Reached when the menu's shortcuts did not take the key.
    case Qt::Key_Delete:
        EraseSelected();
        break;
    case Qt::Key_Z:
    case Qt::Key_Y:
        if (event->modifiers() != Qt::ControlModifier) {
            QWidget::keyPressEvent(event);
            return;
        }
        if (event->key() == Qt::Key_Z)
            Undo();
        else
            Redo();
        break;
    default:
        if (TypeIntoInput(event))
            break;
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TForm13::Pan(int key, bool shift)
{
    const QPoint at = PaintBox1->mapFromGlobal(QCursor::pos());
    if (at.x() < 0 || at.y() < 0 || at.x() > PaintBox1->width() || at.y() > PaintBox1->height())
        return;
    View &view = control->CurrentView();
    // Whole pixels, so that the picture can be moved rather than drawn again.
    const int divisor = shift ? 10 : 2;
    const double sx = std::round(double(view.Width()) / divisor) / view.Rect().scale;
    const double sy = std::round(double(view.Height()) / divisor) / view.Rect().scale;
    switch (key) {
    case Qt::Key_Left:
        ViewChanged(view.MoveBy(-sx, 0));
        break;
    case Qt::Key_Right:
        ViewChanged(view.MoveBy(sx, 0));
        break;
    case Qt::Key_Up:
        ViewChanged(view.MoveBy(0, sy));
        break;
    default:
        ViewChanged(view.MoveBy(0, -sy));
        break;
    }
}

// The editor's sheet frame and title block: the values read from the register, the switch
// kept with the drawing, and the layout the picture and the output draw.
#include "editor/editorwindow.h"

#include "base/appcontext.h"
#include "base/settings.h"
#include "base/settings.h"
#include "db/registerrows.h"
#include "db/textcodec.h"
#include "editor/model/drawingmodel.h"
#include "editor/titleblock.h"

#include <QAction>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>

void TForm13::SetUpFrame(QMenu *set)
{
    set->addSeparator();
    // Kept with the drawing: every PC shows its sheet alike.
    mnuSetFrame = set->addAction(QStringLiteral("図枠・表題欄を表示(&F)"));
    mnuSetFrame->setObjectName(QStringLiteral("mnuSetFrame"));
    mnuSetFrame->setCheckable(true);
    mnuSetFrame->setChecked(true);
    connect(mnuSetFrame, &QAction::triggered, this, [this](bool on) { SetFrameHidden(!on); });
    mnuSetScale = set->addAction(QStringLiteral("表題欄の尺度(&S)..."));
    mnuSetScale->setObjectName(QStringLiteral("mnuSetScale"));
    connect(mnuSetScale, &QAction::triggered, this, &TForm13::AskFrameScale);
    // Kept with this PC's settings, for every drawing.
    mnuSetFiling = set->addAction(QStringLiteral("図枠の左にとじしろ(&M)"));
    mnuSetFiling->setObjectName(QStringLiteral("mnuSetFiling"));
    mnuSetFiling->setCheckable(true);
    connect(mnuSetFiling, &QAction::triggered, this, [this](bool on) {
        context.settings.FilingMargin = on;
        Redraw();
    });
    mnuSetTeam = set->addAction(QStringLiteral("表題欄のチーム名(&N)..."));
    mnuSetTeam->setObjectName(QStringLiteral("mnuSetTeam"));
    connect(mnuSetTeam, &QAction::triggered, this, &TForm13::AskTeamName);
    connect(set, &QMenu::aboutToShow, this, [this] {
        mnuSetFrame->setChecked(!frameHidden);
        mnuSetFiling->setChecked(context.settings.FilingMargin);
    });
}

void TForm13::SetFrameHidden(bool hidden)
{
    if (!StoreFrameHidden(db, DrawingNo, hidden)) {
        mnuSetFrame->setChecked(!frameHidden);
        Tell(QStringLiteral("変更失敗"));
        return;
    }
    frameHidden = hidden;
    Redraw();
}

void TForm13::AskTeamName()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("表題欄のチーム名"),
                                               QStringLiteral("チーム名"), QLineEdit::Normal,
                                               context.settings.TeamName, &ok)
                             .trimmed();
    if (!ok)
        return;
    if (!ToCp932(name)) {
        Tell(QStringLiteral("使用出来ない文字が含まれています"));
        return;
    }
    context.settings.TeamName = name;
    Redraw();
}

void TForm13::AskFrameScale()
{
    bool ok = false;
    const QString text = QInputDialog::getText(
        this, QStringLiteral("表題欄の尺度"),
        QStringLiteral("尺度（1:50 のように。空欄で現在のレイヤの尺度）"), QLineEdit::Normal,
        typedScale, &ok);
    if (!ok)
        return;
    const QString typed = TypedScale(text);
    if (!text.trimmed().isEmpty() && typed.isEmpty()) {
        Tell(QStringLiteral("尺度は 1:50 のように入力して下さい（1～9999）"));
        return;
    }
    if (!StoreFrameScale(db, DrawingNo, typed)) {
        Tell(QStringLiteral("変更失敗"));
        return;
    }
    typedScale = typed;
    Redraw();
}

bool TForm13::ReadTitle()
{
    FrameChoice choice{frameHidden, typedScale};
    ReadFrameChoice(db, DrawingNo, choice);
    const bool hidden = choice.hidden;
    const std::optional<TitleRecord> record = ReadTitleRecord(db, DrawingNo);
    // A failed read keeps what was shown.
    TitleFields fields = titleFields;
    if (record)
        fields = TitleFieldsOf(*record, QString(), QString());
    const bool changed =
        fields != titleFields || hidden != frameHidden || choice.scale != typedScale;
    titleFields = fields;
    frameHidden = hidden;
    typedScale = choice.scale;
    return changed;
}

void TForm13::LayOutFrame()
{
    const LayerRow *layer = Model().Layer(CurLayer);
    sheetFrame = DrawingFrame(titleFields, {frameHidden, typedScale}, layer ? layer->scale : 1.0,
                              PaperWidth, PaperHeight, context.settings.TeamName,
                              context.settings.FilingMargin);
}

// The snaps of a right click: which kinds are on, in the menu and the status-bar button,
// kept in this PC's settings.
#include "editor/editorwindow.h"

#include "base/appcontext.h"
#include "base/settings.h"
#include "editor/view/snap.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

namespace {

// Menu captions and the button's short names, in priority order.
const char *const Captions[SnapKindCount] = {
    "端点(&E)", "交点(&I)", "中心点(&C)", "中点(&M)", "四分点(&Q)",
    "垂線の足(&P)", "接点(&T)", "近接点(&N)", "グリッド点(&G)"};
const char *const Short[SnapKindCount] = {"端", "交", "心", "中", "四", "垂", "接", "近", "グ"};

} // namespace

unsigned TForm13::SnapKinds() const
{
    return unsigned(context.settings.SnapKinds) & SnapAll;
}

void TForm13::SetSnapKinds(unsigned kinds)
{
    context.settings.SnapKinds = int(kinds & SnapAll);
    ShowSnapKinds();
    control->HideMarker();
}

void TForm13::SetUpSnaps()
{
    mnuSnap->setObjectName(QStringLiteral("mnuSnap"));
    for (int k = 0; k < SnapKindCount; ++k) {
        QAction *a = mnuSnap->addAction(QString::fromUtf8(Captions[k]));
        a->setObjectName(QStringLiteral("mnuSnap%1").arg(k));
        a->setCheckable(true);
        const unsigned bit = 1u << k;
        connect(a, &QAction::triggered, this, [this, bit](bool on) {
            SetSnapKinds(on ? SnapKinds() | bit : SnapKinds() & ~bit);
        });
    }
    // Another editor of this PC may have changed them.
    connect(mnuSnap, &QMenu::aboutToShow, this, &TForm13::ShowSnapKinds);
    SnapButton = new QToolButton(StatusBar1);
    SnapButton->setObjectName(QStringLiteral("SnapButton"));
    SnapButton->setAutoRaise(true);
    // The keys stay with the drawing.
    SnapButton->setFocusPolicy(Qt::NoFocus);
    SnapButton->setPopupMode(QToolButton::InstantPopup);
    SnapButton->setMenu(mnuSnap);
    SnapButton->setToolTip(QStringLiteral("右クリックで拾うスナップ"));
    StatusBar1->addPermanentWidget(SnapButton);
    ShowSnapKinds();
}

void TForm13::ShowSnapKinds()
{
    const unsigned kinds = SnapKinds();
    QString names;
    const QList<QAction *> items = mnuSnap->actions();
    for (int k = 0; k < SnapKindCount && k < items.size(); ++k) {
        const bool on = kinds & (1u << k);
        items[k]->setChecked(on);
        if (on)
            names += QString::fromUtf8(Short[k]);
    }
    SnapButton->setText(QStringLiteral("スナップ:")
                        + (names.isEmpty() ? QStringLiteral("なし") : names));
}

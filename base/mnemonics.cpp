#include "base/mnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

namespace {

bool usable(const QWidget *w)
{
    return w->isVisible() && w->isEnabled();
}

// Presses, opens or focuses what in the child window carries the mnemonic; false when
// nothing does.
bool activate(QWidget *child, const QKeySequence &key, bool justLook)
{
    for (QAbstractButton *button : child->findChildren<QAbstractButton *>()) {
        if (usable(button) && QKeySequence::mnemonic(button->text()) == key) {
            if (!justLook)
                button->click();
            return true;
        }
    }
    for (QMenuBar *bar : child->findChildren<QMenuBar *>()) {
        if (!usable(bar))
            continue;
        for (QAction *action : bar->actions()) {
            if (action->isVisible() && action->isEnabled()
                && QKeySequence::mnemonic(action->text()) == key) {
                if (!justLook)
                    bar->setActiveAction(action);
                return true;
            }
        }
    }
    for (QLabel *label : child->findChildren<QLabel *>()) {
        QWidget *buddy = label->buddy();
        if (buddy && usable(label) && usable(buddy)
            && QKeySequence::mnemonic(label->text()) == key) {
            if (!justLook)
                buddy->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
    }
    return false;
}

class MnemonicRouter : public QObject
{
public:
    explicit MnemonicRouter(QMdiArea *area) : QObject(area), area(area) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
            || !watched->isWidgetType())
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (mods != Qt::AltModifier && mods != (Qt::AltModifier | Qt::ShiftModifier))
            return false;
        if (static_cast<QWidget *>(watched)->window() != area->window())
            return false;
        QMdiSubWindow *sub = area->activeSubWindow();
        if (!sub || !sub->widget())
            return false;
        const QKeySequence sequence(QKeyCombination(Qt::AltModifier, Qt::Key(key->key())));
        // Claiming the override keeps the main menu's shortcut from firing; the key press
        // that follows does the work.
        if (!activate(sub->widget(), sequence, type == QEvent::ShortcutOverride))
            return false;
        event->accept();
        return true;
    }

private:
    QMdiArea *area;
};

} // namespace

void RouteChildMnemonics(QMdiArea *area)
{
    qApp->installEventFilter(new MnemonicRouter(area));
}

#include "base/placement.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// A window whose title band shows this much can be dragged back by the user.
constexpr int GripWidth = 80;
constexpr int GripHeight = 12;
constexpr int TitleBand = 24;

class ScreenKeeper : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Sent before the window is mapped, so moving it here costs no flicker.
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *w = static_cast<QWidget *>(watched);
            const Qt::WindowType type = w->windowType();
            if (w->isWindow() && (type == Qt::Window || type == Qt::Dialog))
                KeepOnScreen(w);
        }
        return false;
    }
};

} // namespace

bool OnSomeScreen(const QRect &frame)
{
    const QRect title(frame.left(), frame.top(), frame.width(), TitleBand);
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect seen = title & screen->availableGeometry();
        if (seen.width() >= std::min(GripWidth, frame.width()) && seen.height() >= GripHeight)
            return true;
    }
    return false;
}

void KeepOnScreen(QWidget *window)
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const QRect frame(window->pos(), window->frameGeometry().size());
    if (OnSomeScreen(frame))
        return;
    const QRect screen = primary->availableGeometry();
    // The frame adds to the client size; without a window manager it adds nothing.
    const QSize extra = window->frameGeometry().size() - window->size();
    const QSize fitted = window->size().boundedTo(screen.size() - extra);
    if (fitted != window->size())
        window->resize(fitted);
    const QSize outer = fitted + extra;
    window->move(screen.left() + std::max(0, (screen.width() - outer.width()) / 2),
                 screen.top() + std::max(0, (screen.height() - outer.height()) / 2));
}

void FitInArea(QWidget *frame, const QSize &area)
{
    QSize size = frame->size().expandedTo(frame->minimumSizeHint());
    if (area.isValid() && !area.isEmpty())
        size = size.boundedTo(area);
    if (size != frame->size())
        frame->resize(size);
    if (!area.isValid() || area.isEmpty())
        return;
    const int x = std::clamp(frame->x(), 0, std::max(0, area.width() - size.width()));
    const int y = std::clamp(frame->y(), 0, std::max(0, area.height() - size.height()));
    frame->move(x, y);
}

void KeepWindowsOnScreen()
{
    static ScreenKeeper *keeper = nullptr;
    if (keeper || !qApp)
        return;
    keeper = new ScreenKeeper(qApp);
    qApp->installEventFilter(keeper);
}

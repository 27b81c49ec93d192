#include "editor/livecursors.h"

#include "db/database.h"
#include "db/liveevents.h"
#include "editor/view/view.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <QTimer>
#include <QUuid>

#include <cmath>

LiveCursors::LiveCursors(Database &database, int drawingNo, int memberNo, QStatusBar *bar,
                         QObject *parent)
    : QObject(parent), db(database), drawing(drawingNo), member(memberNo),
      pc(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    live = new LiveWatch(db.Live(), this);
    connect(live, &LiveWatch::Noted, this, &LiveCursors::ReadSoon);
    who = new QLabel(bar);
    who->setObjectName(QStringLiteral("PresenceLabel"));
    bar->addPermanentWidget(who);
    pending = new QTimer(this);
    pending->setSingleShot(true);
    connect(pending, &QTimer::timeout, this, &LiveCursors::Publish);
    // A row not refreshed counts as gone after a while: a still pointer is written again.
    keepAlive = new QTimer(this);
    keepAlive->setInterval(KeepAliveMs);
    connect(keepAlive, &QTimer::timeout, this, &LiveCursors::Publish);
    // Builds that post nothing, and rows that age out, are seen by reading now and then.
    reader = new QTimer(this);
    reader->setInterval(ReadMs);
    connect(reader, &QTimer::timeout, this, &LiveCursors::ReadOthers);
    readLater = new QTimer(this);
    readLater->setSingleShot(true);
    connect(readLater, &QTimer::timeout, this, &LiveCursors::ReadOthers);
}

LiveCursors::~LiveCursors() = default;

void LiveCursors::Start()
{
    if (started)
        return;
    started = true;
    live->Add(LiveEvents::PresenceEvent());
    // On the next turns, not inside whatever opened the editor.
    pending->start(0);
    readLater->start(0);
    keepAlive->start();
    reader->start();
}

void LiveCursors::Stop()
{
    if (!started)
        return;
    started = false;
    pending->stop();
    keepAlive->stop();
    reader->stop();
    readLater->stop();
    live->Clear();
    RemovePresence(db, pc);
    others.clear();
}

void LiveCursors::PointerAt(int atX, int atY, double paperX, double paperY)
{
    if (!std::isfinite(paperX) || !std::isfinite(paperY))
        return;
    x = paperX;
    y = paperY;
    px = atX;
    py = atY;
    inside = true;
    if (inside == sentInside && px == sentPx && py == sentPy)
        return;
    PublishSoon();
}

void LiveCursors::PointerLeft()
{
    inside = false;
    if (sentInside)
        PublishSoon();
}

void LiveCursors::PublishSoon()
{
    if (!started || pending->isActive())
        return;
    // Never inside the mouse handler itself: the window answers first.
    const qint64 since = sincePublish.isValid() ? sincePublish.elapsed() : PublishMs;
    pending->start(int(std::max<qint64>(PublishMs - since, 0)));
}

void LiveCursors::Publish()
{
    if (!started)
        return;
    pending->stop();
    sincePublish.start();
    if (PublishPresence(db, pc, member, drawing, x, y, inside)) {
        sentPx = px;
        sentPy = py;
        sentInside = inside;
        sentOnce = true;
    }
    keepAlive->start();
}

void LiveCursors::ReadSoon()
{
    if (!started || readLater->isActive())
        return;
    const qint64 since = sinceRead.isValid() ? sinceRead.elapsed() : ReadGapMs;
    if (since >= ReadGapMs)
        ReadOthers();
    else
        readLater->start(int(ReadGapMs - since));
}

void LiveCursors::ReadOthers()
{
    if (!started)
        return;
    readLater->stop();
    sinceRead.start();
    std::vector<PresenceRow> now;
    if (!ReadPresence(db, drawing, pc, now))
        return; // the next reading tries again
    bool same = now.size() == others.size();
    for (size_t i = 0; same && i < now.size(); ++i) {
        const PresenceRow &a = now[i], &b = others[i];
        same = a.pc == b.pc && a.x == b.x && a.y == b.y && a.inside == b.inside
               && a.name == b.name;
    }
    if (same)
        return;
    others = std::move(now);
    who->setText(WhoText());
    emit Changed();
}

void LiveCursors::SetReadMs(int ms)
{
    reader->setInterval(std::max(ms, 1));
}

QString LiveCursors::WhoText() const
{
    QStringList names;
    for (const PresenceRow &r : others) {
        const QString name = r.name.isEmpty() ? QString::number(r.member) : r.name;
        if (!names.contains(name))
            names << name;
    }
    return names.isEmpty() ? QString() : QStringLiteral("在席: ") + names.join(QStringLiteral(", "));
}

unsigned LiveCursors::ColourOf(const QString &key)
{
    // Hues apart enough to tell a handful of PCs from one another.
    const int hue = int(qHash(key) % 24) * 15;
    return QColor::fromHsv(hue, 230, 200).rgb() & 0xFFFFFF;
}

void LiveCursors::Paint(QPainter &p, const View &view) const
{
    if (others.empty())
        return;
    const ViewRect &r = view.Rect();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPixelSize(12);
    p.setFont(f);
    for (const PresenceRow &o : others) {
        const double fx = (o.x - r.x1) * r.scale;
        const double fy = view.Height() - (o.y - r.y1) * r.scale;
        if (!std::isfinite(fx) || !std::isfinite(fy) || std::fabs(fx) > 1e6
            || std::fabs(fy) > 1e6)
            continue;
        QColor c = QColor::fromRgb(ColourOf(o.pc));
        // The other PC's pointer left its paint box: shown faint where it was last.
        c.setAlpha(o.inside ? 255 : 70);
        const QPointF tip(fx, fy);
        QPainterPath arrow;
        arrow.moveTo(tip);
        arrow.lineTo(tip + QPointF(0, 16));
        arrow.lineTo(tip + QPointF(4.5, 12));
        arrow.lineTo(tip + QPointF(11, 11));
        arrow.closeSubpath();
        p.setPen(QPen(QColor(255, 255, 255, c.alpha()), 1));
        p.setBrush(c);
        p.drawPath(arrow);
        const QString name = o.name.isEmpty() ? QString::number(o.member) : o.name;
        const QRectF box = p.fontMetrics().boundingRect(name).adjusted(-2, -1, 2, 1);
        const QRectF label = box.translated(tip + QPointF(12, 18) - box.topLeft());
        p.setPen(Qt::NoPen);
        p.drawRect(label);
        p.setPen(QColor(255, 255, 255, c.alpha()));
        p.drawText(label, Qt::AlignCenter, name);
    }
    p.restore();
}

// What the figure and command tests share: figures compared within a tolerance, and an
// editor on lines stored beforehand, driven by its menu and its point entry.
#pragma once

#include "editortest.h"

#include "editor/commands/drawcommand.h"
#include "editor/model/geometry.h"

#include <QAction>
#include <QLineEdit>

#include <cmath>

inline bool near(double a, double b, double eps = 1e-9)
{
    return std::fabs(a - b) <= eps;
}

// Said on failure, so that a wrong figure shows what it was.
inline bool isLine(const Shape &s, double x1, double y1, double x2, double y2)
{
    const auto *l = std::get_if<LineShape>(&s);
    const bool ok = l && near(l->x1, x1) && near(l->y1, y1) && near(l->x2, x2) && near(l->y2, y2);
    if (l && !ok)
        qWarning("line %.12g %.12g %.12g %.12g", l->x1, l->y1, l->x2, l->y2);
    return ok;
}

inline bool isArc(const Shape &s, double cx, double cy, double r, double sa, double ea)
{
    const auto sameAngle = [](double a, double b) {
        const double d = Geometry::Normal(a - b);
        return d <= 1e-9 || d >= 360 - 1e-9;
    };
    const auto *a = std::get_if<ArcShape>(&s);
    const bool ok = a && near(a->cx, cx) && near(a->cy, cy) && near(a->r, r)
                    && sameAngle(a->sa, sa) && sameAngle(a->ea, ea);
    if (a && !ok)
        qWarning("arc %.12g %.12g r %.12g %.12g-%.12g", a->cx, a->cy, a->r, a->sa, a->ea);
    return ok;
}

inline bool isText(const Shape &s, const QString &text, double x, double y, double angle,
                   int anchor)
{
    const auto *t = std::get_if<TextShape>(&s);
    return t && t->text == text && near(t->px, x) && near(t->py, y) && near(t->angle, angle)
           && t->anchor == anchor;
}

// A figure as text, its numbers to a millionth and its angles in [0, 360), so that lists of
// figures compare at once and show what differs.
inline QString described(const Shape &s)
{
    const auto n = [](double v) {
        return std::fabs(v) < 1e15 ? QString::number(std::round(v * 1e6) / 1e6 + 0.0, 'g', 16)
                                   : QString::number(v, 'g', 17);
    };
    const auto deg = [&](double a) {
        const double r = std::round(Geometry::Normal(a) * 1e6) / 1e6;
        return n(r >= 360 ? r - 360 : r);
    };
    if (const auto *l = std::get_if<LineShape>(&s))
        return QStringLiteral("line %1 %2 %3 %4").arg(n(l->x1), n(l->y1), n(l->x2), n(l->y2));
    if (const auto *c = std::get_if<CircleShape>(&s))
        return QStringLiteral("circle %1 %2 %3").arg(n(c->cx), n(c->cy), n(c->r));
    if (const auto *a = std::get_if<ArcShape>(&s))
        return QStringLiteral("arc %1 %2 %3 %4 %5").arg(n(a->cx), n(a->cy), n(a->r), deg(a->sa),
                                                         deg(a->ea));
    if (const auto *t = std::get_if<TextShape>(&s))
        return QStringLiteral("text %1 %2 %3 %4 %5 %6")
            .arg(n(t->px), n(t->py), n(t->height), deg(t->angle), QString::number(t->anchor),
                 t->text);
    return QStringLiteral("nothing");
}

// A figure picked for a command, on layer 3 in colour 2.
inline Subject subjectOf(int32_t entity, Shape shape)
{
    Subject s;
    s.entity = entity;
    s.record.look.layer = 3;
    s.record.look.colour = 2;
    s.record.shape = std::move(shape);
    return s;
}

// One figure drawn by member 7.
inline ChangeSet figureOp(Shape shape)
{
    ChangeSet op = lineOp(0, 0, 0, 0);
    op.created[0].shape = std::move(shape);
    return op;
}

inline QString lineRows(Database &db)
{
    return rows(db, "X1, Y1, X2, Y2", "ENT_LINE_1").join(u'|');
}

inline QString states(Database &db)
{
    return rows(db, "N, DS", "ENTITY_1").join(u'|');
}

// An editor on the figures stored first, with a 5 mm grid; false when any step fails.
inline bool openWith(Editor &ed, std::initializer_list<ChangeSet> ops)
{
    if (!ed.prepare())
        return false;
    StoredOperation out;
    for (const ChangeSet &op : ops) {
        if (StoreChanges(ed.db, 1, op, {}, out) != StoreResult::Stored)
            return false;
    }
    if (!ed.open())
        return false;
    ed.window->CurGrid = 5;
    return true;
}

// A menu command started as a user picks it; false when the editor has no such entry.
inline bool start(TForm13 *e, const char *action)
{
    QAction *a = e->findChild<QAction *>(QString::fromLatin1(action));
    if (a)
        a->trigger();
    return a;
}

// What an input method hands the entry, then Enter.
inline void enter(TForm13 *e, const QString &text)
{
    e->PointInput->setText(text);
    QTest::keyClick(e->PointInput, Qt::Key_Return);
}

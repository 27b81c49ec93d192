// What the drawing command and selection tests share: drawing rows made by hand, an editor
// window on a fresh drawing, and the mouse a user moves over it.
#pragma once

#include "base/globals.h"
#include "db/database.h"
#include "db/changestore.h"
#include "editor/model/drawingmodel.h"
#include "editor/editorwindow.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QtTest>

// An entity of number entity showing line row line, live when state is 1.
inline EntityRecord entityLine(int entity, int line, int layer, double x1, double y1, double x2,
                               double y2, int state = 1)
{
    EntityRecord e;
    e.entity = {entity, 1, int16_t(state), KindLine, line};
    e.row = line;
    e.look.layer = int16_t(layer);
    e.shape = LineShape{x1, y1, x2, y2};
    return e;
}

inline const LineShape &lineOf(const EntityRecord &e)
{
    return std::get<LineShape>(e.shape);
}

// The 256 layers of a new drawing, all shown at full scale.
inline std::vector<LayerRow> plainLayers()
{
    std::vector<LayerRow> layers;
    for (int n = 0; n < 256; ++n)
        layers.push_back({n, QString(), 1, 1, 1, 1, 18, 1.0});
    return layers;
}

// One line drawn by member 7.
inline ChangeSet lineOp(double x1, double y1, double x2, double y2, int layer = 0)
{
    ChangeSet op;
    op.member = 7;
    EntityRecord e;
    e.look.layer = int16_t(layer);
    e.shape = LineShape{x1, y1, x2, y2};
    op.created.push_back(e);
    return op;
}

// The entities named erased (state 0) or restored (1), by member 7.
inline ChangeSet stateOp(const std::vector<int32_t> &entities, int state)
{
    ChangeSet op;
    op.member = 7;
    (state == 0 ? op.erased : op.restored) = entities;
    return op;
}

// Each row of a table, its cells joined by spaces, in the order of N.
inline QStringList rows(Database &db, const QString &columns, const QString &table,
                        const QString &where = QString())
{
    QStringList out;
    for (const QStringList &r : db.SelectRows(columns, table, where, "N"))
        out << r.join(u' ');
    return out;
}

// This PC is member 7; editors open 700 x 500.
inline void editorSettings()
{
    Globals() = ProgramValues();
    Config().PcUserNo = 7;
    Config().EditorWidth = 700;
    Config().EditorHeight = 500;
}

// An editor on drawing 1 of an A3 sheet, shown and loaded; null when it is not.
inline TForm13 *openEditor(Database &db)
{
    auto *e = new TForm13(ProgramContextOn(db), 1, 420, 297);
    e->show();
    if (QTest::qWaitForWindowExposed(e)) {
        for (int i = 0; i < 200 && e->Picture().isNull(); ++i)
            QTest::qWait(10);
        if (!e->Picture().isNull() && e->Loaded())
            return e;
    }
    delete e;
    return nullptr;
}

// A fresh database with the tables of drawing 1, and an editor on it once opened.
struct Editor
{
    TestDb place;
    Database db;
    QPointer<TForm13> window;

    bool prepare()
    {
        editorSettings();
        return place.open(db) && EnsureDrawingTables(db, 1);
    }

    bool open()
    {
        window = openEditor(db);
        return window;
    }

    ~Editor() { delete window; }
};

// Two PCs on drawing 1 of a fresh database through the local server.
struct TwoPcDrawing
{
    TestDb place;
    Database a, b;

    bool prepare()
    {
        editorSettings();
        if (!place.open(a, true) || !EnsureDrawingTables(a, 1))
            return false;
        b.ConnectDatabase(place.serverPath());
        return b.DatabaseConnected();
    }
};

inline QPoint pixelOf(TForm13 *e, double x, double y)
{
    const ViewParams v = e->CurrentView().Params();
    return {RoundHalfAway((x - v.x1) * v.scale), v.height - RoundHalfAway((y - v.y1) * v.scale)};
}

inline void mouse(TForm13 *e, QEvent::Type type, QPoint at, Qt::MouseButton button,
                  Qt::MouseButtons held, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent ev(type, QPointF(at), QPointF(e->PaintBox1->mapToGlobal(at)), button, held,
                   mods);
    QApplication::sendEvent(e->PaintBox1, &ev);
}

inline void moveTo(TForm13 *e, double x, double y)
{
    mouse(e, QEvent::MouseMove, pixelOf(e, x, y), Qt::NoButton, Qt::NoButton);
}

// The pointer moved to a pixel and clicked there.
inline void click(TForm13 *e, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier,
                  Qt::MouseButton button = Qt::LeftButton)
{
    mouse(e, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, mods);
    mouse(e, QEvent::MouseButtonPress, at, button, button, mods);
    mouse(e, QEvent::MouseButtonRelease, at, button, Qt::NoButton, mods);
}

inline void clickAt(TForm13 *e, double x, double y, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    click(e, pixelOf(e, x, y), mods);
}

// A right click, which snaps to a line end, some pixels off a paper point.
inline void rightClickAt(TForm13 *e, double x, double y, QPoint nudge = QPoint())
{
    click(e, pixelOf(e, x, y) + nudge, Qt::NoModifier, Qt::RightButton);
}

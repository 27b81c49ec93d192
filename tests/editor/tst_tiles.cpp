#include "editortest.h"

#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"
#include "editor/view/tiles.h"
#include "editor/view/view.h"

#include <cmath>
#include <mutex>

class TestTiles : public QObject
{
    Q_OBJECT

private slots:
    void bandsEqualOnePass();
    void crowdedPictureEqualsEveryEntityDrawn();
    void nearTextPicturesKeepTheirKeys();
    void partsKeepToTheirRectangles();
    void wheelShowsAScaledCopyFirst();
};

namespace {

EntityRecord record(int n, int kind, const Shape &shape, int colour = 0, int type = 0,
                    int width = 0)
{
    EntityRecord e;
    e.entity = {n, 1, 1, int16_t(kind), n};
    e.row = n;
    e.look = {0, int16_t(colour), int16_t(type), int16_t(width)};
    e.shape = shape;
    return e;
}

// Every kind, look and size of figure, many crossing the seams of any banding.
void fillDrawing(DrawingModel &m)
{
    m.SetLayers(plainLayers());
    m.SetColours({{1, "black", 0}, {2, "red", 255}, {3, "green", 65280}, {4, "blue", 16711680}});
    m.SetLineTypes({{1, "continuous", 0, {}},
                    {2, "dashed", 2, {600, 150}},
                    {3, "dash dot", 4, {900, 200, 0, 200}},
                    {4, "fine", 2, {30, 20}},
                    {5, "long", 2, {4000, 1000}}});
    std::vector<EntityRecord> rows;
    int n = 0;
    for (int i = 0; i < 40; ++i) {
        const double a = i * 0.37, x = -190 + (i * 53) % 380, y = -130 + (i * 31) % 260;
        const double l = 20 + (i * 17) % 250;
        rows.push_back(record(++n, KindLine,
                              LineShape{x, y, x + l * std::cos(a), y + l * std::sin(a)},
                              1 + i % 4, 1 + i % 5, i % 6 == 0 ? 150 : (i % 3) * 35));
    }
    // Level and upright lines, and lines reaching far past the paper.
    for (int i = 0; i < 8; ++i) {
        rows.push_back(record(++n, KindLine, LineShape{-200, -100 + i * 27.1, 200, -100 + i * 27.1},
                              2, 1 + i % 5, i * 20));
        rows.push_back(record(++n, KindLine, LineShape{-150 + i * 41.3, -5000, -150 + i * 41.3, 90},
                              3, 1 + (i + 2) % 5, (i % 4) * 50));
    }
    rows.push_back(record(++n, KindLine, LineShape{-1e6, -3e5, 1e6, 3.1e5}, 4, 3, 70));
    // A thick dash-dot line just above the whole sheet's view: its dots would reach into it.
    rows.push_back(record(++n, KindLine, LineShape{-100, 167.4, 100, 167.4}, 2, 3, 400));
    for (int i = 0; i < 12; ++i) {
        const double x = -160 + i * 29, y = -90 + (i * 37) % 180;
        rows.push_back(record(++n, KindCircle, CircleShape{x, y, 3 + i * 7.5}, 1 + i % 4,
                              1 + i % 5, (i % 3) * 60));
        rows.push_back(record(++n, KindArc,
                              ArcShape{-x, y / 2, 5 + i * 9.0, i * 40.0, i * 40.0 + 250},
                              1 + (i + 1) % 4, 1 + (i + 3) % 5, (i % 2) * 90));
    }
    // Circles and arcs within half a pixel at the whole sheet's scale.
    for (int i = 0; i < 6; ++i) {
        const double x = -100 + i * 37.7, y = 40 - i * 9.1;
        rows.push_back(record(++n, KindCircle, CircleShape{x, y, 0.2}, 2));
        rows.push_back(record(++n, KindArc, ArcShape{y, x / 2, 0.25, 10, 200}, 3));
    }
    const QString words[] = {QStringLiteral("穴 φ10 通し"), QStringLiteral("SECTION A-A 断面"),
                             QStringLiteral("注記：面取りC0.5"), QStringLiteral("ＳＳ４００")};
    for (int i = 0; i < 16; ++i) {
        TextShape t;
        t.px = -180 + (i * 47) % 340;
        t.py = -120 + (i * 29) % 240;
        // From under 2 pixels to far beyond the kept pictures' height when zoomed.
        t.height = i == 0 ? 0.3 : 2 + (i % 5) * 4.5;
        t.angle = i % 3 == 0 ? 33 * i : 0;
        t.anchor = int16_t(1 + i % 9);
        t.vertical = int16_t(i % 4 == 1);
        t.text = words[i % 4];
        rows.push_back(record(++n, KindText, t, 1 + i % 4));
    }
    m.Add(rows);
}

QImage onePass(const ViewParams &v, const DrawingModel &m, const Sheet &sheet)
{
    QImage image(v.width, v.height, QImage::Format_RGB32);
    Canvas canvas(image);
    RenderPicture(canvas, v, m, sheet);
    return image;
}

QImage inBands(const ViewParams &v, const DrawingModel &m, const Sheet &sheet, int threads)
{
    QImage image(v.width, v.height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    RenderPictureInBands(image, v, m, sheet, threads);
    return image;
}

// Whether two pictures are the same; said on failure where they first differ.
bool same(const QImage &a, const QImage &b, const QString &what = QString())
{
    if (a.size() != b.size()) {
        qWarning("%s: sizes differ", qPrintable(what));
        return false;
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0)
                qWarning("%s: first difference at %d,%d: %x against %x", qPrintable(what), x, y,
                         a.pixel(x, y), b.pixel(x, y));
        }
    }
    if (count)
        qWarning("%s: %d pixels differ", qPrintable(what), count);
    return count == 0;
}

} // namespace

void TestTiles::bandsEqualOnePass()
{
    DrawingModel m(1);
    fillDrawing(m);
    const Sheet sheet{420, 297, 10};
    // Odd sizes, so that bands end at odd rows; the whole sheet, zoomed in on the middle
    // (the texts above the kept pictures' height) and on a corner far in.
    for (const QSize size : {QSize(640, 457), QSize(301, 1003)}) {
        View v;
        QVERIFY(v.Fit(420, 297, size.width(), size.height()));
        std::vector<ViewParams> views{v.Params()};
        QVERIFY(v.ZoomAt(size.width() / 2.0, size.height() / 2.0, 6));
        views.push_back(v.Params());
        QVERIFY(v.ZoomWindow({-151, -101}, {-149, -99}, size.width(), size.height()));
        views.push_back(v.Params());
        for (size_t i = 0; i < views.size(); ++i) {
            const QImage single = onePass(views[i], m, sheet);
            for (int threads : {2, 3, 8}) {
                QVERIFY(same(inBands(views[i], m, sheet, threads), single,
                             QStringLiteral("%1x%2, view %3, %4 threads").arg(size.width())
                                 .arg(size.height()).arg(i).arg(threads)));
            }
        }
    }
    // A circle within half a pixel is the one pixel at its centre.
    {
        DrawingModel dot(1);
        dot.SetLayers(m.Layers());
        dot.SetColours(m.Colours());
        dot.Add({record(1, KindCircle, CircleShape{10.3, -20.1, 0.15}, 3)});
        View v;
        QVERIFY(v.Fit(420, 297, 400, 300));
        const QImage image = onePass(v.Params(), dot, {420, 297, 0});
        int green = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                green += (image.pixel(x, y) & 0xFFFFFF) == 0x00FF00;
        QCOMPARE(green, 1);
    }
}

void TestTiles::crowdedPictureEqualsEveryEntityDrawn()
{
    // The drawing over and over, each copy moved a little: the whole sheet in a small
    // picture is written over many times, and later copies' lines cross earlier texts.
    DrawingModel m(1);
    fillDrawing(m);
    const size_t once = m.Count();
    std::vector<EntityRecord> rows;
    for (int copy = 1; copy < 150; ++copy) {
        const double dx = (copy * 37) % 90 - 45, dy = (copy * 23) % 60 - 30;
        for (size_t i = 0; i < once; ++i) {
            EntityRecord r = m.Record(m.At(i));
            r.entity.n = r.row = int32_t(once * copy + i + 1);
            std::visit(
                [&](auto &g) {
                    using G = std::decay_t<decltype(g)>;
                    if constexpr (std::is_same_v<G, LineShape>)
                        g = {g.x1 + dx, g.y1 + dy, g.x2 + dx, g.y2 + dy};
                    else if constexpr (std::is_same_v<G, CircleShape>
                                       || std::is_same_v<G, ArcShape>)
                        g.cx += dx, g.cy += dy;
                    else if constexpr (std::is_same_v<G, TextShape>)
                        g.px += dx, g.py += dy;
                },
                r.shape);
            rows.push_back(r);
        }
        // Pens wide enough for the painter's dots, and texts above the kept pictures'
        // height, glyph by glyph upright and as outlines turned.
        int n = int32_t(once * 150 + copy * 2);
        rows.push_back(record(++n, KindLine, LineShape{-150 + dx, dy, 150 - dx, dy / 2},
                              1 + copy % 4, 3, 1200));
        if (copy % 30 == 0) {
            TextShape t;
            t.px = -200 + dx;
            t.py = -140 + dy;
            t.height = 360;
            t.angle = copy % 60 ? 0 : 25;
            t.text = QStringLiteral("断面");
            rows.push_back(record(++n, KindText, t, 1 + copy % 4));
        }
    }
    m.Add(rows);
    const Sheet sheet{420, 297, 10};
    for (const QSize size : {QSize(160, 113), QSize(251, 177)}) {
        View v;
        QVERIFY(v.Fit(420, 297, size.width(), size.height()));
        const ViewParams p = v.Params();
        // Each entity drawn in turn over the sheet.
        QImage each(p.width, p.height, QImage::Format_RGB32);
        {
            Canvas canvas(each);
            RenderSheet(canvas, p, sheet);
            BeginTextPictures();
            std::vector<uint32_t> seen;
            m.EntitiesIn({p.x1, p.y1, p.x2, p.y2}, seen);
            PictureLooks looks(m);
            for (uint32_t at : seen)
                RenderEntity(canvas, p, m, m.At(at), looks);
        }
        const QString what = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        QVERIFY(same(onePass(p, m, sheet), each, what));
        for (int threads : {2, 3})
            QVERIFY(same(inBands(p, m, sheet, threads), each, what + QStringLiteral(" in bands")));
    }
}

void TestTiles::nearTextPicturesKeepTheirKeys()
{
    // With one place for all, each text met after one alike but for one thing must get
    // its own picture and place in it, as where it is met first.
    std::mutex lock;
    NearTextPictures near(lock, 1);
    struct Case
    {
        TextRef t;
        QString font, text = QStringLiteral("断面A");
        double pixels = 14;
        uint32_t colour = 0;
    };
    Case base;
    base.t.height = 5;
    std::vector<Case> cases(9, base);
    cases[1].colour = 255;
    cases[2].pixels = 14.5;
    cases[3].text = QStringLiteral("断面B");
    cases[4].font = QStringLiteral("IPAMincho");
    cases[5].t.vertical = 1;
    cases[6].t.width = 3;
    cases[7].t.spacing = 1;
    cases[8].t.anchor = 5;
    // Each met after the first and the first after each.
    for (size_t i = 0; i + 1 < 2 * cases.size(); ++i) {
        const Case &c = cases[i % 2 ? (i + 1) / 2 : 0];
        const Geometry::TextLayout frame = Geometry::TextFrame(c.t, c.text);
        QPointF at, firstAt;
        const QImage *kept = near.Of(c.t, c.font, c.text, c.pixels, c.colour, at, frame);
        NearTextPictures first(lock);
        const QImage *own = first.Of(c.t, c.font, c.text, c.pixels, c.colour, firstAt, frame);
        QVERIFY(kept && own);
        QVERIFY(*kept == *own);
        QCOMPARE(at, firstAt);
    }
}

void TestTiles::partsKeepToTheirRectangles()
{
    // Every primitive, cut to a rectangle, writes exactly the whole picture's pixels there.
    QImage whole(120, 90, QImage::Format_RGB32);
    QImage cut(120, 90, QImage::Format_RGB32);
    // Blends: a coverage mask of every level, a picture unturned and turned, a smooth path.
    QImage mask(40, 24, QImage::Format_Alpha8);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            mask.scanLine(y)[x] = uchar((x * 37 + y * 11) % 256);
    QImage picture(30, 18, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setBrush(QColor(200, 40, 10));
        p.drawEllipse(QRectF(1.5, 1.5, 26, 14));
    }
    QPainterPath path;
    path.addEllipse(QRectF(-1, -1, 2, 2));
    const auto draw = [&](Canvas &c) {
        ClearCanvas(c, c.Width(), c.Height());
        SetPen(c, 0x0000FF, 0, 1);
        DrawPixelLine(c, -30, 5, 150, 80);
        DrawPixelLine(c, 10, -40, 30, 200);
        SetPen(c, 0x00FF00, 0, 7);
        DrawPixelLine(c, -10, 70, 130, 20);
        DrawPixelLine(c, 60, -10, 75, 100);
        SetPen(c, 0xFF0000, 1, 3);
        DrawPixelLine(c, 0, 0, 119, 89);
        SetBrush(c, 0x808080, 1);
        c.Ellipse(40, 25, 80, 65);
        SetPen(c, 0, 2, 1);
        DrawFrameRect(c, 5, 5, 110, 85);
        c.BlendMask(mask, 30, 33, 0x2060C0);
        c.DrawImage(picture, QPointF(3, 2), QPointF(70.25, 12.5), 0);
        c.DrawImage(picture, QPointF(15, 9), QPointF(90.5, 60.25), 30);
        c.FillPath(path, QTransform(9, 0, 0, 6, 20.5, 70.25), 0x008000);
        // Short wide chords, whose strokes reach over the edges of parts their ends lie
        // beyond: solid, and dashed through the painter.
        for (int style : {0, 1}) {
            SetPen(c, 0x00A000, style, style ? 5 : 7);
            c.MoveTo(60 + 30 - 9 * style, 45);
            for (int k = 1; k <= 40; ++k) {
                const double a = k * 6.2832 / 40;
                c.LineTo(int(std::lround(60 + (30 - 9 * style) * std::cos(a))),
                         int(std::lround(45 + (30 - 9 * style) * std::sin(a))));
            }
        }
    };
    {
        Canvas c(whole);
        draw(c);
    }
    cut.fill(Qt::magenta);
    for (int top = 0; top < 90; top += 13) {
        for (int left = 0; left < 120; left += 17) {
            Canvas c(cut);
            c.SetClip(QRect(left, top, 17, 13));
            draw(c);
        }
    }
    QVERIFY(same(cut, whole));
    // Outside its rectangle a part touches nothing.
    QImage blank(40, 40, QImage::Format_RGB32);
    blank.fill(Qt::magenta);
    {
        Canvas c(blank);
        c.SetClip(QRect(5, 10, 30, 10));
        draw(c);
    }
    QCOMPARE(blank.pixel(3, 9), QColor(Qt::magenta).rgb());
    QCOMPARE(blank.pixel(30, 20), QColor(Qt::magenta).rgb());
    QCOMPARE(blank.pixel(4, 15), QColor(Qt::magenta).rgb());
    QCOMPARE(blank.pixel(35, 15), QColor(Qt::magenta).rgb());
    QCOMPARE(blank.pixel(20, 15) != QColor(Qt::magenta).rgb(), true);
}

void TestTiles::wheelShowsAScaledCopyFirst()
{
    Editor ed;
    ChangeSet op = lineOp(-150, 0, 150, 0);
    op.created.push_back(lineOp(0, -100, 0, 100).created[0]);
    QVERIFY(ed.prepare());
    StoredOperation out;
    QCOMPARE(StoreChanges(ed.db, 1, op, {}, out), StoreResult::Stored);
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    const QImage sharp = e->Picture();
    QCOMPARE(e->Screen(), sharp);
    const QPoint before = pixelOf(e, 0, 50);
    QCOMPARE(sharp.pixel(before) & 0xFFFFFF, 0u);

    // A notch zooms about the pointer: at once the old picture scaled, the upright line at
    // its new place, the sharp picture not yet drawn.
    const QPoint pointer = pixelOf(e, -60, 30);
    const QPoint inForm = e->PaintBox1->mapTo(e, pointer);
    QWheelEvent notch(QPointF(inForm), e->mapToGlobal(QPointF(inForm)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(e, &notch);
    const QPoint after = pixelOf(e, 0, 50);
    QVERIFY(std::abs((after - pointer).x() - (before - pointer).x() * 1.5) < 1.5);
    QCOMPARE(e->Picture(), sharp);
    const QImage copy = e->Screen();
    bool dark = false;
    for (int dx = -1; dx <= 1; ++dx)
        dark = dark || (copy.pixel(after + QPoint(dx, 0)) & 0xFFFFFF) == 0;
    QVERIFY(dark);
    QVERIFY((copy.pixel(before) & 0xFFFFFF) != 0);

    // Then the sharp picture, the same as one drawn in one pass, and nothing of the copy.
    QTRY_VERIFY_WITH_TIMEOUT(e->Picture() != sharp, 5000);
    QCOMPARE(e->Screen(), e->Picture());
    const QImage fresh = onePass(e->CurrentView().Params(), e->Model(),
                                 {420, 297, e->CurGrid, &e->SheetFrameNow()});
    QVERIFY(same(e->Picture(), fresh));
}

QTEST_MAIN(TestTiles)
#include "tst_tiles.moc"

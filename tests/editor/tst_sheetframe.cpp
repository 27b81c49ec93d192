#include "editortest.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/values.h"
#include "db/registerrows.h"
#include "db/schema.h"
#include "register/drawingrecord.h"
#include "editor/model/geometry.h"
#include "editor/output/drawingoutput.h"
#include "editor/output/dxfexport.h"
#include "editor/output/paperdrawing.h"
#include "editor/titleblock.h"

#include <QAction>
#include <QInputDialog>
#include <QTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>

class TestSheetFrame : public QObject
{
    Q_OBJECT

private slots:
    void framesOfEveryPaper();
    void contentsFromTheRegister();
    void approvalThroughTheRecordForm();
    void onPaperAndSwitchedOff();
    void teamAndFilingMarginInTheSettingsFile();
};

namespace {

// 16 full-width characters: 32 bytes in the register's code page.
const QString LongName = QStringLiteral("長谷川左衛門之丞太郎右衛門次郎吉");

TitleFields everyField()
{
    TitleFields f;
    f.code = QStringLiteral("HK-2026-0815-A");
    f.title = QStringLiteral("第二工場 一階平面図");
    f.subtitle = QStringLiteral("設備配置");
    f.scale = QStringLiteral("1:100");
    f.drawnBy = LongName;
    f.drawnOn = QStringLiteral("2026/12/01");
    f.checkedBy = QStringLiteral("検図者");
    f.checkedOn = QStringLiteral("2026/12/02");
    f.approvedBy = QStringLiteral("承認者");
    f.approvedOn = QStringLiteral("2026/12/03");
    f.issuedBy = QStringLiteral("出図者");
    f.issuedOn = QStringLiteral("2026/12/04");
    f.revision = QStringLiteral("3");
    f.revisionOn = QStringLiteral("2026/12/05");
    f.revisionText = QStringLiteral("配管経路を東側へ変更し、それに伴い弁の位置と番号を全て見直した。詳細は別紙の変更一覧表を参照のこと");
    f.team = QStringLiteral("設計第一チーム");
    return f;
}

bool within(const PaperBox &inner, const PaperBox &outer)
{
    const double e = 1e-9;
    return inner.x1 >= outer.x1 - e && inner.y1 >= outer.y1 - e && inner.x2 <= outer.x2 + e
           && inner.y2 <= outer.y2 + e;
}

bool overlap(const PaperBox &a, const PaperBox &b)
{
    const double e = 1e-9;
    return a.x1 < b.x2 - e && b.x1 < a.x2 - e && a.y1 < b.y2 - e && b.y1 < a.y2 - e;
}

QString texts(const SheetFrame &f)
{
    QStringList out;
    for (const TextShape &t : f.texts)
        out << t.text;
    return out.join(u'|');
}

// The block's texts lie inside it and apart from each other, none wider than its room.
QString laidOutBadly(const SheetFrame &f)
{
    std::vector<PaperBox> boxes;
    for (const TextShape &t : f.texts) {
        const PaperBox b = Geometry::TextBox(Geometry::RefOf(t), t.text);
        if (!within(b, f.block))
            return t.text + QStringLiteral(" leaves the block");
        for (const PaperBox &o : boxes) {
            if (overlap(o, b))
                return t.text + QStringLiteral(" overlaps another text");
        }
        boxes.push_back(b);
    }
    return QString();
}

// The register of drawing 1 with its members 1 to 4.
bool makeRegister(Database &db)
{
    if (!CreateCadListTable(db) || !CreateCadRevTable(db) || !CreateMemberTable(db))
        return false;
    const QString names[] = {QStringLiteral("山田太郎"), QStringLiteral("佐藤"),
                             QStringLiteral("長谷川左衛門丞"), QStringLiteral("鈴木")};
    for (int i = 0; i < 4; ++i) {
        if (!exec(db, QStringLiteral("INSERT INTO MEMBER (N, SN, PNAME) VALUES (%1, 0, '%2')")
                          .arg(i + 1).arg(names[i])))
            return false;
    }
    DrawingRow row;
    row.N = 1;
    row.ZNAME = QStringLiteral("一階平面図");
    row.ZUMENN = QStringLiteral("HK-0815");
    row.MTITLE = QStringLiteral("第二工場 一階平面図");
    row.PAPER = 4;
    row.PAPX = 420;
    row.PAPY = 297;
    row.MN = 1;
    row.DDATE = QStringLiteral("20261201");
    return InsertDrawingRow(db, row);
}

long inkIn(const QImage &image, const QRect &area)
{
    long n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(image.pixel(x, y)) < 128;
    }
    return n;
}

QRect pixelsOf(TForm13 *e, const PaperBox &b)
{
    return QRect(pixelOf(e, b.x1, b.y2), pixelOf(e, b.x2, b.y1));
}

} // namespace

void TestSheetFrame::framesOfEveryPaper()
{
    const TitleFields fields = everyField();
    for (int i = 0; i < PaperSizeCount; ++i) {
        const PaperSize paper = GetPaperSize(i);
        const bool large = paper.name.startsWith(QStringLiteral("A0"))
                           || paper.name.startsWith(QStringLiteral("A1"));
        for (const bool filing : {false, true}) {
            const SheetFrame f = LayOutSheetFrame(paper.width, paper.height, {filing}, fields);
            const QString what = paper.name + (filing ? QStringLiteral(" とじしろ") : QString());
            QVERIFY2(f.shown, qPrintable(what));
            const double m = large ? 20 : 10;
            QCOMPARE(f.border.x1, -paper.width / 2 + (filing ? 20 : m));
            QCOMPARE(f.border.x2, paper.width / 2 - m);
            QCOMPARE(f.border.y1, -paper.height / 2 + m);
            QCOMPARE(f.border.y2, paper.height / 2 - m);
            QVERIFY2(within(f.block, f.border), qPrintable(what));
            const double width = f.block.x2 - f.block.x1;
            QVERIFY2(width <= 170 + 1e-9 && width > 0, qPrintable(what));
            // Full size wherever the frame has room for it.
            if (f.border.x2 - f.border.x1 >= 170)
                QVERIFY2(std::fabs(width - 170) < 1e-9, qPrintable(what));
            QCOMPARE(f.block.x2, f.border.x2);
            QCOMPARE(f.block.y1, f.border.y1);
            const PaperBox sheet{-paper.width / 2, -paper.height / 2, paper.width / 2,
                                 paper.height / 2};
            for (const FrameLine &l : f.lines)
                QVERIFY2(within(Geometry::LineBox(l.line), sheet), qPrintable(what));
            const QString bad = laidOutBadly(f);
            QVERIFY2(bad.isEmpty(), qPrintable(what + u' ' + bad));
            QCOMPARE(f.Corners().size(), size_t(8));
        }
    }
    // Elongated papers keep the margin of their shorter side.
    QCOMPARE(LayOutSheetFrame(420, 891, {}, fields).border.y1, -891 / 2.0 + 10);
    QCOMPARE(LayOutSheetFrame(1783, 841, {}, fields).border.x1, -1783 / 2.0 + 20);
    // No room or no number: no frame.
    QVERIFY(!LayOutSheetFrame(25, 25, {}, fields).shown);
    QVERIFY(!LayOutSheetFrame(std::nan(""), 297, {}, fields).shown);
    QVERIFY(!LayOutSheetFrame(420, INFINITY, {}, fields).shown);
    QVERIFY(!LayOutSheetFrame(-420, 297, {}, fields).shown);
}

void TestSheetFrame::contentsFromTheRegister()
{
    // Every field: each value once, the long ones narrowed into their cells.
    const SheetFrame full = LayOutSheetFrame(420, 297, {}, everyField());
    const QString all = texts(full);
    for (const QString &v : {QStringLiteral("図番"), QStringLiteral("HK-2026-0815-A"),
                             QStringLiteral("第二工場 一階平面図"), QStringLiteral("1:100"),
                             LongName, QStringLiteral("承認者"), QStringLiteral("2026/12/03"),
                             QStringLiteral("設計第一チーム"), QStringLiteral("3")})
        QVERIFY2(all.split(u'|').contains(v), qPrintable(v + u' ' + all));
    int narrowed = 0;
    for (const TextShape &t : full.texts)
        narrowed += t.width > 0;
    QCOMPARE(narrowed, 2); // the long name and the revision's text
    QVERIFY(laidOutBadly(full).isEmpty());

    // Empty fields leave the labels alone.
    const SheetFrame empty = LayOutSheetFrame(420, 297, {}, TitleFields());
    QCOMPARE(texts(empty),
             QStringLiteral("改訂|製図|検図|承認|出図|表題|副題|図番|尺度"));

    QCOMPARE(SheetFrames::DateText("20261208"), QStringLiteral("2026/12/08"));
    QCOMPARE(SheetFrames::DateText("2026128"), QStringLiteral("2026128"));
    QCOMPARE(SheetFrames::ScaleText(0.01), QStringLiteral("1:100"));
    QCOMPARE(SheetFrames::ScaleText(2), QStringLiteral("2:1"));
    QCOMPARE(SheetFrames::ScaleText(std::nan("")), QString());

    // From the register: members by name, dates as read, the latest revision by date.
    TestDb place;
    Database db;
    QVERIFY(place.open(db));
    QVERIFY(makeRegister(db));
    QVERIFY(exec(db, "UPDATE CADLIST SET STITLE = '設備', KN = 2, KDATE = '20261202', "
                     "AN = 3, ADATE = '20261203', PN = 9 WHERE N = 1"));
    for (const char *values : {"1, 1, '初版', 1, '20261204'", "2, 1, '寸法訂正', 2, '20261206'",
                               "3, 1, '誤記', 2, '20261205'", "4, 2, '他の図面', 2, '20261209'"})
        QVERIFY(db.SqlInsertList("CADREV", "N,ZN,CONT,RN,RDATE", QString::fromUtf8(values)));
    std::optional<TitleRecord> record = ReadTitleRecord(db, 1);
    QVERIFY(record);
    TitleFields f = TitleFieldsOf(*record, QStringLiteral("1:50"), QStringLiteral("設計"));
    QCOMPARE(f.code, QStringLiteral("HK-0815"));
    QCOMPARE(f.subtitle, QStringLiteral("設備"));
    QCOMPARE(f.drawnBy, QStringLiteral("山田太郎"));
    QCOMPARE(f.drawnOn, QStringLiteral("2026/12/01"));
    QCOMPARE(f.checkedBy, QStringLiteral("佐藤"));
    QCOMPARE(f.approvedBy, QStringLiteral("長谷川左衛門丞"));
    QCOMPARE(f.issuedBy, QString()); // no member 9
    QCOMPARE(f.revision, QStringLiteral("3"));
    QCOMPARE(f.revisionOn, QStringLiteral("2026/12/06"));
    QCOMPARE(f.revisionText, QStringLiteral("寸法訂正"));
    QVERIFY(!ReadTitleRecord(db, 2));
}

// The record form on this PC's connection, the editor on another PC's.
void TestSheetFrame::approvalThroughTheRecordForm()
{
    MessageRecorder messages;
    ProgramFixture p(true);
    QVERIFY(p.connected);
    editorSettings();
    Database &here = Db();
    QVERIFY(makeRegister(here));
    Config().PcUserNo = 4;
    Config().PcUserName = QStringLiteral("鈴木");
    Database other;
    other.ConnectDatabase(p.db.serverPath());
    QVERIFY(other.DatabaseConnected() && EnsureDrawingTables(other, 1));
    QScopedPointer<TForm13> e(openEditor(other));
    QVERIFY(e);
    QCOMPARE(e->Title().drawnBy, QStringLiteral("山田太郎"));
    QCOMPARE(e->Title().approvedBy, QString());
    const PaperBox block = e->SheetFrameNow().block;
    const long before = inkIn(e->Picture(), pixelsOf(e.get(), block));
    QVERIFY(before > 100);

    Main()->OpenRecordForm(WindowOpener::RecordMode::Edit, 1);
    const QList<TForm10 *> forms = ChildWindows<TForm10>();
    QCOMPARE(forms.size(), 1);
    click(forms.first()->Button6);
    click(forms.first()->Button1);
    QCOMPARE(messages.last(), QStringLiteral("CAD図面一覧データを登録しました"));
    QTRY_COMPARE_WITH_TIMEOUT(e->Title().approvedBy, QStringLiteral("鈴木"), 3000);
    QCOMPARE(e->Title().approvedOn, SheetFrames::DateText(TodayText()));
    QVERIFY(texts(e->SheetFrameNow()).split(u'|').contains(QStringLiteral("鈴木")));
    // A revision as the history stores it.
    QVERIFY(here.SqlInsertList("CADREV", "N,ZN,CONT,RN,RDATE", "1,1,'屋根を変更',4,'20261207'"));
    QTRY_COMPARE_WITH_TIMEOUT(e->Title().revisionText, QStringLiteral("屋根を変更"), 3000);
    QVERIFY(texts(e->SheetFrameNow()).split(u'|').contains(QStringLiteral("2026/12/07")));
    QVERIFY(inkIn(e->Picture(), pixelsOf(e.get(), block)) > before);
}

void TestSheetFrame::onPaperAndSwitchedOff()
{
    MessageRecorder messages;
    editorSettings();
    Config().TeamName = QStringLiteral("設計第一チーム");
    TestDb place;
    Database db;
    QVERIFY(place.open(db));
    QVERIFY(makeRegister(db) && EnsureDrawingTables(db, 1));
    QScopedPointer<TForm13> e(openEditor(db));
    QVERIFY(e);
    const SheetFrame frame = e->SheetFrameNow();
    QVERIFY(frame.shown);
    QVERIFY(texts(frame).contains(QStringLiteral("1:1")));
    QVERIFY(texts(frame).contains(QStringLiteral("設計第一チーム")));

    // Not an entity: a click on the frame line picks nothing, and nothing is stored.
    clickAt(e.get(), frame.border.x1, 0);
    QVERIFY(e->Selected().Empty());
    QCOMPARE(e->Model().Count(), size_t(0));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENTITY_1"), QStringLiteral("0"));

    QTemporaryDir files;
    if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
        const QString pdf = files.filePath("sheet.pdf");
        QVERIFY(e->Output->StartPdf(pdf));
        QVERIFY(finished(e->Output));
        bool ok = false;
        const QString text = QString::fromUtf8(RunProgram("pdftotext", {pdf, "-"}, &ok));
        QVERIFY2(ok && text.contains(QStringLiteral("図番"))
                     && text.contains(QStringLiteral("HK-0815"))
                     && text.contains(QStringLiteral("第二工場")),
                 qPrintable(text));
    }
    const QString dxf = files.filePath("sheet.dxf");
    QVERIFY(e->Output->StartDxf(dxf));
    QVERIFY(finished(e->Output));
    QFile file(dxf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("\n" + DxfEncode(SheetFrameLayerName()) + "\r\n")
            || bytes.contains("\n" + DxfEncode(SheetFrameLayerName()) + "\n"));
    QVERIFY(bytes.contains(DxfEncode(QStringLiteral("第二工場 一階平面図"))));

    // A scale typed for the drawing stands instead of the layer's, on every PC; a wrong one
    // is refused, an empty one gives the layer's back.
    const auto typeScale = [&](const QString &text) {
        QTimer::singleShot(0, [text] {
            if (auto *d = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
                d->setTextValue(text);
                d->accept();
            }
        });
        e->mnuSetScale->trigger();
    };
    typeScale(QStringLiteral("１：５０"));
    QCOMPARE(e->TypedFrameScale(), QStringLiteral("1:50"));
    QVERIFY(texts(e->SheetFrameNow()).split(u'|').contains(QStringLiteral("1:50")));
    FrameChoice choice;
    QVERIFY(ReadFrameChoice(db, 1, choice) && choice.scale == QStringLiteral("1:50"));
    typeScale(QStringLiteral("1/50"));
    QCOMPARE(messages.texts.value(0), QStringLiteral("尺度は 1:50 のように入力して下さい（1～9999）"));
    messages.texts.clear();
    QCOMPARE(e->TypedFrameScale(), QStringLiteral("1:50"));
    typeScale(QString());
    QVERIFY(texts(e->SheetFrameNow()).split(u'|').contains(QStringLiteral("1:1")));
    QVERIFY(ReadFrameChoice(db, 1, choice) && choice.scale.isEmpty());

    // Switched off for this drawing: gone from the picture and from paper, here and in an
    // editor opened later.
    const QPoint onBorder = pixelOf(e.get(), frame.border.x1, frame.border.y1 + 30);
    QVERIFY(qGray(e->Picture().pixel(onBorder)) < 128);
    e->mnuSetFrame->trigger();
    QVERIFY(e->FrameHidden());
    QCOMPARE(qGray(e->Picture().pixel(onBorder)), 255);
    QCOMPARE(QueryValue(db, "OPN", "VAR_1", "N = 2"), QStringLiteral("-1"));
    QVERIFY(e->Output->TakeDrawing().layers.empty());
    QScopedPointer<TForm13> later(openEditor(db));
    QVERIFY(later && later->FrameHidden() && !later->SheetFrameNow().shown);
    // The drawing's operation number is the row N = 1's, untouched.
    QCOMPARE(QueryValue(db, "MAX(OPN)", "VAR_1"), QStringLiteral("0"));
    e->mnuSetFrame->trigger();
    QVERIFY(!e->FrameHidden());
    QCOMPARE(QueryValue(db, "COUNT(*)", "VAR_1"), QStringLiteral("1"));
    QVERIFY(messages.texts.isEmpty());
}

void TestSheetFrame::teamAndFilingMarginInTheSettingsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("harokan.dat");
    Settings s;
    QFile f(path);
    // Lines 80 and 81, with the ones before them at their defaults.
    s.TeamName = QStringLiteral("設計第一チーム");
    s.FilingMargin = true;
    QVERIFY(SaveSettingsFile(path, s));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    f.close();
    QCOMPARE(lines.size(), 82); // the last one empty after the final line break
    QCOMPARE(lines[79], DxfEncode(s.TeamName) + "\r");
    QCOMPARE(lines[80], QByteArray("1\r"));
    const Settings back = LoadSettingsFile(path);
    QCOMPARE(back.TeamName, s.TeamName);
    QVERIFY(back.FilingMargin);
    QVERIFY(!back.WheelTowardUserZoomsOut && !back.ChatReadableTime);

    // A name that the file cannot hold keeps the file as it was.
    s.TeamName = QStringLiteral("二行\nの名");
    QVERIFY(!SaveSettingsFile(path, s));
    QCOMPARE(LoadSettingsFile(path).TeamName, QStringLiteral("設計第一チーム"));
}

QTEST_MAIN(TestSheetFrame)
#include "tst_sheetframe.moc"

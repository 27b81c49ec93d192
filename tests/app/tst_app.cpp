#include "app/dbsettings.h"
#include "base/globals.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/settings.h"
#include "db/textcodec.h"
#include "base/ui.h"
#include "base/values.h"
#include "db/database.h"
#include "db/schema.h"
#include "editor/editorwindow.h"
#include "register/drawinglist.h"
#include "register/drawingrecord.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <clocale>

#include <langinfo.h>

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void integerConversion();
    void realConversion();
    void dates();
    void blanksQuotesColons();
    void waitTicks();

    void settingsDefaultsAndShortFile();
    void settingsRoundTrip();
    void settingsFailedSaveKeepsFile();
    void settingsPlaceAndForeignFile();

    void dbSettingsChecks();
    void dbSettingsCreatesAndAccepts();
    void japaneseFolderWithoutUtf8Locale();

    void inertWhileUnconnected();
    void pcUserCheckAndEnsureTable();
    void startupMessageAndOnce();
    void dbSetClosesChildrenFirst();
    void shutDownOrder();
    void editorMenusRunTheMainOnes();

private:
    void makeWindows(const QString &settingsFile);
    void writeSettings(const QString &path, const QStringList &lines);

    QTemporaryDir *files = nullptr;
};

namespace {

// A child window that notes whether the connection was still open when it closed.
class ProbeChild : public QWidget
{
public:
    bool *closedConnected;
    explicit ProbeChild(bool *flag) : closedConnected(flag) {}

protected:
    void closeEvent(QCloseEvent *event) override
    {
        *closedConnected = Db().DatabaseConnected();
        QWidget::closeEvent(event);
    }
};

QString connection(const Settings &s)
{
    return QStringList({s.ServerName, s.DataFolder, s.DbFileName, QString::number(s.PcUserNo),
                        s.PcUserName}).join(u'|');
}

} // namespace

void TestApp::init()
{
    files = new QTemporaryDir;
    Globals() = ProgramValues();
}

void TestApp::cleanup()
{
    CloseProgramWindows();
    delete files;
    files = nullptr;
}

void TestApp::makeWindows(const QString &settingsFile)
{
    OpenProgramWindows();
    Main()->SettingsFile = settingsFile;
    Main()->SettingsStartingPoints.clear();
}

void TestApp::writeSettings(const QString &path, const QStringList &lines)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    for (const QString &l : lines)
        f.write(*ToCp932(l) + "\r\n");
}

void TestApp::integerConversion()
{
    const QList<QPair<QString, qint32>> cases = {
        {"12", 12}, {" -7", -7}, {"$1F", 31}, {"0x1f", 31}, {"X10", 16}, {"+5", 5},
        {"12a", 0}, {"1.5", 0}, {"abc", 0}, {"", 0}, {"12 ", 0}, {"-", 0}, {"$", 0},
        {"2147483648", 0}, {"-2147483648", INT_MIN}, {"2147483647", INT_MAX},
        {"99999999999999999999", 0}, {"１２", 0},
    };
    for (const auto &c : cases)
        QVERIFY2(StrToIntZ(c.first) == c.second, qPrintable(c.first));
    QVERIFY(IsAllDigits("") && IsAllDigits("0123"));
    QVERIFY(!IsAllDigits("12a") && !IsAllDigits("１"));
}

void TestApp::realConversion()
{
    const QList<QPair<QString, double>> cases = {
        {"0.18", 0.18}, {"1189", 1189}, {"1E-5", 0.00001}, {"2.5e3", 2500}, {" -3.5", -3.5},
        {"0,18", 0}, {"1.2.3", 0}, {".", 0}, {"", 0}, {"nan", 0}, {"inf", 0},
        {"-Infinity", 0}, {"0x1p3", 0}, {"1e", 0}, {"3.", 3}, {".5", 0.5}, {"1e999", 0},
    };
    for (const auto &c : cases)
        QVERIFY2(StrToFloatZ(c.first) == c.second, qPrintable(c.first));
}

void TestApp::dates()
{
    for (const char *ok : {"20100101", "20000229", "18991230", "99991231", "20241231"})
        QVERIFY2(IsValidDate(ok), ok);
    for (const char *bad : {"19000229", "18991229", "2010011", "2010-1-1", "00000101",
                            "20101301", "20100431", "20100100", "", "201001011"})
        QVERIFY2(!IsValidDate(bad), bad);
}

void TestApp::blanksQuotesColons()
{
    using Change = QString (*)(const QString &);
    const struct
    {
        Change change;
        QString in, out;
    } cases[] = {
        {RemoveBlanks, QStringLiteral(" A　B C "), "ABC"},
        {RemoveBlanks, QStringLiteral("  　 "), ""},
        {RemoveBlanks, "a\tb\n", "ab"},
        {RemoveQuotes, "'It's' \"so\"", "Its so"},
        // No character before a quote can hide it.
        {RemoveQuotes, QStringLiteral("表'示\u0080'x\t"), QStringLiteral("表示\u0080x")},
        {TextBeforeColon, QStringLiteral("12:山田"), "12"},
        {TextBeforeColon, QStringLiteral("0:指定無し"), "0"},
        {TextBeforeColon, "abc", ""},
        {TextBeforeColon, ":x", ""},
        {TextAfterColon, QStringLiteral("12:山田:A"), QStringLiteral("山田:A")},
        {TextAfterColon, "abc", ""},
        {TextAfterColon, "", ""},
    };
    for (const auto &c : cases)
        QCOMPARE(c.change(c.in), c.out);
    QVERIFY(HasQuote(QStringLiteral("ソ'")) && HasQuote("\""));
    QVERIFY(!HasQuote(QStringLiteral("表示")));
}

void TestApp::waitTicks()
{
    int fired = 0;
    QTimer::singleShot(20, [&] { ++fired; });
    QElapsedTimer clock;
    clock.start();
    WaitTicks(120);
    QVERIFY(clock.elapsed() >= 120);
    QCOMPARE(fired, 1); // events ran during the wait
}

void TestApp::settingsDefaultsAndShortFile()
{
    const QString path = files->filePath("h.dat");
    // No file: the defaults, the window places unread.
    Settings s = LoadSettingsFile(path);
    QCOMPARE(connection(s), QString("localhost:||CAD.FDB|0|"));
    QVERIFY(!s.windowGeometryRead);
    QCOMPARE(QList<int>({s.ChatWindow.width, s.ListWindow.height, s.ListColumns[12]}),
             QList<int>({320, 240, 32}));

    // A short file: what it holds, zero places, sizes and columns at their least.
    writeSettings(path, {"srv:", " /data/ ", "x.fdb"});
    s = LoadSettingsFile(path);
    QCOMPARE(connection(s), QString("srv:| /data/ |x.fdb|0|"));
    QVERIFY(s.windowGeometryRead);
    QCOMPARE(QList<int>({s.windowGeometry[2], s.ChatWindow.width, s.EditorHeight,
                         s.LayersDialog.left, s.ListWindow.width, s.ListWindow.height,
                         s.ListColumns[0], s.ColorsColumns[3]}),
             QList<int>({0, 0, 0, 0, 80, 80, 32, 16}));

    // Numbers that are none read as 0, sizes below their least as the least.
    QStringList lines(SettingsLineCount, "5");
    lines[3] = "abc";     // PC user number
    lines[23] = "50";     // list width
    lines[24] = "120";    // list height
    lines[25] = "20";     // list column 0
    lines[52] = "10";     // colours column 0
    lines[42] = "-3";     // layers column 0
    lines[58] = "17";     // line types column 0
    lines[38] = "1.5e2";  // editor width
    writeSettings(path, lines);
    s = LoadSettingsFile(path);
    QCOMPARE(QList<int>({s.PcUserNo, s.ListWindow.width, s.ListWindow.height, s.ListColumns[0],
                         s.ListColumns[1], s.ColorsColumns[0], s.LayersColumns[0],
                         s.LtypesColumns[0], s.EditorWidth, s.EditorHeight}),
             QList<int>({0, 80, 120, 32, 32, 16, 16, 17, 0, 5}));
}

void TestApp::settingsRoundTrip()
{
    const QString path = files->filePath("h.dat");
    Settings s;
    s.DataFolder.clear();
    s.PcUserNo = 12;
    s.PcUserName = QStringLiteral("山田～太郎");
    s.ListColumns[4] = 77;
    s.GridDialog.top = -20;
    s.windowGeometry[15] = 321;
    QVERIFY(SaveSettingsFile(path, s));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QCOMPARE(all.count("\r\n"), SettingsLineCount);
    QCOMPARE(all.count('\n'), SettingsLineCount);
    QVERIFY(all.endsWith("\r\n"));
    QVERIFY(all.contains("localhost:\r\n\r\nCAD.FDB\r\n12\r\n"));
    const Settings r = LoadSettingsFile(path);
    QCOMPARE(connection(r), QStringLiteral("localhost:||CAD.FDB|12|山田～太郎"));
    QCOMPARE(QList<int>({r.ListColumns[4], r.GridDialog.top, r.windowGeometry[15]}),
             QList<int>({77, -20, 321}));
    QVERIFY(!r.WheelTowardUserZoomsOut);
    QVERIFY(!EditorSizeKept(r));

    // The wheel the other way round: one line past the 75, which older builds never read;
    // the 75 stay as they were.
    f.close();
    Settings wheel = s;
    wheel.WheelTowardUserZoomsOut = true;
    wheel.EditorWidth = 900;
    QVERIFY(SaveSettingsFile(path, wheel));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray longer = f.readAll();
    f.close();
    QCOMPARE(longer.count("\r\n"), SettingsLineCount + 3);
    QVERIFY(longer.endsWith("\r\n1\r\n0\r\n0\r\n"));
    QCOMPARE(longer.split('\n').mid(0, 38), all.split('\n').mid(0, 38));
    const Settings back = LoadSettingsFile(path);
    QVERIFY(back.WheelTowardUserZoomsOut);
    QVERIFY(!back.AutoRegisterDates);
    QVERIFY(!back.ChatReadableTime);
    QVERIFY(EditorSizeKept(back));
    QCOMPARE(back.GridDialog.top, -20);
    QCOMPARE(back.SnapKinds, Settings::DefaultSnapKinds);

    // Other snaps: line 79 after the three before it; a value beyond every kind is not
    // taken.
    Settings snaps = s;
    snaps.SnapKinds = 1 | 128 | 256;
    QVERIFY(SaveSettingsFile(path, snaps));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray snapped = f.readAll();
    f.close();
    QCOMPARE(snapped.count("\r\n"), SettingsLineCount + 4);
    QVERIFY(snapped.endsWith("\r\n0\r\n0\r\n0\r\n385\r\n"));
    QCOMPARE(LoadSettingsFile(path).SnapKinds, 385);
    snapped.replace("\r\n385\r\n", "\r\n4096\r\n");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(snapped);
    f.close();
    QCOMPARE(LoadSettingsFile(path).SnapKinds, Settings::DefaultSnapKinds);
}

void TestApp::settingsFailedSaveKeepsFile()
{
    const QString path = files->filePath("h.dat");
    Settings s;
    s.DataFolder = "/old/";
    QVERIFY(SaveSettingsFile(path, s));
    const QStringList before = fileLines(path);

    Settings bad = s;
    bad.PcUserName = QStringLiteral("😀");
    QVERIFY(!SaveSettingsFile(path, bad));
    bad.PcUserName = "two\nlines";
    QVERIFY(!SaveSettingsFile(path, bad));
    QCOMPARE(fileLines(path), before);

    // A read-only file is still read, and stays as it was.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    QCOMPARE(LoadSettingsFile(path).DataFolder, QString("/old/"));
    Settings changed = s;
    changed.DataFolder = "/new/";
    QVERIFY(!SaveSettingsFile(path, changed));
    QCOMPARE(fileLines(path), before);
    QVERIFY(QDir(files->path()).entryList(QDir::Files).size() == 1); // no leftovers
}

void TestApp::settingsPlaceAndForeignFile()
{
    // A writable program folder keeps the file beside the program; a read-only folder or
    // file sends it to the user's folder, the program's file read as the starting point.
    const QString folder = files->filePath("bin");
    QVERIFY(QDir().mkpath(folder));
    const QString program = folder + "/harokan.dat";
    const QString user = files->filePath("config/harokan/harokan.dat");
    const QStringList site{files->filePath("xdg/harokan/harokan.dat")};
    QCOMPARE(ChooseSettingsPlace(program, user, site).file, program);
    QVERIFY(ChooseSettingsPlace(program, user, site).startingPoints.isEmpty());
    writeSettings(program, {"", "", "ADMIN.FDB"});
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    SettingsPlace place = ChooseSettingsPlace(program, user, site);
    QCOMPARE(place.file, user);
    QCOMPARE(place.startingPoints, QStringList({program}) + site);
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QCOMPARE(ChooseSettingsPlace(folder + "/new.dat", user, site).file, user);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                      | QFileDevice::ExeOwner);

    // The first start in the user's folder begins from the administrator's file and saves
    // into the user's, making its folder.
    {
        MessageRecorder messages;
        makeWindows(user);
        Main()->SettingsStartingPoints = place.startingPoints;
        Main()->show();
        QCOMPARE(Config().DbFileName, QString("ADMIN.FDB"));
        Config().PcUserName = QStringLiteral("佐藤");
        Main()->close();
        QCOMPARE(fileLines(user).value(4), QStringLiteral("佐藤"));
        QCOMPARE(fileLines(program).value(2), QString("ADMIN.FDB"));
        QVERIFY(messages.texts.isEmpty());
        CloseProgramWindows();
    }

    // Not a settings file: defaults (so no connection is tried), a word once the window is
    // up, the file kept aside and a good one written at exit.
    {
        MessageRecorder messages;
        QFile junk(program);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        const QByteArray garbage("\x7f" "ELF\x02\x01\x00\x00srv:/x/\r\n", 17);
        junk.write(garbage);
        junk.close();
        SettingsRead read = SettingsRead::Read;
        QCOMPARE(LoadSettingsFile(program, &read).DataFolder, QString());
        QCOMPARE(read, SettingsRead::NotSettings);
        makeWindows(program);
        Main()->show();
        QVERIFY(messages.texts.isEmpty()); // not before the window shows
        QTRY_COMPARE_WITH_TIMEOUT(messages.texts.size(), 1, 2000);
        QVERIFY(messages.last().contains(program));
        QVERIFY(messages.last().contains(program + ".broken"));
        QVERIFY(!Db().DatabaseConnected());
        QFile aside(program + ".broken");
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), garbage);
        Main()->close();
        QCOMPARE(fileLines(program).size(), SettingsLineCount + 1);
        CloseProgramWindows();
    }

    // A file that cannot be written gets one message naming it, however often it closes.
    {
        MessageRecorder messages;
        QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ReadOther);
        makeWindows(program);
        Main()->show();
        Main()->close();
        Main()->show();
        Main()->close();
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.last().contains(program));
        CloseProgramWindows();
        QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

void TestApp::dbSettingsChecks()
{
    MessageRecorder messages;
    makeWindows(files->filePath("h.dat"));
    Dialog<TForm2>()->show();
    QCOMPARE(Dialog<TForm2>()->windowTitle(), QStringLiteral("データベース設定"));
    QCOMPARE(Dialog<TForm2>()->Edit1->text(), QString("localhost:"));
    QCOMPARE(Dialog<TForm2>()->Edit3->text(), QString("CAD.FDB"));

    Dialog<TForm2>()->Edit2->setText("   ");
    click(Dialog<TForm2>()->Button1);
    QCOMPARE(messages.last(), QStringLiteral("サーバーのデータのフォルダを入力して下さい"));
    QCOMPARE(Dialog<TForm2>()->focusWidget(), Dialog<TForm2>()->Edit2);
    Dialog<TForm2>()->Edit2->setText(files->path() + "/");
    Dialog<TForm2>()->Edit3->setText(" ");
    click(Dialog<TForm2>()->Button1);
    QCOMPARE(messages.last(), QStringLiteral("データベース名を入力して下さい"));
    QCOMPARE(Dialog<TForm2>()->focusWidget(), Dialog<TForm2>()->Edit3);
    QCOMPARE(messages.texts.size(), 2);
    QCOMPARE(Config().DataFolder, QString()); // nothing stored yet

    const char *names[][2] = {{"cad", "CAD.FDB"}, {"Work.gdb", "WORK.GDB"},
                              {"dir.x/cad", "DIR.X/CAD.FDB"}, {"d.x\\cad", "D.X\\CAD.FDB"},
                              {"c:cad", "C:CAD.FDB"}};
    for (const auto &n : names)
        QCOMPARE(NormalizeDbFileName(n[0]), QString(n[1]));

    // An unreachable place: the message, focus on the server, the dialog stays open and
    // the typed values stay stored.
    Dialog<TForm2>()->Edit1->setText("");
    Dialog<TForm2>()->Edit2->setText(files->path() + "/no/such/");
    Dialog<TForm2>()->Edit3->setText("cad");
    click(Dialog<TForm2>()->Button1);
    QCOMPARE(messages.last(),
             QStringLiteral("データベースが作成・接続出来ません。設定を確認して下さい。"));
    QCOMPARE(Dialog<TForm2>()->focusWidget(), Dialog<TForm2>()->Edit1);
    QVERIFY(Dialog<TForm2>()->isVisible());
    QCOMPARE(Config().ServerName + u'|' + Config().DbFileName, QString("|CAD.FDB"));
    QVERIFY(!Db().DatabaseConnected());
}

void TestApp::dbSettingsCreatesAndAccepts()
{
    MessageRecorder messages;
    TestDb t;
    makeWindows(files->filePath("h.dat"));
    Dialog<TForm2>()->show();
    Dialog<TForm2>()->Edit1->setText("");
    Dialog<TForm2>()->Edit2->setText(t.folder());
    Dialog<TForm2>()->Edit3->setText("work");
    click(Dialog<TForm2>()->Button1);
    QVERIFY(messages.texts.isEmpty());
    QVERIFY(!Dialog<TForm2>()->isVisible());
    QVERIFY(QFile::exists(t.folder() + "WORK.FDB"));
    QCOMPARE(Main()->DatabasePath(), t.folder() + "WORK.FDB");
    QVERIFY(!Db().DatabaseConnected()); // the menu connects afterwards

    // An existing file is accepted and kept.
    Db().ConnectDatabase(Main()->DatabasePath());
    QVERIFY(Main()->EnsureTable("SECTION"));
    Db().DisconnectDatabase();
    Dialog<TForm2>()->show();
    click(Dialog<TForm2>()->Button1);
    QVERIFY(messages.texts.isEmpty());
    QVERIFY(!Dialog<TForm2>()->isVisible());
    Db().ConnectDatabase(Main()->DatabasePath());
    QVERIFY(Db().TableExists("SECTION"));
    Db().DisconnectDatabase();

    // Through the local server as well.
    Dialog<TForm2>()->show();
    Dialog<TForm2>()->Edit1->setText("localhost:");
    Dialog<TForm2>()->Edit3->setText("served");
    click(Dialog<TForm2>()->Button1);
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.last()));
    QVERIFY(QFile::exists(t.folder() + "SERVED.FDB"));
    Db().ConnectDatabase(Main()->DatabasePath());
    QVERIFY(Db().DatabaseConnected());
    QVERIFY(Main()->EnsureTable("MEMBER"));
}

void TestApp::japaneseFolderWithoutUtf8Locale()
{
    // As under a session with no locale set at all.
    QVERIFY(std::setlocale(LC_CTYPE, "C"));
    SetUpApplication();
    QCOMPARE(QByteArray(nl_langinfo(CODESET)), QByteArray("UTF-8"));

    TestDb t;
    const QString folder = t.folder() + QStringLiteral("図面－A/");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::permissions(t.folder())));
    for (const QString &server : {QString(), QStringLiteral("localhost:")}) {
        const QString file = folder + (server.isEmpty() ? "埋込.FDB" : "サーバー.FDB");
        Database db;
        db.CreateDatabase(server + file);
        QVERIFY2(db.DatabaseConnected(), qPrintable(server + file + ": " + db.LastError()));
        db.DisconnectDatabase();
        QVERIFY2(QFile::exists(file), qPrintable(file));
        db.ConnectDatabase(server + file);
        QVERIFY2(db.DatabaseConnected(), qPrintable(server + file + ": " + db.LastError()));
    }
}

void TestApp::inertWhileUnconnected()
{
    MessageRecorder messages;
    makeWindows(files->filePath("h.dat"));
    Main()->show(); // no settings file: no connection attempt, no message
    QVERIFY(!Db().DatabaseConnected());
    for (QAction *a : {Main()->mnuAddTable1, Main()->mnuAddTable2, Main()->mnuPCnameSet,
                       Main()->mnuChatStart, Main()->mnuChatEdit, Main()->mnuMousePointer,
                       Main()->mnuCadNew, Main()->mnuCadEdit, Main()->mnuCadList})
        a->trigger();
    QVERIFY(messages.texts.isEmpty());
    QVERIFY(Main()->mdiArea()->subWindowList().isEmpty());
}

void TestApp::pcUserCheckAndEnsureTable()
{
    MessageRecorder messages;
    TestDb t;
    makeWindows(files->filePath("h.dat"));
    QVERIFY(t.open(Db()));

    // Edit does nothing while CADLIST is missing; New creates it, then asks for a PC user.
    Main()->DoCadEdit();
    QVERIFY(messages.texts.isEmpty());
    QVERIFY(!Db().TableExists("CADLIST"));
    Main()->mnuCadNew->trigger();
    QVERIFY(Db().TableExists("CADLIST"));
    QCOMPARE(messages.texts, QStringList({QStringLiteral("PC利用者名の登録を行って下さい")}));
    for (QAction *a : {Main()->mnuCadEdit, Main()->mnuCadList, Main()->mnuChatStart,
                       Main()->mnuMousePointer})
        a->trigger();
    QCOMPARE(messages.texts.size(), 5);
    QVERIFY(Db().TableExists("CHAT") && Db().TableExists("MOUSEPOS"));

    // With a PC user the checks pass silently.
    Config().PcUserNo = 3;
    messages.clear();
    Main()->DoCadEdit();
    QCOMPARE(ChildWindows<TForm10>().size(), 1);
    QVERIFY(!ChildWindows<TForm10>().last()->IsNew());
    Main()->DoCadNew();
    QCOMPARE(ChildWindows<TForm10>().size(), 2);
    QVERIFY(ChildWindows<TForm10>().last()->IsNew());
    QVERIFY(messages.texts.isEmpty());

    // A table another PC created meanwhile counts as ensured.
    Database other;
    other.ConnectDatabase(t.embeddedPath());
    QVERIFY(CreateMemberTable(other) || other.TableExists("MEMBER"));
    QVERIFY(Main()->EnsureTable("MEMBER"));
    QVERIFY(!Main()->EnsureTable("NOT_A_TABLE"));
}

void TestApp::startupMessageAndOnce()
{
    MessageRecorder messages;
    TestDb t;
    const QString path = files->filePath("h.dat");
    writeSettings(path, {"localhost/1:", t.folder(), "CAD.FDB", "4", QStringLiteral("山田"),
                         "150", "160", "400", "300", "30", "40"});
    makeWindows(path);
    Main()->show();
    QCOMPARE(messages.texts,
             QStringList({QStringLiteral("データベース接続が出来ません。設定を確認して下さい。")}));
    QVERIFY(!Db().DatabaseConnected());
    QCOMPARE(Config().PcUserName, QStringLiteral("山田"));
    QCOMPARE(Main()->size(), QSize(400, 300));
    QCOMPARE(Dialog<TForm2>()->pos(), QPoint(30, 40));
    Main()->hide();
    Main()->show();
    QCOMPARE(messages.texts.size(), 1);

    // A reachable database connects at start without a word.
    CloseProgramWindows();
    Database create;
    QVERIFY(t.open(create));
    create.DisconnectDatabase();
    writeSettings(path, {"", t.folder(), "TEST.FDB"});
    makeWindows(path);
    Main()->show();
    QCOMPARE(messages.texts.size(), 1);
    QVERIFY(Db().DatabaseConnected());
}

void TestApp::dbSetClosesChildrenFirst()
{
    MessageRecorder messages;
    TestDb t;
    makeWindows(files->filePath("h.dat"));
    Config().ServerName.clear();
    Config().DataFolder = t.folder();
    Config().DbFileName = "TEST.FDB";
    QVERIFY(t.open(Db()));

    bool closedConnected = false;
    Main()->OpenChild(new ProbeChild(&closedConnected));
    QCOMPARE(Main()->mdiArea()->subWindowList().size(), 1);
    bool childrenGone = false;
    whenShown(Dialog<TForm2>(), [&] {
        childrenGone = Main()->mdiArea()->subWindowList().isEmpty();
        Dialog<TForm2>()->Edit3->setText("menu");
        click(Dialog<TForm2>()->Button1);
    });
    Main()->mnuDBset->trigger();
    QVERIFY(childrenGone);
    QVERIFY(closedConnected); // closed before the old database was let go
    QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.last()));
    QVERIFY(Db().DatabaseConnected());
    QCOMPARE(Config().DbFileName, QString("MENU.FDB"));
}

void TestApp::shutDownOrder()
{
    TestDb t;
    const QString path = files->filePath("h.dat");
    makeWindows(path);
    QVERIFY(t.open(Db()));
    Main()->show();
    Main()->move(70, 80);
    Dialog<TForm2>()->move(11, 12);
    bool closedConnected = false;
    Main()->OpenChild(new ProbeChild(&closedConnected));
    Main()->mnuExit->trigger();
    QVERIFY(closedConnected);
    QVERIFY(!Db().DatabaseConnected());
    const QStringList lines = fileLines(path);
    QCOMPARE(lines.size(), SettingsLineCount + 1); // the last line break ends the file
    QCOMPARE(QStringList({lines[5], lines[9], lines[10]}), QStringList({"70", "11", "12"}));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();
    TestApp test;
    return QTest::qExec(&test, argc, argv);
}

// The editor carries the main menu's チャット and CAD図面; opened by the main window, its
// copies do what the main window's do.
void TestApp::editorMenusRunTheMainOnes()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(p.connected);
    Config().PcUserNo = 1;
    QVERIFY(CreateCadListTable(Db()));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME, PAPX, PAPY", "4, 'ABC', 420, 297"));
    QVERIFY(EnsureDrawingTables(Db(), 4));
    Main()->OpenDrawing(4, QStringLiteral("ABC"), 420, 297);
    QCOMPARE(ChildWindows<TForm13>().size(), 1);
    TForm13 *e = ChildWindows<TForm13>().first();
    e->mnuCadList->trigger();
    QCOMPARE(ChildWindows<TForm12>().size(), 1);
    e->mnuCadEdit->trigger();
    QCOMPARE(ChildWindows<TForm10>().size(), 1);
    QVERIFY(!ChildWindows<TForm10>().first()->IsNew());
    e->mnuCadNew->trigger();
    QCOMPARE(ChildWindows<TForm10>().size(), 2);
    QVERIFY(ChildWindows<TForm10>().last()->IsNew());
    QVERIFY(messages.texts.isEmpty());
}

#include "tst_app.moc"

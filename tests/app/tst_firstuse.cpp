// What a new user meets first: windows that open where they can be seen and close
// completely, Japanese standard buttons, explained refusals, keyboard mnemonics, the icon,
// and an orderly end when the program is ended from outside.
#include "app/dbsettings.h"
#include "base/globals.h"
#include "base/grid.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/placement.h"
#include "base/settings.h"
#include "base/ui.h"
#include "db/schema.h"
#include "db/textcodec.h"
#include "editor/editorwindow.h"
#include "master/sections.h"
#include "register/drawinglist.h"
#include "register/drawingrecord.h"
#include "support/testdb.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QtTest>

#include <csignal>

class TestFirstUse : public QObject
{
    Q_OBJECT

private slots:
    void recordFormClosesItsFrame();
    void childWindowsWithinArea();
    void dialogPositionsKept();
    void windowsOnScreen();
    void japaneseStandardButtons();
    void refusedInputExplained();
    void childMnemonicsFirst();
    void programIcon();
    void endedBySignal();
    void packageInstalls();
};

namespace {

QList<QMdiSubWindow *> frames()
{
    return Main()->mdiArea()->subWindowList();
}

template<typename T>
T *newestChild()
{
    const QList<T *> open = ChildWindows<T>();
    return open.isEmpty() ? nullptr : open.last();
}

// Ends the program run, if it still runs, however the test leaves.
auto killedAtEnd(QProcess &run)
{
    return qScopeGuard([&run] {
        if (run.state() != QProcess::NotRunning) {
            run.kill();
            run.waitForFinished(5000);
        }
    });
}

// The program on a fresh database, PC user 1, its messages recorded.
struct Program
{
    MessageRecorder messages;
    ProgramFixture p;
    Program() { Config().PcUserNo = 1; }
};

// A main window keeping its settings in path, placing the database settings dialog and,
// when asked, the sections dialog.
void startMain(const QString &path, bool sections)
{
    Globals() = ProgramValues();
    AdoptMain(new TForm1);
    Main()->SettingsFile = path;
    auto *database = new TForm2(Main()->Context(), Main());
    std::vector<QWidget *> placed{database};
    if (sections)
        placed.push_back(new TForm3(Main()->Context(), Main()));
    Main()->SetPlacedDialogs(placed);
    Main()->show();
}

void endMain()
{
    delete Main();
}

} // namespace

void TestFirstUse::recordFormClosesItsFrame()
{
    Program program;
    QVERIFY(program.p.connected);

    Main()->DoCadNew();
    TForm10 *form = newestChild<TForm10>();
    QVERIFY(form);
    // The revision memo shows several lines and the buttons below it stay inside the form.
    QVERIFY(form->Memo1->height() >= 4 * form->Memo1->fontMetrics().lineSpacing());
    QVERIFY(form->rect().contains(form->Button3->geometry()));
    QVERIFY(form->Panel1->geometry().contains(form->Memo1->geometry()));
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    QVERIFY(frames().isEmpty());

    Main()->DoCadEdit();
    form = newestChild<TForm10>();
    QVERIFY(form);
    QTest::keyClick(form->Edit[2], Qt::Key_Escape);
    QVERIFY(frames().isEmpty());

    // The frame's own close button still ends the window inside it.
    Main()->DoCadNew();
    QPointer<TForm10> inner = newestChild<TForm10>();
    QVERIFY(inner);
    QVERIFY(frames().value(0)->close());
    QVERIFY(frames().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(inner.isNull(), 5000);
    QVERIFY(program.messages.texts.isEmpty());
}

void TestFirstUse::childWindowsWithinArea()
{
    Program program;
    QVERIFY(program.p.connected);
    const QRect area = Main()->mdiArea()->viewport()->rect();

    // At its default size the list shows every button and the filter chooser.
    Main()->DoCadList();
    TForm12 *list = newestChild<TForm12>();
    QVERIFY(list);
    const QWidget *const ends[] = {list->Button9, list->ComboBox2};
    for (const QWidget *w : ends)
        QVERIFY(list->rect().contains(w->geometry().translated(list->Panel1->pos())));

    // Several record forms and a list far bigger than the area all stay inside it.
    for (int i = 0; i < 4; ++i)
        Main()->DoCadNew();
    Config().ListWindow = {3000, 2000};
    Main()->DoCadList();
    QCOMPARE(frames().size(), 6);
    for (QMdiSubWindow *w : frames())
        QVERIFY2(area.contains(w->geometry()), qPrintable(w->windowTitle()));
    // The shrunken list stores the size it was shown at.
    frames().last()->close();
    QCOMPARE(Config().ListWindow.width, area.width());
}

void TestFirstUse::dialogPositionsKept()
{
    MessageRecorder messages; // the dialogs refuse to work without a database
    QTemporaryDir files;
    const QString path = files.filePath("h.dat");
    auto run = [&](const std::function<void()> &use) {
        startMain(path, true);
        use();
        Main()->close();
        endMain();
    };

    // First run, no file: the dialogs never shown get the place they would open at.
    run([] {});
    QStringList lines = fileLines(path);
    QCOMPARE(lines.size(), SettingsLineCount + 1);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (int line : {9, 11}) {
        const QPoint at(lines[line].toInt(), lines[line + 1].toInt());
        QVERIFY2(at != QPoint(0, 0), qPrintable(lines[line]));
        QVERIFY(screen.contains(at));
    }

    // Second run: what was read is what is written back for a dialog not shown; the one
    // shown and moved keeps its new place.
    const QStringList before = lines;
    run([] {
        Dialog<TForm3>()->show();
        Dialog<TForm3>()->move(140, 150);
        Dialog<TForm3>()->hide();
    });
    lines = fileLines(path);
    QCOMPARE(lines.mid(9, 2), before.mid(9, 2));
    QCOMPARE(lines.mid(11, 2), QStringList({"140", "150"}));
    QCOMPARE(lines.mid(13, 4), before.mid(13, 4));
}

void TestFirstUse::windowsOnScreen()
{
    QTemporaryDir files;
    const QString path = files.filePath("h.dat");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();

    // No settings file: a comfortable first size, no bigger than the screen.
    startMain(path, false);
    const QSize frame = Main()->frameGeometry().size() - Main()->size();
    QCOMPARE(Main()->size(), QSize(1280, 800).boundedTo(screen.size() - frame));
    QVERIFY(screen.contains(Main()->frameGeometry()));
    endMain();

    // A file without the main window's size (only the database lines): the same first size.
    QFile shortFile(path);
    QVERIFY(shortFile.open(QIODevice::WriteOnly));
    shortFile.write("\r\n\r\nCAD.FDB\r\n");
    shortFile.close();
    startMain(path, false);
    QCOMPARE(Main()->size(), QSize(1280, 800).boundedTo(screen.size() - frame));
    endMain();

    // Positions off every screen, from another PC's screens, come back to this one.
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\r\n\r\nCAD.FDB\r\n0\r\n\r\n5000\r\n4000\r\n400\r\n300\r\n-3000\r\n-200\r\n");
    f.close();
    startMain(path, false);
    QVERIFY(OnSomeScreen(Main()->frameGeometry()));
    QCOMPARE(Main()->size(), QSize(400, 300));
    QCOMPARE(Dialog<TForm2>()->pos(), QPoint(-3000, -200)); // as read, while not shown
    Dialog<TForm2>()->show();
    QVERIFY(OnSomeScreen(Dialog<TForm2>()->frameGeometry()));
    QVERIFY(screen.contains(Dialog<TForm2>()->frameGeometry()));
    Dialog<TForm2>()->hide();
    // A place that shows the title bar is the user's choice and stays.
    Dialog<TForm2>()->move(screen.right() - 100, screen.top() + 10);
    Dialog<TForm2>()->show();
    QCOMPARE(Dialog<TForm2>()->pos(), QPoint(screen.right() - 100, screen.top() + 10));
    Dialog<TForm2>()->hide();
    endMain();
}

void TestFirstUse::japaneseStandardButtons()
{
    QStringList buttons;
    bool seen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        seen = true;
        QAbstractButton *no = nullptr;
        for (QAbstractButton *b : box->buttons()) {
            buttons << b->text();
            if (box->standardButton(b) == QMessageBox::No)
                no = b;
        }
        if (no)
            no->click();
        box->done(QMessageBox::No); // never leave the test waiting
    });
    poll.start(10);
    const bool yes = AskYesNo(QStringLiteral("CAD図面データ「A」(N:1)を削除します。よろしいですか？"));
    QVERIFY(seen && !yes);
    buttons.sort();
    QCOMPARE(buttons, QStringList({QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));
}

void TestFirstUse::refusedInputExplained()
{
    Program program;
    QVERIFY(program.p.connected);
    Main()->DoCadNew();
    TForm10 *form = newestChild<TForm10>();
    QVERIFY(form);
    QLineEdit *name = form->Edit[2];
    name->setText(QStringLiteral("旧名称"));
    name->selectAll();

    // Too long for the column: the paste is refused whole, not cut short, and said so.
    QApplication::clipboard()->setText(QString(81, u'a'));
    name->paste();
    QCOMPARE(name->text(), QStringLiteral("旧名称"));
    QCOMPARE(QToolTip::text(), QStringLiteral("入力出来るのは半角80文字（全角40文字）までです。"));
    QApplication::clipboard()->setText(QString(41, u'図'));
    name->paste();
    QCOMPARE(name->text(), QStringLiteral("旧名称"));

    // A character the database's code page cannot hold.
    QToolTip::hideText();
    QApplication::clipboard()->setText(QStringLiteral("配管😀図"));
    name->paste();
    QCOMPARE(name->text(), QStringLiteral("旧名称"));
    QCOMPARE(QToolTip::text(), QStringLiteral("「😀」は使用出来ない文字です。"));

    // What fits goes in unchanged; a ninth digit typed into a date is refused with a word.
    QApplication::clipboard()->setText(QString(40, u'図'));
    name->paste();
    QCOMPARE(name->text(), QString(40, u'図'));
    QLineEdit *date = form->Edit[11];
    QToolTip::hideText();
    QTest::keyClicks(date, "202401019");
    QCOMPARE(date->text(), QString("20240101"));
    QCOMPARE(QToolTip::text(), QStringLiteral("入力出来るのは半角8文字（全角4文字）までです。"));
    QVERIFY(program.messages.texts.isEmpty());
}

void TestFirstUse::childMnemonicsFirst()
{
    Program program;
    QVERIFY(program.p.connected);
    QVERIFY(CreateCadListTable(Db()));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME, PAPX, PAPY", "3, 'ABC', 420, 297"));
    Main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Main(), 5000));

    // With nothing open Alt+C is the main menu's.
    QTest::keyClick(Main(), Qt::Key_C, Qt::AltModifier);
    QAction *opened = Main()->menuBar()->activeAction();
    QVERIFY(opened);
    QCOMPARE(opened->text(), QStringLiteral("チャット(&C)"));
    opened->menu()->close();
    Main()->menuBar()->setActiveAction(nullptr);

    // In the list it presses CAD(&C): the drawing opens, the chat menu stays shut.
    Main()->DoCadList();
    TForm12 *list = newestChild<TForm12>();
    QVERIFY(list);
    list->SG1->SetCurrentRow(1);
    list->SG1->setFocus();
    QTest::keyClick(list->SG1, Qt::Key_C, Qt::AltModifier);
    TForm13 *editor = newestChild<TForm13>();
    QVERIFY(editor);
    QCOMPARE(editor->DrawingNo, 3);
    QVERIFY(!Main()->menuBar()->activeAction());

    // In the editor a letter both menus use opens the editor's own menu.
    QVERIFY(Main()->mdiArea()->activeSubWindow() == editor->parentWidget());
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Z, Qt::AltModifier);
    const QMenuBar *own = editor->findChild<QMenuBar *>();
    QVERIFY(own && own->activeAction());
    QCOMPARE(own->activeAction()->text(), QStringLiteral("CAD図面(&Z)"));
    QVERIFY(!Main()->menuBar()->activeAction());
    own->activeAction()->menu()->close();
    QVERIFY(program.messages.texts.isEmpty());
}

void TestFirstUse::programIcon()
{
    const QImage icon = QApplication::windowIcon().pixmap(32, 32).toImage();
    QVERIFY(!icon.isNull());
    QVERIFY(qAlpha(icon.pixel(16, 16)) > 0);
    QVERIFY(qAlpha(icon.pixel(0, 0)) < 255); // rounded corners

    // The install puts the program, its desktop entry and the icon in place.
    QTemporaryDir prefix;
    QProcess install;
    install.start(QStringLiteral("cmake"), {"--install", HAROKAN_BUILD_DIR, "--prefix",
                                            prefix.path()});
    QVERIFY(install.waitForFinished(60000));
    QCOMPARE(install.exitCode(), 0);
    QVERIFY(QFile::exists(prefix.filePath("bin/harokan")));
    QVERIFY(QFile::exists(prefix.filePath("share/icons/hicolor/scalable/apps/harokan.svg")));
    QFile entry(prefix.filePath("share/applications/harokan.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    QVERIFY(text.contains("\nExec=harokan\n") && text.contains("\nIcon=harokan\n"));
}

void TestFirstUse::endedBySignal()
{
    // The real program, beside its own settings file naming a database it opens embedded.
    QTemporaryDir place;
    TestDb t;
    const QString program = place.filePath("harokan");
    QVERIFY(QFile::copy(HAROKAN_BINARY, program));
    {
        Database create;
        QVERIFY(t.open(create));
        create.DisconnectDatabase();
    }

    const QString dat = place.filePath("harokan.dat");
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        QFile f(dat);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\r\n" + ToCp932(t.folder()).value_or(QByteArray()) + "\r\nTEST.FDB\r\n");
        f.close();
        QProcess run;
        const auto stop = killedAtEnd(run);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        run.setProcessEnvironment(env);
        run.start(program, {});
        QVERIFY(run.waitForStarted(10000));
        // Connected once the database file is open in the program.
        const QString fds = QStringLiteral("/proc/%1/fd").arg(run.processId());
        auto connected = [&] {
            for (const QFileInfo &fd : QDir(fds).entryInfoList(QDir::Files | QDir::System)) {
                if (fd.symLinkTarget() == t.embeddedPath())
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(connected(), 30000);
        QVERIFY(::kill(pid_t(run.processId()), number) == 0);
        QVERIFY2(run.waitForFinished(15000), qPrintable(QString::number(number)));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        const QStringList lines = fileLines(dat);
        QCOMPARE(lines.size(), SettingsLineCount + 1);
        QCOMPARE(lines[1], t.folder());
    }
}

void TestFirstUse::packageInstalls()
{
    if (QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        QSKIP("dpkg-dev is not installed");
    QTemporaryDir work;
    auto run = [](const QString &program, const QStringList &args, int ms = 60000) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        const bool done = p.waitForFinished(ms);
        if (!done) {
            p.kill();
            p.waitForFinished(5000);
        }
        const QByteArray out = p.readAll();
        return std::make_pair(done && p.exitStatus() == QProcess::NormalExit
                                  && p.exitCode() == 0, out);
    };
    const auto [packed, log] = run("cpack", {"--config", HAROKAN_BUILD_DIR "/CPackConfig.cmake",
                                             "-G", "DEB", "-B", work.path()}, 170000);
    QVERIFY2(packed, log.constData());
    const QStringList debs = QDir(work.path()).entryList({"harokan_*.deb"}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = work.filePath(debs[0]);

    // Dependencies from the libraries, and what they cannot tell.
    const auto [asked, depends] = run("dpkg-deb", {"-f", deb, "Depends"});
    QVERIFY(asked);
    for (const char *needed : {"libqt6widgets6", "libfbclient2", "fonts-ipafont-gothic",
                               "qt6-translations-l10n"})
        QVERIFY2(depends.contains(needed), depends.constData());

    const QString root = work.filePath("root");
    QVERIFY(run("dpkg", {"-x", deb, root}).first);
    for (const char *file : {"usr/bin/harokan", "usr/share/doc/harokan/README.md",
                             "usr/share/doc/harokan/LICENSE",
                             "usr/share/icons/hicolor/scalable/apps/harokan.svg"})
        QVERIFY2(QFile::exists(root + "/" + file), file);
    QFile entry(root + "/usr/share/applications/harokan.desktop");
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().contains("\nName[ja]="));

    // Installed, its folder not writable: it starts from the site-wide default and keeps
    // its settings in the user's folder.
    const QString bin = root + "/usr/bin";
    QVERIFY(QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                           | QFileDevice::ReadOther | QFileDevice::ExeOther));
    const auto writable = qScopeGuard([&bin] {
        QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                       | QFileDevice::ExeOwner);
    });
    const QString home = work.filePath("home");
    const QString site = work.filePath("xdg/harokan/harokan.dat");
    QVERIFY(QDir().mkpath(QFileInfo(site).path()) && QDir().mkpath(home));
    QFile defaults(site);
    QVERIFY(defaults.open(QIODevice::WriteOnly));
    defaults.write("localhost:\r\n\r\nSITE.FDB\r\n");
    defaults.close();

    QProcess program;
    const auto stop = killedAtEnd(program);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home);
    env.remove("XDG_CONFIG_HOME");
    env.insert("XDG_CONFIG_DIRS", work.filePath("xdg"));
    program.setProcessEnvironment(env);
    program.start(bin + "/harokan", {});
    QVERIFY(program.waitForStarted(10000));
    QTest::qWait(1500);
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(::kill(pid_t(program.processId()), SIGTERM) == 0);
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitCode(), 0);
    const QStringList lines = fileLines(home + "/.config/harokan/harokan.dat");
    QCOMPARE(lines.size(), SettingsLineCount + 1);
    QCOMPARE(lines[2], QString("SITE.FDB"));
    QVERIFY(lines[7].toInt() > 0); // the main window's width: it was there
    QVERIFY(!QFile::exists(bin + "/harokan.dat"));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();
    TestFirstUse test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_firstuse.moc"

#include "support/testdb.h"

#include "base/globals.h"
#include "base/grid.h"
#include "base/messages.h"
#include "db/database.h"
#include "db/textcodec.h"
#include "editor/output/drawingoutput.h"

#include <deque>

#include <QDeadlineTimer>
#include <QDir>
#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

namespace {

constexpr QFileDevice::Permissions Everyone =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
    | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;

// Creating a database costs far more than copying one, so each test program creates one.
QString templateFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.path() + QStringLiteral("/TEMPLATE.FDB");
        Database db;
        db.CreateDatabase(file);
        const bool created = db.DatabaseConnected();
        db.DisconnectDatabase();
        return created ? file : QString();
    }();
    return path;
}

} // namespace

TestDb::TestDb()
{
    // The server runs as its own user and must be able to create files here.
    QFile::setPermissions(dir.path(), Everyone | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                          | QFileDevice::ExeOther);
}

QString TestDb::folder() const
{
    return dir.path() + u'/';
}

QString TestDb::embeddedPath() const
{
    return folder() + QStringLiteral("TEST.FDB");
}

QString TestDb::serverPath() const
{
    return QStringLiteral("localhost:") + embeddedPath();
}

bool TestDb::open(Database &db, bool throughServer) const
{
    const QString source = templateFile();
    if (source.isEmpty() || !QFile::copy(source, embeddedPath())
        || !QFile::setPermissions(embeddedPath(), Everyone))
        return false;
    db.ConnectDatabase(throughServer ? serverPath() : embeddedPath());
    return db.DatabaseConnected();
}

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray &l : f.readAll().split('\n'))
        lines << FromCp932(l).remove(u'\r');
    return lines;
}

bool exec(Database &db, const QString &sql)
{
    const bool ok = db.ExecSqlLines({sql});
    if (!ok)
        qWarning() << sql << db.LastError();
    return ok;
}

bool finished(DrawingOutput *output)
{
    return QTest::qWaitFor([output] { return !output->Busy(); }, 30000);
}

QString QueryValue(Database &db, const QString &columns, const QString &table,
                   const QString &where)
{
    QStringList values;
    if (db.SqlSelectRow(columns, table, where, values) < 1)
        return QStringLiteral("<no row>");
    return values.value(0);
}

bool storeLine(Database &db, int drawing, int n, int layer, double x1, double y1, double x2,
               double y2)
{
    const QString s = QString::number(drawing);
    const QString v = QStringLiteral("%1, %2, %3, %4").arg(x1).arg(y1).arg(x2).arg(y2);
    return db.StartTransaction()
           && db.SqlUpdateNoCommit("VAR_" + s, QStringLiteral("OPN=%1").arg(n), "N=1")
           && db.SqlInsertNoCommit("HISTORY_" + s, "N,OPN,MD,EN",
                                   QStringLiteral("%1,%1,0,%1").arg(n))
           && db.SqlInsertNoCommit("ENTITY_" + s, "N,MN,DS,DT,DN",
                                   QStringLiteral("%1,1,1,1,%1").arg(n))
           && db.SqlInsertNoCommit("ENT_LINE_" + s, "N,LAY,COL,LTP,WID,X1,Y1,X2,Y2",
                                   QStringLiteral("%1,%2,0,0,0,").arg(n).arg(layer) + v)
           && db.CommitTransaction();
}

bool WaitForBusyWriters(Database &watcher, int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const QString busy = QueryValue(
            watcher, QStringLiteral("COUNT(*)"), QStringLiteral("MON$TRANSACTIONS"),
            QStringLiteral("MON$STATE=1 AND MON$READ_ONLY=0 "
                           "AND MON$ATTACHMENT_ID<>CURRENT_CONNECTION"));
        if (busy.toInt() >= count)
            return true;
        QThread::msleep(20);
    }
    return false;
}

namespace {

QPointer<TForm1> &currentMain()
{
    static QPointer<TForm1> main;
    return main;
}

} // namespace

TForm1 *Main()
{
    return currentMain();
}

Database &Db()
{
    return currentMain()->db();
}

void AdoptMain(TForm1 *main)
{
    currentMain() = main;
}

TForm1 *OpenProgramWindows()
{
    TForm1 *main = CreateProgramWindows();
    AdoptMain(main);
    return main;
}

void CloseProgramWindows()
{
    delete currentMain();
    currentMain() = nullptr;
}

void RecordingOpener::OpenDrawing(int drawingNo, const QString &name, double paperWidth,
                                  double paperHeight)
{
    asked << QStringLiteral("drawing %1 %2 %3x%4")
                 .arg(drawingNo)
                 .arg(name)
                 .arg(paperWidth)
                 .arg(paperHeight);
}

void RecordingOpener::OpenRecordForm(RecordMode mode, int drawingNo)
{
    asked << (mode == RecordMode::New ? QStringLiteral("record new %1")
                                      : QStringLiteral("record edit %1"))
                 .arg(drawingNo);
}

void RecordingOpener::OpenRevisions(int drawingNo)
{
    asked << QStringLiteral("revisions %1").arg(drawingNo);
}

bool RecordingOpener::ChooseLayer(int drawingNo, int &layer)
{
    asked << QStringLiteral("layers %1 %2").arg(drawingNo).arg(layer);
    return false;
}

bool RecordingOpener::ChooseColour(int drawingNo, int &colour)
{
    asked << QStringLiteral("colours %1 %2").arg(drawingNo).arg(colour);
    return false;
}

bool RecordingOpener::ChooseLineType(int drawingNo, int &lineType)
{
    asked << QStringLiteral("line types %1 %2").arg(drawingNo).arg(lineType);
    return false;
}

bool RecordingOpener::ChooseLineWidth(int &width)
{
    asked << QStringLiteral("width %1").arg(width);
    return false;
}

bool RecordingOpener::ChooseGrid(double &grid)
{
    asked << QStringLiteral("grid %1").arg(grid);
    return false;
}

AppContext &ProgramContextOn(Database &db)
{
    static BoxMessages messages;
    static RecordingOpener recorded;
    static std::deque<AppContext> made;
    WindowOpener &opener = Main() ? Main()->Context().opener : recorded;
    made.push_back(AppContext{db, Config(), messages, opener});
    return made.back();
}

TestContext::TestContext()
{
    connected = files.open(db);
}

ProgramFixture::ProgramFixture(bool throughServer)
{
    Globals() = ProgramValues();
    OpenProgramWindows();
    Main()->SettingsFile = files.filePath(QStringLiteral("harokan.dat"));
    Settings &s = Config();
    s.ServerName = throughServer ? QStringLiteral("localhost:") : QString();
    s.DataFolder = db.folder();
    s.DbFileName = QStringLiteral("TEST.FDB");
    // A main window of a size users work in; child windows are kept inside its area.
    s.windowGeometry[2] = 800;
    s.windowGeometry[3] = 600;
    // A failure must fail the test, not wait for someone to close a message box.
    MessageRecorder settingUp;
    connected = db.open(Db(), throughServer);
    // Shown as at start: the settings file names the database, child windows can open.
    SaveSettingsFile(Main()->SettingsFile, s);
    Main()->show();
}

ProgramFixture::~ProgramFixture()
{
    CloseProgramWindows();
}

QByteArray RunProgram(const QString &program, const QStringList &args, bool *ok)
{
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForStarted(10000) && p.waitForFinished(60000);
    if (!done)
        p.kill();
    if (ok)
        *ok = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!done || p.exitCode() != 0)
        qWarning() << program << args << p.readAllStandardError();
    return p.readAllStandardOutput();
}

void click(QPushButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

void clickRow(StringGrid *grid, int row, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex cell = grid->model()->index(row - 1, 0);
    if (!cell.isValid()) {
        QFAIL(qPrintable(QStringLiteral("no grid row %1").arg(row)));
        return;
    }
    grid->scrollTo(cell);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers,
                      grid->visualRect(cell).center());
}

QStringList gridRows(const StringGrid *grid)
{
    QStringList rows;
    for (int r = 1; r < grid->RowCount(); ++r)
        rows << grid->RowCells(r).join(u'|');
    return rows;
}

void whenShown(QDialog *dialog, std::function<void()> action)
{
    auto *poll = new QTimer(dialog);
    QObject::connect(poll, &QTimer::timeout, dialog, [=] {
        if (!dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action();
        // Kept from a dialog the action closed, so that exec() returns what the action chose.
        if (dialog->isVisible())
            dialog->reject();
    });
    poll->start(10);
}

double ServerCpuSeconds()
{
    double total = -1;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (!comm.open(QIODevice::ReadOnly) || !comm.readAll().trimmed().startsWith("firebird"))
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (f.size() < 13)
            continue;
        total = std::max(total, 0.0)
                + (f[11].toDouble() + f[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    }
    return total;
}

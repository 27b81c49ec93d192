#include "app/commandline.h"

#include "base/globals.h"
#include "base/settings.h"
#include "db/database.h"
#include "db/registerrows.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "editor/output/dxfexport.h"
#include "editor/output/dxfstore.h"
#include "editor/output/paperdrawing.h"
#include "editor/output/pdffile.h"
#include "editor/titleblock.h"
#include "register/drawingset.h"

#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

const char *const Usage =
    "使い方:\n"
    "  harokan                                 画面を開いて起動します\n"
    "  harokan --import-dxf 図面番号 ファイル...  DXFファイルを図面に読み込みます"
    "（ファイルごとに一つの操作）\n"
    "  harokan --export-dxf 図面番号 ファイル [--r12]\n"
    "                                          図面をDXFファイル（R2000、--r12 で R12）に\n"
    "                                          書き出します\n"
    "  harokan --export-pdf 図面番号 ファイル     図面をPDFファイルに書き出します\n"
    "  harokan --help                          この説明を表示します\n"
    "データベースは設定ファイルのものを使います。\n";

void say(FILE *to, const QString &text)
{
    std::fputs(text.toUtf8().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

int fail(const QString &text)
{
    say(stderr, text);
    return 1;
}

// A drawing of the database opened for the command line: its register row, its tables made
// when missing, and every entity in memory.
struct OpenDrawing
{
    Database db;
    int number = 0;
    DrawingRow row;
    std::unique_ptr<DrawingModel> model;
};

QString openDrawing(const QString &numberText, OpenDrawing &out)
{
    bool isNumber = false;
    out.number = numberText.toInt(&isNumber);
    if (!isNumber || out.number <= 0)
        return QStringLiteral("図面番号が正しくありません：%1").arg(numberText);
    const Settings &s = Config();
    if (!s.DataFolder.isEmpty())
        out.db.ConnectDatabase(s.ServerName + s.DataFolder + s.DbFileName);
    if (!out.db.DatabaseConnected())
        return QStringLiteral("データベース接続が出来ません。設定を確認して下さい。");
    const std::optional<DrawingRow> row = ReadDrawingRow(out.db, out.number);
    if (!row)
        return QStringLiteral("図面番号 %1 の図面は登録されていません").arg(out.number);
    out.row = *row;
    if (!EnsureDrawingTables(out.db, out.number))
        return QStringLiteral("CAD図面データが作成出来ませんでした");
    out.model = std::make_unique<DrawingModel>(out.number);
    constexpr int Step = 100000;
    bool ok = BeginLoad(out.db, *out.model);
    for (int read = Step; ok && read == Step;) {
        read = ContinueLoad(out.db, *out.model, Step);
        ok = read >= 0;
    }
    if (!ok)
        return QStringLiteral("図面 %1 を読み込めませんでした").arg(out.number);
    return QString();
}

int importDxf(const QStringList &args)
{
    if (args.size() < 3)
        return fail(QString::fromUtf8(Usage));
    OpenDrawing d;
    const QString error = openDrawing(args[1], d);
    if (!error.isEmpty())
        return fail(error);
    int rc = 0;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString &file = args[i];
        const DxfImportResult import = ImportDxfFile(file, DxfTargetOf(*d.model, 0));
        StoredOperation stored;
        QString message;
        if (StoreDxfImport(d.db, d.number, import, Config().PcUserNo, HintsOf(*d.model), stored,
                           message)) {
            say(stdout, file + QStringLiteral(": ") + message);
            // The next file matches its names against what this one made.
            if (UpdateModel(d.db, *d.model) == Refresh::Failed)
                return fail(QStringLiteral("図面 %1 を読み込めませんでした").arg(d.number));
        } else {
            say(stderr, file + QStringLiteral(": ") + message);
            rc = 1;
        }
    }
    return rc;
}

// The drawing as its sheet goes out, then the frame; an exchange file takes every layer.
PaperDrawing paperOf(OpenDrawing &d, bool everyLayer)
{
    const double w = d.row.PAPX.value_or(0), h = d.row.PAPY.value_or(0);
    const QString name = d.row.ZNAME.isEmpty() ? QStringLiteral("図面%1").arg(d.number) : d.row.ZNAME;
    PaperDrawing paper = TakePaperDrawing(*d.model, name, w, h, everyLayer);
    FrameChoice choice;
    ReadFrameChoice(d.db, d.number, choice);
    const std::optional<TitleRecord> record = ReadTitleRecord(d.db, d.number);
    const TitleFields fields = record ? TitleFieldsOf(*record, QString(), QString()) : TitleFields();
    const LayerRow *layer = d.model->Layer(0);
    AddSheetFrame(paper, DrawingFrame(fields, choice, layer ? layer->scale : 1.0, w, h,
                                      Config().TeamName, Config().FilingMargin));
    return paper;
}

int exportPdf(const QStringList &args)
{
    if (args.size() != 3)
        return fail(QString::fromUtf8(Usage));
    OpenDrawing d;
    const QString error = openDrawing(args[1], d);
    if (!error.isEmpty())
        return fail(error);
    if (!WritePdfFile(paperOf(d, false), args[2]))
        return fail(QStringLiteral("PDFファイルを保存出来ませんでした：") + args[2]);
    say(stdout, QStringLiteral("PDFを保存しました：") + args[2]);
    return 0;
}

int exportDxf(const QStringList &args)
{
    const bool r12 = args.contains(QLatin1String("--r12"));
    if (args.size() != (r12 ? 4 : 3) || (r12 && args.last() != QLatin1String("--r12")))
        return fail(QString::fromUtf8(Usage));
    OpenDrawing d;
    const QString error = openDrawing(args[1], d);
    if (!error.isEmpty())
        return fail(error);
    QString message;
    if (!WriteDxfFile(paperOf(d, true), args[2], r12 ? DxfVersion::R12 : DxfVersion::R2000,
                      message))
        return fail(message.isEmpty() ? DxfWriteFailure(args[2]) : message);
    say(stdout, QStringLiteral("DXFを保存しました：") + args[2]);
    return 0;
}

} // namespace

bool WantsCommandLine(const QStringList &args)
{
    return !args.isEmpty() && args[0].startsWith(u'-');
}

int RunCommandLine(const QStringList &args, const Settings &settings)
{
    Config() = settings;
    const QString what = args.value(0);
    if (what == QLatin1String("--help") || what == QLatin1String("-h")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (what == QLatin1String("--import-dxf"))
        return importDxf(args);
    if (what == QLatin1String("--export-dxf"))
        return exportDxf(args);
    if (what == QLatin1String("--export-pdf"))
        return exportPdf(args);
    say(stderr, QStringLiteral("知らないオプションです：%1").arg(what));
    std::fputs(Usage, stderr);
    return 2;
}

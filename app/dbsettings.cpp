#include "app/dbsettings.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/appcontext.h"
#include "db/database.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QString NormalizeDbFileName(const QString &typed)
{
    QString name = typed.toUpper();
    const qsizetype folderEnd = std::max({name.lastIndexOf(u'\\'), name.lastIndexOf(u'/'),
                                          name.lastIndexOf(u':')});
    if (name.indexOf(u'.', folderEnd + 1) < 0)
        name += QStringLiteral(".FDB");
    return name;
}

TForm2::TForm2(AppContext &context, QWidget *parent) : QDialog(parent), context(context)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("データベース設定"));
    SetFixedDialog(this, 251, 200);

    auto edit = [this](const char *name, const QString &hint, int y) {
        QLineEdit *e = AddEdit(this, name, 24, y, 209);
        e->setToolTip(hint);
        return e;
    };
    Label1 = AddLabel(this, "Label1", QStringLiteral("サーバー名（IPアドレス＋':'"), 8, 8);
    Label5 = AddLabel(this, "Label5", QStringLiteral("　又は、'localhost:'）"), 72, 24);
    Edit1 = edit("Edit1",
                 QStringLiteral("1台で運用する場合は「localhost:」、サーバーの場合はそのIPアドレス"
                                "＋':'（例：「192.168.0.0:」等）を入力して下さい。"),
                 44);
    Label2 = AddLabel(this, "Label2", QStringLiteral("サーバーのデータのフォルダ"), 8, 70);
    Edit2 = edit("Edit2",
                 QStringLiteral("データベースファイルを作成するサーバー上のフォルダ名を入力して下さい。"
                                "最後は必ず「\\」で終わって下さい。例：「C:\\data\\」"),
                 88);
    Label3 = AddLabel(this, "Label3", QStringLiteral("データベース名"), 8, 120);
    Edit3 = edit("Edit3",
                 QStringLiteral("データベース名（ファイル名）を入力して下さい。拡張子は「.FDB」と"
                                "なります。フォルダ名は入力しないで下さい。"),
                 136);
    Button1 = AddButton(this, "Button1", QStringLiteral("OK(&Y)"), 8, 168, 113, 25);
    Button1->setDefault(true);
    Button2 = AddButton(this, "Button2", QStringLiteral("キャンセル(&N)"), 128, 168, 113, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

void TForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    const Settings &s = context.settings;
    Edit1->setText(s.ServerName);
    Edit2->setText(s.DataFolder);
    Edit3->setText(s.DbFileName);
    Edit1->setFocus();
}

void TForm2::Button1Click()
{
    if (Edit2->text().trimmed().isEmpty()) {
        context.messages.Show(QStringLiteral("サーバーのデータのフォルダを入力して下さい"));
        Edit2->setFocus();
        return;
    }
    if (Edit3->text().trimmed().isEmpty()) {
        context.messages.Show(QStringLiteral("データベース名を入力して下さい"));
        Edit3->setFocus();
        return;
    }
    Settings &s = context.settings;
    s.ServerName = Edit1->text();
    s.DataFolder = Edit2->text();
    s.DbFileName = NormalizeDbFileName(Edit3->text());
    Database &db = context.db;
    db.CreateDatabase(DatabasePath(s));
    db.ConnectDatabase(DatabasePath(s));
    if (!db.DatabaseConnected()) {
        db.DisconnectDatabase();
        context.messages.Show(QStringLiteral("データベースが作成・接続出来ません。設定を確認して下さい。"));
        Edit1->setFocus();
        return;
    }
    db.DisconnectDatabase();
    accept();
}

void TForm2::Button2Click()
{
    reject();
}

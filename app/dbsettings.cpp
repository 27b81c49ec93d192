#include "app/dbsettings.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm2 *Form2 = nullptr;

QString NormalizeDbFileName(const QString &typed)
{
    QString name = typed.toUpper();
    const qsizetype folderEnd = std::max({name.lastIndexOf(u'\\'), name.lastIndexOf(u'/'),
                                          name.lastIndexOf(u':')});
    if (name.indexOf(u'.', folderEnd + 1) < 0)
        name += QStringLiteral(".FDB");
    return name;
}

TForm2::TForm2(QWidget *parent) : QDialog(parent)
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
    const Settings &s = Config();
    Edit1->setText(s.ServerName);
    Edit2->setText(s.DataFolder);
    Edit3->setText(s.DbFileName);
    Edit1->setFocus();
}

void TForm2::Button1Click()
{
    if (Edit2->text().trimmed().isEmpty()) {
        ShowMessage(QStringLiteral("サーバーのデータのフォルダを入力して下さい"));
        Edit2->setFocus();
        return;
    }
    if (Edit3->text().trimmed().isEmpty()) {
        ShowMessage(QStringLiteral("データベース名を入力して下さい"));
        Edit3->setFocus();
        return;
    }
    Settings &s = Config();
    s.ServerName = Edit1->text();
    s.DataFolder = Edit2->text();
    s.DbFileName = NormalizeDbFileName(Edit3->text());
    Form1->CreateDatabase(Form1->DatabasePath());
    Form1->ConnectDatabase(Form1->DatabasePath());
    if (!Form1->DatabaseConnected()) {
        Form1->DisconnectDatabase();
        ShowMessage(QStringLiteral("データベースが作成・接続出来ません。設定を確認して下さい。"));
        Edit1->setFocus();
        return;
    }
    Form1->DisconnectDatabase();
    accept();
}

void TForm2::Button2Click()
{
    reject();
}

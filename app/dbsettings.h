// The database settings dialog: server, data folder and file name; creates the database
// when it is missing and proves that it can be opened.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
struct AppContext;

class TForm2 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm2(AppContext &context, QWidget *parent = nullptr);

    QLabel *Label1, *Label5, *Label2, *Label3;
    QLineEdit *Edit1, *Edit2, *Edit3;
    QPushButton *Button1, *Button2;

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    AppContext &context;
};

// "cad" becomes "CAD.FDB", "Work.gdb" "WORK.GDB".
QString NormalizeDbFileName(const QString &typed);

#include "app/dbsettings.h"
#include "app/mainwindow.h"
#include "app/ui.h"
#include "collab/chatlog.h"
#include "master/members.h"
#include "master/pcuser.h"
#include "master/sections.h"
#include "register/revisions.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();

    Form1 = new TForm1;
    Form2 = new TForm2(Form1);
    Form3 = new TForm3(Form1);
    Form7 = new TForm7(Form1);
    Form5 = new TForm5(Form1);
    Form4 = new TForm4(Form1);
    Form11 = new TForm11(Form1);
    Form1->SetPlacedDialogs({Form2, Form3, Form4, Form5, Form7, Form11});
    Form1->show();
    const int rc = app.exec();
    delete Form1;
    return rc;
}

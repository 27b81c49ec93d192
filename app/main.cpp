#include "app/dbsettings.h"
#include "app/mainwindow.h"
#include "app/ui.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();

    Form1 = new TForm1;
    Form2 = new TForm2(Form1);
    Form1->SetPlacedDialogs({Form2});
    Form1->show();
    const int rc = app.exec();
    delete Form1;
    return rc;
}

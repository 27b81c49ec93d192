#include "app/mainwindow.h"
#include "app/ui.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();

    CreateProgramWindows();
    Form1->show();
    const int rc = app.exec();
    DeleteProgramWindows();
    return rc;
}

#include "app/mainwindow.h"
#include "app/shutdown.h"
#include "app/ui.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    HoldEndSignals();
    QApplication app(argc, argv);
    SetUpApplication();

    CreateProgramWindows();
    CloseOnEndSignals([] {
        if (Form1)
            Form1->EndFromOutside();
    });
    Form1->show();
    const int rc = app.exec();
    DeleteProgramWindows();
    return rc;
}

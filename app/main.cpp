#include "app/commandline.h"
#include "app/mainwindow.h"
#include "base/settings.h"
#include "app/shutdown.h"
#include "base/ui.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (WantsCommandLine(args)) {
        // No window opens, so no display is needed.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        SetUpApplication();
        return RunCommandLine(args, LoadSettingsFile(SettingsSource(DefaultSettingsPlace())));
    }
    HoldEndSignals();
    QApplication app(argc, argv);
    SetUpApplication();

    TForm1 *main = CreateProgramWindows();
    CloseOnEndSignals([main] { main->EndFromOutside(); });
    main->show();
    const int rc = app.exec();
    delete main;
    return rc;
}

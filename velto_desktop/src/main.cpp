#include <QDebug>
#include <QTranslator>

#include "Tools/commonhelper.h"
#include "Tools/updatecheck.h"
#include "cglobalinstance.h"
#include "mainwindow.h"
#include "singleapplication.h"

int main(int argc, char* argv[])
{
    qInstallMessageHandler(myMessageOutput);
    // The log folder is named after the application: name it before the
    // first line, so that line lands beside all the others.
    QCoreApplication::setApplicationName("velto_desktop");
    qDebug() << "===============Main===============";

    SingleApplication app(argc, argv, "velto_desktop_system");
    if (app.isRunning()) {
        app.sendMessage("message from other instance.");
        return 0;
    }
    // The first window waits for the update manifest: ask for it before
    // anything else, so that the answer travels while the windows are built.
    UpdateCheck::sendAtStartup();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    CommonHelper::setStyle(":/qss/style_mac.qss");
    CGlobalInstance::getDefaultPreferences();
    CGlobalInstance::getVeltoInterface();

    QTranslator translator;
    if (translator.load(CGlobalInstance::eLanguage == eENGLISH ? ":/i18n/en" : ":/i18n/cn")) {
        qDebug() << "load language success";
        app.installTranslator(&translator);
    } else {
        qDebug() << "load language failed";
    }

    MainWindow window;
    QObject::connect(&app, &SingleApplication::messageAvailable, &window, &MainWindow::slotReceiveMessage);
    QObject::connect(&app, &SingleApplication::sigQuit, &window, &MainWindow::slotQuit);
    CGlobalInstance::setMainWindow(&window);
    window.restorePosition();
    window.hide();
    return app.exec();
}

// The parts of the global state that create or drive the SDK callback bridge and
// the main window; built together with those two classes.
#include "cglobalinstance.h"

#include "cveltocallback.h"
#include "mainwindow.h"

VeltoInterface* CGlobalInstance::getVeltoInterface()
{
    if (veltoSdk)
        return veltoSdk;
    // The library's factory makes a new SDK object on every call: this is its only caller.
    veltoSdk = ::getVeltoInterface();
    if (veltoSdk && !veltoCallback) {
        veltoCallback = new CVeltoCallback();
        veltoSdk->setCallback(veltoCallback);
    }
    return veltoSdk;
}

void CGlobalInstance::setMainWindow(MainWindow* window)
{
    mainWindow = window;
    if (veltoCallback)
        veltoCallback->setMainDlg(window);
}

void CGlobalInstance::showOrHideMainWindow(bool show)
{
    if (mainWindow)
        mainWindow->setVisible(show);
}

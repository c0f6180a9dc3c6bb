// A program built on the single-instance application object, for the start-up
// tests: "instance_probe KEY" either becomes the first instance (prints
// "first", then one "message:TEXT" line per message and "quit" on a quit
// request) or, when one runs, sends it a text (prints "sent:1" or "sent:0").
#include <QTextStream>

#include <cstdio>

#include "singleapplication.h"

int main(int argc, char* argv[])
{
    if (argc < 2)
        return 2;
    SingleApplication app(argc, argv, QString::fromLocal8Bit(argv[1]));
    QTextStream out(stdout);
    if (app.isRunning()) {
        out << "sent:" << (app.sendMessage("message from other instance.") ? 1 : 0) << Qt::endl;
        return 0;
    }
    QObject::connect(&app, &SingleApplication::messageAvailable, [&](const QString& text) {
        out << "message:" << text << Qt::endl;
    });
    QObject::connect(&app, &SingleApplication::sigQuit, [&] {
        out << "quit" << Qt::endl;
        QCoreApplication::exit(0);
    });
    out << "first" << Qt::endl;
    return app.exec();
}

// The yardstick of the start-up benchmark: a bare Qt widgets window with one label.
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel("bare window"));
    window.resize(400, 300);
    window.show();
    return app.exec();
}

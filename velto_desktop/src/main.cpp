// Placeholder start-up: builds the application object and leaves at once.
#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return 0;
}

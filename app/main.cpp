#include <QApplication>
#include <clocale>

#include "app/mondrelmainwindow.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Lets the desktop match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.mondrel.Mondrel"));
    // Printed numbers and the numbers in curve and grid files always use '.'.
    std::setlocale(LC_NUMERIC, "C");
    MondrelMainWindow window(nullptr, nullptr, Qt::Window);
    // Mondrel does not start without its background image.
    if (!window.showStartupImage())
        return 1;
    window.show();
    return application.exec();
}

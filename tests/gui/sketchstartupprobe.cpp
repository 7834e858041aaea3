// Starts one sketch view in the working directory as Mondrel starts its window, and quits
// after its first frame, so a test can see how the program starts with and without its
// start-up image. With
// --working-directory-only it looks nowhere else for the image.
#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstring>

#include "fileio/datafiles.h"
#include "gui/glsketch.h"
#include "sketch/sketchsession.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--working-directory-only") == 0)
        setDataFolders({""});
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    SketchSession session;
    GLSketch view(session, nullptr, "sketchView");
    // Mondrel does not start without its background image.
    if (!view.showStartupImage())
        return 1;
    view.resize(200, 150);
    QObject::connect(&view, &QOpenGLWidget::frameSwapped, &app, &QCoreApplication::quit);
    // Never hang a test run: a view that shows nothing within 20 s is a failure of its own.
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(2); });
    view.show();
    return app.exec();
}

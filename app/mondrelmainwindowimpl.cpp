#include "app/mondrelmainwindowimpl.h"

MondrelMainWindowImpl::MondrelMainWindowImpl(QWidget* parent, const char* name, Qt::WindowFlags fl)
    : MondrelMainWindow(parent, name, fl) {
    setWindowTitle(QStringLiteral("Mondrel"));
}

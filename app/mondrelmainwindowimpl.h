#pragma once

#include "app/mondrelmainwindow.h"

// The hand-editable subclass of the main window form; Mondrel itself creates the form class
// directly.
class MondrelMainWindowImpl : public MondrelMainWindow {
    Q_OBJECT

public:
    explicit MondrelMainWindowImpl(QWidget* parent = nullptr, const char* name = nullptr,
                                   Qt::WindowFlags fl = Qt::Window);
};

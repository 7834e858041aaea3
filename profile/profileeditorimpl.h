#pragma once

#include "profile/profileeditor.h"

// The hand-editable subclass of the profile editor form; Mondrel itself creates the form
// class directly.
class profileEditorImpl : public profileEditor {
    Q_OBJECT

public:
    explicit profileEditorImpl(QWidget* parent = nullptr, const char* name = nullptr,
                               bool modal = false, Qt::WindowFlags fl = Qt::WindowFlags());
};

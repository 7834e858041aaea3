#include "profile/profileeditorimpl.h"

profileEditorImpl::profileEditorImpl(QWidget* parent, const char* name, bool modal,
                                     Qt::WindowFlags fl)
    : profileEditor(parent, name, modal, fl) {}

#pragma once

#include <QString>

// Everything the main window asks of the user: the result boxes, the file dialogs and whether
// to save unsaved changes.
// The window shows them through this seam, so that scripted answers can stand in for a user.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // An information box captioned "Mondrel" with text and a single OK button.
    virtual void inform(const QString& text) = 0;
    // A file dialog for an existing file, started at start; the chosen file's full name, or
    // an empty string when the user cancelled.
    virtual QString openFileName(const QString& caption, const QString& filter,
                                 const QString& start) = 0;
    // The same for a file that may not exist yet.
    virtual QString saveFileName(const QString& caption, const QString& filter,
                                 const QString& start) = 0;

    enum class UnsavedChoice { save, discard, cancel };
    // A box captioned "Mondrel" with text and the buttons Save, Discard and Cancel; closing the
    // box counts as Cancel.
    virtual UnsavedChoice askAboutUnsavedChanges(const QString& text) = 0;
};

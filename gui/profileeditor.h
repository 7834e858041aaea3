#pragma once

#include <QDialog>
#include <QMetaType>
#include <vector>

#include "libgm/gmvec2.h"

class GLSketchProfile;
class MondrelMainWindow;
class QGridLayout;
class QPushButton;

// The main window is only ever handed over and called back, never inspected through the
// meta-object system, so its pointer can stay opaque here.
Q_DECLARE_OPAQUE_POINTER(MondrelMainWindow*)

// The non-modal dialog in which one cross-section profile is redrawn. Every finished stroke in
// its view goes straight on to the main window, so the mountain follows the edit live; "&Ok"
// only closes the dialog, "&Cancel" first sends back the profile the dialog was opened with.
class profileEditor : public QDialog {
    Q_OBJECT

public:
    explicit profileEditor(QWidget* parent = nullptr, const char* name = nullptr,
                           bool modal = false, Qt::WindowFlags fl = Qt::WindowFlags());

    GLSketchProfile* gLSketchProfile1;
    QPushButton* confirmButton;
    QPushButton* cancelButton;

public slots:
    // The window that receives edited profiles through its updateProfile.
    virtual void setParentWidget(MondrelMainWindow* owner);
    // Shows profile in the view and makes it the profile "&Cancel" returns to.
    virtual void setProfile(std::vector<gmVector2> profile);
    virtual void profileChanged(std::vector<gmVector2> profile);
    virtual void cancelClicked();

public:
    // Whether the profile arriving at the window now is the one "&Cancel" sends back.
    bool isCancelling() const { return cancelling; }

signals:
    void cancel();
    void changeProfile(std::vector<gmVector2> profile);

protected:
    QGridLayout* profileEditorLayout;

protected slots:
    virtual void languageChange();

private:
    void init();

    MondrelMainWindow* ownerWindow = nullptr;
    bool cancelling = false;
};

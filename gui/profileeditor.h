#pragma once

#include <QDialog>
#include <QMetaType>
#include <vector>

#include "libgm/gmvec2.h"

class GLSketchProfile;
class QGridLayout;
class QPushButton;

// The non-modal dialog in which one cross-section profile is redrawn. Every finished stroke in
// its view is reported at once through profileEdited, so the mountain can follow the edit
// live; "&Ok" only closes the dialog, "&Cancel" first reports the profile the dialog was
// opened with.
class ProfileEditor : public QDialog {
    Q_OBJECT

public:
    explicit ProfileEditor(QWidget* parent = nullptr, const char* name = nullptr,
                           bool modal = false, Qt::WindowFlags fl = Qt::WindowFlags());

    GLSketchProfile* profileView;
    QPushButton* confirmButton;
    QPushButton* cancelButton;

    // Whether the profile being reported now is the one "&Cancel" sends back.
    bool isCancelling() const { return cancelling_; }

public slots:
    // Shows profile in the view and makes it the profile "&Cancel" returns to.
    void setProfile(std::vector<gmVector2> profile);
    void cancelClicked();

signals:
    // A stroke finished in the view, or "&Cancel" went back to the profile opened with.
    void profileEdited(std::vector<gmVector2> profile);

private:
    void setTexts();

    QGridLayout* layout_;
    bool cancelling_ = false;
};

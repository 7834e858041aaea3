#pragma once

#include <QDialog>
#include <QMetaType>
#include <vector>

#include "libgm/gmvec2.h"

class GLSketchProfile;
class QGridLayout;
class QKeyEvent;
class QLabel;
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

    // Names the profile being edited in the title: the global one (column -1) or a column's.
    // Editing the global profile with columns that have their own profiles, a line says that
    // keeping the edit replaces them.
    void setEditedProfile(int column, int ownColumnProfiles);
    // The line about replaced column profiles; hidden when there are none.
    const QLabel* replacementNote() const { return replacementNote_; }

public slots:
    // Shows profile in the view and makes it the profile "&Cancel" returns to.
    void setProfile(std::vector<gmVector2> profile);
    void cancelClicked();

signals:
    // A stroke finished in the view, or "&Cancel" went back to the profile opened with.
    void profileEdited(std::vector<gmVector2> profile);

protected:
    // Escape is "&Cancel": the edits go, as one undo step with the button's.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setTexts();

    QGridLayout* layout_;
    QLabel* replacementNote_;
    bool cancelling_ = false;
};

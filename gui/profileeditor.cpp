#include "gui/profileeditor.h"

#include <QGridLayout>
#include <QKeySequence>
#include <QPushButton>

#include "app/mondrelmainwindow.h"
#include "gui/glsketchprofile.h"
#include "printing/printedlines.h"

profileEditor::profileEditor(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl)
    : QDialog(parent, fl) {
    setObjectName(QString::fromLatin1(name ? name : "profileEditor"));
    setModal(modal);
    setSizeGripEnabled(false);

    profileEditorLayout = new QGridLayout(this);
    profileEditorLayout->setObjectName(QStringLiteral("profileEditorLayout"));
    profileEditorLayout->setContentsMargins(11, 11, 11, 11);
    profileEditorLayout->setSpacing(6);

    gLSketchProfile1 = new GLSketchProfile(this, "gLSketchProfile1");
    profileEditorLayout->addWidget(gLSketchProfile1, 0, 0, 1, 2);

    confirmButton = new QPushButton(this);
    confirmButton->setObjectName(QStringLiteral("confirmButton"));
    confirmButton->setDefault(true);
    profileEditorLayout->addWidget(confirmButton, 1, 0);

    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);
    profileEditorLayout->addWidget(cancelButton, 1, 1);

    languageChange();
    resize(QSize(503, 412).expandedTo(minimumSizeHint()));

    connect(confirmButton, &QPushButton::clicked, this, &QDialog::close);
    connect(this, &profileEditor::cancel, gLSketchProfile1, &GLSketchProfile::returnToInitial);
    connect(gLSketchProfile1, &GLSketchProfile::profileUpdated, this,
            &profileEditor::profileChanged);
    connect(this, &profileEditor::changeProfile, gLSketchProfile1,
            &GLSketchProfile::setInitialProfile);
    connect(cancelButton, &QPushButton::clicked, this, &profileEditor::cancelClicked);

    init();
}

void profileEditor::languageChange() {
    setWindowTitle(tr("Mondrel - Profile Editor"));
    confirmButton->setText(tr("&Ok"));
    confirmButton->setShortcut(QKeySequence(tr("Alt+O")));
    cancelButton->setText(tr("&Cancel"));
    cancelButton->setShortcut(QKeySequence(tr("Alt+C")));
}

void profileEditor::init() {
    printLine(isModal() ? "Modal\n" : "Not Modal\n");
}

void profileEditor::setParentWidget(MondrelMainWindow* owner) {
    ownerWindow = owner;
}

void profileEditor::setProfile(std::vector<gmVector2> profile) {
    emit changeProfile(profile);
}

void profileEditor::profileChanged(std::vector<gmVector2> profile) {
    // Without a window to report to an edit has nowhere to go; it stays in the view only.
    if (ownerWindow)
        ownerWindow->updateProfile(profile);
}

void profileEditor::cancelClicked() {
    cancelling = true;
    emit cancel();
    cancelling = false;
    close();
}

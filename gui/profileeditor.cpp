#include "gui/profileeditor.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>

#include "gui/glsketchprofile.h"
#include "printing/printedlines.h"

ProfileEditor::ProfileEditor(QWidget* parent, const char* name, bool modal, Qt::WindowFlags fl)
    : QDialog(parent, fl) {
    setObjectName(QString::fromLatin1(name ? name : "profileEditor"));
    setModal(modal);
    setSizeGripEnabled(false);

    layout_ = new QGridLayout(this);
    layout_->setObjectName(QStringLiteral("profileEditorLayout"));
    layout_->setContentsMargins(11, 11, 11, 11);
    layout_->setSpacing(6);

    profileView = new GLSketchProfile(this, "profileView");
    layout_->addWidget(profileView, 0, 0, 1, 2);

    replacementNote_ = new QLabel(this);
    replacementNote_->setObjectName(QStringLiteral("replacementNote"));
    replacementNote_->setWordWrap(true);
    replacementNote_->hide();
    layout_->addWidget(replacementNote_, 1, 0, 1, 2);

    confirmButton = new QPushButton(this);
    confirmButton->setObjectName(QStringLiteral("confirmButton"));
    confirmButton->setDefault(true);
    layout_->addWidget(confirmButton, 2, 0);

    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);
    layout_->addWidget(cancelButton, 2, 1);

    setTexts();
    resize(QSize(503, 412).expandedTo(minimumSizeHint()));

    connect(confirmButton, &QPushButton::clicked, this, &QDialog::close);
    connect(profileView, &GLSketchProfile::profileUpdated, this, &ProfileEditor::profileEdited);
    connect(cancelButton, &QPushButton::clicked, this, &ProfileEditor::cancelClicked);

    printLine(isModal() ? "Modal\n" : "Not Modal\n");
}

void ProfileEditor::setTexts() {
    setWindowTitle(tr("Mondrel - Profile Editor"));
    confirmButton->setText(tr("&Ok"));
    confirmButton->setShortcut(QKeySequence(tr("Alt+O")));
    cancelButton->setText(tr("&Cancel"));
    cancelButton->setShortcut(QKeySequence(tr("Alt+C")));
}

void ProfileEditor::setEditedProfile(int column, int ownColumnProfiles) {
    if (column < 0)
        setWindowTitle(tr("Mondrel - Profile Editor: Global Profile"));
    else
        setWindowTitle(tr("Mondrel - Profile Editor: Column %1").arg(column));
    const bool replaces = column < 0 && ownColumnProfiles > 0;
    if (ownColumnProfiles == 1)
        replacementNote_->setText(tr("Keeping this edit replaces the profile of 1 column with "
                                     "the global one. Cancel keeps it."));
    else if (replaces)
        replacementNote_->setText(tr("Keeping this edit replaces the profiles of %1 columns with "
                                     "the global one. Cancel keeps them.")
                                      .arg(ownColumnProfiles));
    replacementNote_->setVisible(replaces);
}

void ProfileEditor::setProfile(std::vector<gmVector2> profile) {
    profileView->setInitialProfile(std::move(profile));
}

void ProfileEditor::cancelClicked() {
    cancelling_ = true;
    profileView->returnToInitial();
    cancelling_ = false;
    close();
}

void ProfileEditor::keyPressEvent(QKeyEvent* event) {
    // The dialog's own Escape would only hide it and keep the edits.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cancelClicked();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

#include "app/dialogprompts.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

void DialogPrompts::inform(const QString& text) {
    QMessageBox::information(parent_, QStringLiteral("Mondrel"), text, QMessageBox::Ok);
}

UserPrompts::UnsavedChoice DialogPrompts::askAboutUnsavedChanges(const QString& text) {
    const QMessageBox::StandardButton answer = QMessageBox::question(
        parent_, QStringLiteral("Mondrel"), text,
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    switch (answer) {
    case QMessageBox::Save:
        return UnsavedChoice::save;
    case QMessageBox::Discard:
        return UnsavedChoice::discard;
    default:
        return UnsavedChoice::cancel;
    }
}

QString DialogPrompts::openFileName(const QString& caption, const QString& filter,
                                    const QString& start) {
    return runFileDialog(caption, filter, start, QFileDialog::ExistingFile);
}

QString DialogPrompts::saveFileName(const QString& caption, const QString& filter,
                                    const QString& start) {
    return runFileDialog(caption, filter, start, QFileDialog::AnyFile);
}

QString DialogPrompts::runFileDialog(const QString& caption, const QString& filter,
                                     const QString& start, QFileDialog::FileMode mode) {
    QFileDialog dialog(parent_, caption);
    dialog.setModal(true);
    dialog.setNameFilter(filter);
    dialog.setFileMode(mode);
    dialog.setViewMode(QFileDialog::Detail);
    if (mode == QFileDialog::AnyFile) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The window may still append a suffix to the chosen name, so asking about the name
        // as typed would ask about the wrong file.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (!start.isEmpty()) {
        const QFileInfo where(start);
        if (where.isDir()) {
            dialog.setDirectory(start);
        } else {
            dialog.setDirectory(where.absolutePath());
            dialog.selectFile(where.fileName());
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

#pragma once

#include <QFileDialog>

#include "app/userprompts.h"

// The prompts a user sees: a fresh modal file dialog per question (detail view, the given
// caption and filter), a message box and the heightmap export's settings dialog, all over the
// parent window.
class DialogPrompts : public UserPrompts {
public:
    explicit DialogPrompts(QWidget* parent) : parent_(parent) {}

    void inform(const QString& text) override;
    bool offerToLocate(const QString& text) override;
    QString openFileName(const QString& caption, const QString& filter,
                         const QString& start) override;
    QString saveFileName(const QString& caption, const QString& filter,
                         const QString& start) override;
    UnsavedChoice askAboutUnsavedChanges(const QString& text) override;
    bool heightmapSettings(HeightmapFormat format, const NativeSizes& native,
                           HeightmapExport& settings, bool& naturalTerrain) override;
    bool naturalSettings(NaturalSettings& settings) override;

private:
    QString runFileDialog(const QString& caption, const QString& filter, const QString& start,
                          QFileDialog::FileMode mode);

    QWidget* parent_;
};

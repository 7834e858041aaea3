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
    bool heightmapSettings(HeightmapFormat format, const std::string& output,
                           const NativeSizes& native, HeightmapExport& settings,
                           bool& naturalTerrain) override;

private:
    QString runFileDialog(const QString& caption, const QString& filter, const QString& start,
                          QFileDialog::FileMode mode);

    QWidget* parent_;
};

// Why the export dialog's settings cannot be taken, as a sentence, or empty when they can:
// the builder's checks (exportSettingsRefusal; the reference system read by readCrs), the
// fields named as the dialog labels them. The natural or grid raster's native size is
// nativeWidth x nativeHeight; output is the heightmap's file. crs receives the reference
// system as the export stores it.
QString exportDialogRefusal(const HeightmapExport& settings, const std::string& crsText,
                            const std::string& output, int nativeWidth, int nativeHeight,
                            std::string& crs);

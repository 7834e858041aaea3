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

private:
    QString runFileDialog(const QString& caption, const QString& filter, const QString& start,
                          QFileDialog::FileMode mode);

    QWidget* parent_;
};

// Why the export dialog's placement, maps and tiles cannot be taken, in a sentence, or empty
// when they can: the reference system must be one readCrs reads (an ASCII grid's as WKT, its
// .prj holds no EPSG code), a map's name must end in .png, tiles need a count both ways. crs
// receives the reference system as the export stores it.
QString exportExtrasRefusal(HeightmapFormat format, const std::string& crsText,
                            const QString& normalMap, const QString& splatMap, int tilesAcross,
                            int tilesDown, std::string& crs);

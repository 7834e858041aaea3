#pragma once

#include <functional>

#include <QString>

#include "heightmap/heightmapexport.h"
#include "natural/naturalterrain.h"

// Everything the main window asks of the user: the result boxes, the file dialogs, whether to
// save unsaved changes and the heightmap export's settings. The window shows them through
// this seam, so that scripted answers can stand in for a user.
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

    // A box captioned "Mondrel" with text and the buttons "Locate..." and OK; true when the
    // user chose "Locate...".
    virtual bool offerToLocate(const QString& text) = 0;

    enum class UnsavedChoice { save, discard, cancel };
    // A box captioned "Mondrel" with text and the buttons Save, Discard and Cancel; closing the
    // box counts as Cancel.
    virtual UnsavedChoice askAboutUnsavedChanges(const QString& text) = 0;
    // A native raster's size in cells, 0 x 0 when unknown.
    struct NativeSizes {
        int width = 0, height = 0;               // the resampled grid's
        int naturalWidth = 0, naturalHeight = 0; // the natural terrain's
        // The natural terrain's size at another scale (with layers it depends on the scale),
        // false when unknown; empty: the same at every scale.
        std::function<bool(double scale, int& width, int& height)> naturalAt = {};
    };
    // The settings of a heightmap export in format to the file output: settings.raster's size (0 x
    // 0 for the native size, offered as the grid's or the natural terrain's as the choice between
    // them stands) and scale, and for a 16-bit format an optional fixed height range. settings
    // comes in with the previous answers. naturalTerrain comes in as the session has it and
    // goes out as the user chose: the natural terrain, or the resampled grid. False when the
    // user cancelled. The export checks what comes back.
    virtual bool heightmapSettings(HeightmapFormat format, const std::string& output,
                                   const NativeSizes& native, HeightmapExport& settings,
                                   bool& naturalTerrain) = 0;
};

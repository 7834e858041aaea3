#include "app/dialogprompts.h"

#include "heightmap/exportchecks.h"
#include "heightmap/georeference.h"

#include <cctype>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStringList>

void DialogPrompts::inform(const QString& text) {
    QMessageBox::information(parent_, QStringLiteral("Mondrel"), text, QMessageBox::Ok);
}

bool DialogPrompts::offerToLocate(const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Mondrel"), text, QMessageBox::Ok,
                    parent_);
    QPushButton* locate = box.addButton(QObject::tr("Locate..."), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == locate;
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

namespace {

// The size field's text: "Native (...)", "N" or "WxH" (the validator lets nothing else in).
void readSize(const QString& text, RasterOptions& raster) {
    if (text.startsWith(QStringLiteral("Native"))) {
        raster.width = raster.height = 0;
        return;
    }
    const QStringList sides = text.split(QLatin1Char('x'), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    raster.width = sides.value(0).toInt();
    raster.height = sides.size() > 1 ? sides.value(1).toInt() : raster.width;
}

QDoubleSpinBox* numberBox(QWidget* parent, const char* name, double low, double high,
                          double value) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setDecimals(4);
    box->setValue(value);
    return box;
}

} // namespace

QString exportDialogRefusal(const HeightmapExport& settings, const std::string& crsText,
                            const std::string& output, int nativeWidth, int nativeHeight,
                            std::string& crs) {
    // The builder's rules, the fields named as the dialog labels them.
    ExportFieldNames names;
    names.origin = "the origin";
    names.crs = "the reference system";
    names.normalMap = "the normal map";
    names.splatMap = "the splat map";
    names.tiles = "the tiles field";
    const auto sentence = [](std::string text) {
        if (!text.empty())
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        return QString::fromStdString(text + ".");
    };
    crs.clear();
    std::string error;
    if (!crsText.empty() && !readCrs(crsText, crs, error, names.crs))
        return sentence(error);
    HeightmapExport checked = settings;
    checked.place.crs = crs;
    error = exportSettingsRefusal(checked, output, nativeWidth, nativeHeight, names);
    return error.empty() ? QString() : sentence(error);
}

bool DialogPrompts::heightmapSettings(HeightmapFormat format, const std::string& output,
                                      const NativeSizes& native, HeightmapExport& settings,
                                      bool& naturalTerrain) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(QStringLiteral("Export Heightmap"));
    dialog.setModal(true);
    auto* form = new QFormLayout(&dialog);

    // The grid's mesh is the grid itself: it has no raster size. The natural terrain's mesh
    // has one.
    const bool raster = format != HeightmapFormat::obj;
    auto* size = new QComboBox(&dialog);
    size->setObjectName(QStringLiteral("sizeBox"));
    size->setEditable(true);
    // "Native" names the size of what will be written: the grid's or the natural terrain's,
    // the latter at the scale the dialog shows.
    NativeSizes current = native;
    auto nativeText = [&current](bool natural) {
        const int w = natural ? current.naturalWidth : current.width;
        const int h = natural ? current.naturalHeight : current.height;
        return w > 0 ? QStringLiteral("Native (%1x%2)").arg(w).arg(h) : QStringLiteral("Native");
    };
    size->addItem(nativeText(naturalTerrain));
    // Unity's 2^n + 1 sides and Unreal's recommended ones.
    for (const char* engineSize : {"513", "1025", "2049", "4097", "1009", "2017", "4033"})
        size->addItem(QString::fromLatin1(engineSize));
    size->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("Native.*|[0-9]{1,5}([xX][0-9]{0,5})?")), size));
    if (!settings.raster.native())
        size->setCurrentText(
            settings.raster.width == settings.raster.height
                ? QString::number(settings.raster.width)
                : QStringLiteral("%1x%2").arg(settings.raster.width).arg(settings.raster.height));
    size->setEnabled(raster || naturalTerrain);
    form->addRow(QStringLiteral("Size in cells:"), size);

    // The natural terrain (both flanks, detail, erosion) with the project's natural settings,
    // in place of the resampled grid.
    auto* natural = new QCheckBox(QStringLiteral("Natural terrain"), &dialog);
    natural->setObjectName(QStringLiteral("naturalBox"));
    natural->setChecked(naturalTerrain);
    if (!raster)
        QObject::connect(natural, &QCheckBox::toggled, size, &QWidget::setEnabled);
    QObject::connect(natural, &QCheckBox::toggled, size, [size, nativeText](bool on) {
        // A size typed in stays as it was.
        const QString typed = size->currentText();
        size->setItemText(0, nativeText(on));
        if (!typed.startsWith(QStringLiteral("Native")))
            size->setCurrentText(typed);
    });
    form->addRow(natural);

    auto* scale = numberBox(&dialog, "scaleBox", 0.0001, 1e6, settings.raster.scale);
    form->addRow(QStringLiteral("World units per pixel:"), scale);
    if (native.naturalAt)
        QObject::connect(scale, &QDoubleSpinBox::valueChanged, size, [&, nativeText](double at) {
            int w = 0, h = 0;
            if (!native.naturalAt(at, w, h))
                w = h = 0;
            current.naturalWidth = w;
            current.naturalHeight = h;
            if (!natural->isChecked())
                return;
            const QString typed = size->currentText();
            size->setItemText(0, nativeText(true));
            if (!typed.startsWith(QStringLiteral("Native")))
                size->setCurrentText(typed);
        });

    // 16-bit files only: the heights their lowest and highest step stand for.
    const bool sixteenBit = isSixteenBit(format);
    auto* fixedRange = new QCheckBox(QStringLiteral("Fixed height range"), &dialog);
    fixedRange->setObjectName(QStringLiteral("rangeBox"));
    fixedRange->setChecked(sixteenBit && settings.heightRange.has_value());
    fixedRange->setEnabled(sixteenBit);
    const HeightRange range = settings.heightRange.value_or(HeightRange{0.0, 1000.0});
    auto* low = numberBox(&dialog, "rangeMinBox", -1e9, 1e9, range.min);
    auto* high = numberBox(&dialog, "rangeMaxBox", -1e9, 1e9, range.max);
    low->setEnabled(fixedRange->isChecked());
    high->setEnabled(fixedRange->isChecked());
    QObject::connect(fixedRange, &QCheckBox::toggled, low, &QWidget::setEnabled);
    QObject::connect(fixedRange, &QCheckBox::toggled, high, &QWidget::setEnabled);
    form->addRow(fixedRange);
    form->addRow(QStringLiteral("Height of 0:"), low);
    form->addRow(QStringLiteral("Height of 65535:"), high);

    // Where the raster lies in a map: the formats GIS tools read (asc, png16, exr) only.
    const bool placeable = formatTakesPlacement(format);
    auto* originX = numberBox(&dialog, "originXBox", -1e12, 1e12, settings.place.originX);
    auto* originY = numberBox(&dialog, "originYBox", -1e12, 1e12, settings.place.originY);
    auto* crs = new QLineEdit(QString::fromStdString(settings.place.crs), &dialog);
    crs->setObjectName(QStringLiteral("crsBox"));
    crs->setPlaceholderText(QStringLiteral("EPSG:CODE, WKT text or a .prj file"));
    for (QWidget* field : {static_cast<QWidget*>(originX), static_cast<QWidget*>(originY),
                           static_cast<QWidget*>(crs)})
        field->setEnabled(placeable);
    form->addRow(QStringLiteral("Origin X (map units):"), originX);
    form->addRow(QStringLiteral("Origin Y (map units):"), originY);
    form->addRow(QStringLiteral("Reference system:"), crs);

    // Texture maps beside the heightmap, as PNG files (a name without a folder lies beside
    // the export); empty for none.
    auto* normalMap = new QLineEdit(QString::fromStdString(settings.normalMapFile), &dialog);
    normalMap->setObjectName(QStringLiteral("normalMapBox"));
    normalMap->setPlaceholderText(QStringLiteral("none"));
    auto* splatMap = new QLineEdit(QString::fromStdString(settings.splatMapFile), &dialog);
    splatMap->setObjectName(QStringLiteral("splatMapBox"));
    splatMap->setPlaceholderText(QStringLiteral("none"));
    form->addRow(QStringLiteral("Normal map (.png):"), normalMap);
    form->addRow(QStringLiteral("Splat map (.png):"), splatMap);

    // Engine tiles of 2^n + 1 cells a side sharing their edges; 0 x 0 for one file.
    auto tileBox = [&](const char* name, int value) {
        auto* box = new QSpinBox(&dialog);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(0, 64);
        box->setValue(value);
        box->setEnabled(formatTakesTiles(format));
        return box;
    };
    auto* tilesAcross = tileBox("tilesAcrossBox", settings.tilesAcross);
    auto* tilesDown = tileBox("tilesDownBox", settings.tilesDown);
    form->addRow(QStringLiteral("Tiles across (0: one file):"), tilesAcross);
    form->addRow(QStringLiteral("Tiles down (0: one file):"), tilesDown);

    // OK checks what the export cannot take before the dialog closes, as the builder checks
    // its command line.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // What the fields say, as the export will take it (the reference system still as typed).
    const auto fieldsRead = [&] {
        HeightmapExport read = settings;
        read.format = format;
        read.place.originX = placeable ? originX->value() : 0.0;
        read.place.originY = placeable ? originY->value() : 0.0;
        read.normalMapFile = normalMap->text().trimmed().toStdString();
        read.splatMapFile = splatMap->text().trimmed().toStdString();
        read.tilesAcross = formatTakesTiles(format) ? tilesAcross->value() : 0;
        read.tilesDown = formatTakesTiles(format) ? tilesDown->value() : 0;
        if (size->isEnabled())
            readSize(size->currentText(), read.raster);
        read.raster.scale = scale->value();
        if (fixedRange->isChecked())
            read.heightRange = HeightRange{low->value(), high->value()};
        else if (sixteenBit)
            read.heightRange.reset();
        return read;
    };
    std::string readCrsText;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        const bool naturalChosen = natural->isChecked();
        const QString refusal = exportDialogRefusal(
            fieldsRead(), placeable ? crs->text().trimmed().toStdString() : std::string(), output,
            naturalChosen ? current.naturalWidth : current.width,
            naturalChosen ? current.naturalHeight : current.height, readCrsText);
        if (refusal.isEmpty())
            dialog.accept();
        else
            QMessageBox::warning(&dialog, QStringLiteral("Mondrel"), refusal);
    });
    form->addRow(buttons);

    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings = fieldsRead();
    settings.place.crs = readCrsText;
    naturalTerrain = natural->isChecked();
    return true;
}

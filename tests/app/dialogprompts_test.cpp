// The prompts a user really sees, answered by a timer so that the modal loops end.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "app/dialogprompts.h"

namespace {

// Runs answer on the modal dialog that the next call opens.
template <typename Dialog> void whenShown(std::function<void(Dialog*)> answer) {
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no modal dialog of the expected kind";
            return;
        }
        answer(dialog);
    });
}

} // namespace

TEST(DialogPrompts, FileDialogsCarryCaptionFilterModeAndStart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QWidget window;
    DialogPrompts prompts(&window);
    const QString start = dir.filePath("hill.c2d");

    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->parentWidget(), &window);
        EXPECT_EQ(dialog->windowTitle(), "Save File");
        // The toolkit tidies the blanks of a filter when it shows it.
        EXPECT_EQ(dialog->nameFilters(), QStringList{"Ascii 2D Curve Format (*.c2d )"});
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog->viewMode(), QFileDialog::Detail);
        EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        dialog->selectFile(dir.filePath("valley"));
        static_cast<QDialog*>(dialog)->accept(); // the file dialog checks the name
    });
    const QString saved =
        prompts.saveFileName("Save File", "Ascii 2D Curve Format (*.c2d )", start);
    EXPECT_EQ(QFileInfo(saved).fileName(), "valley");

    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Open PNG File");
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->reject();
    });
    EXPECT_TRUE(prompts.openFileName("Open PNG File", "Portable Network Graphics (*.png)", start)
                    .isEmpty());
}

TEST(DialogPrompts, InformShowsAMondrelBoxWithOneOkButton) {
    QWidget window;
    DialogPrompts prompts(&window);
    whenShown<QMessageBox>([&](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Mondrel");
        EXPECT_EQ(box->text(), "hill.grd was saved successfully.");
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    prompts.inform("hill.grd was saved successfully.");
}

TEST(DialogPrompts, AMissingImageBoxOffersLocateBesideOk) {
    QWidget window;
    DialogPrompts prompts(&window);
    for (const bool locate : {true, false}) {
        whenShown<QMessageBox>([locate](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "Mondrel");
            EXPECT_EQ(box->buttons().size(), 2);
            for (QAbstractButton* button : box->buttons())
                if ((button->text() == "Locate...") == locate)
                    button->click();
        });
        EXPECT_EQ(prompts.offerToLocate("The image is missing."), locate);
    }
}

TEST(DialogPrompts, UnsavedChangesAreAskedAboutWithSaveDiscardAndCancel) {
    QWidget window;
    DialogPrompts prompts(&window);
    const std::pair<QMessageBox::StandardButton, UserPrompts::UnsavedChoice> answers[] = {
        {QMessageBox::Save, UserPrompts::UnsavedChoice::save},
        {QMessageBox::Discard, UserPrompts::UnsavedChoice::discard},
        {QMessageBox::Cancel, UserPrompts::UnsavedChoice::cancel}};
    for (const auto& [button, choice] : answers) {
        whenShown<QMessageBox>([button = button](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "Mondrel");
            EXPECT_EQ(box->standardButtons(),
                      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
            box->button(button)->click();
        });
        EXPECT_EQ(prompts.askAboutUnsavedChanges("Save?"), choice);
    }
}

TEST(DialogPrompts, HeightmapSettingsReadSizeScaleAndRange) {
    QWidget window;
    DialogPrompts prompts(&window);
    HeightmapExport settings;
    whenShown<QDialog>([&](QDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Export Heightmap");
        auto* size = dialog->findChild<QComboBox*>("sizeBox");
        ASSERT_TRUE(size);
        EXPECT_EQ(size->currentText(), "Native (300x120)");
        size->setCurrentText("1025x513");
        dialog->findChild<QDoubleSpinBox*>("scaleBox")->setValue(2.5);
        dialog->findChild<QCheckBox*>("rangeBox")->setChecked(true);
        dialog->findChild<QDoubleSpinBox*>("rangeMinBox")->setValue(-10.0);
        auto* natural = dialog->findChild<QCheckBox*>("naturalBox");
        ASSERT_TRUE(natural);
        EXPECT_FALSE(natural->isChecked());
        natural->setChecked(true);
        EXPECT_EQ(size->itemText(0), "Native (900x700)") << "the natural terrain's own";
        // The natural terrain's size follows the scale; a size typed in stays.
        dialog->findChild<QDoubleSpinBox*>("scaleBox")->setValue(2.0);
        EXPECT_EQ(size->itemText(0), "Native (720x560)");
        EXPECT_EQ(size->currentText(), "1025x513");
        dialog->findChild<QDoubleSpinBox*>("scaleBox")->setValue(2.5);
        dialog->accept();
    });
    bool natural = false;
    UserPrompts::NativeSizes native{300, 120, 900, 700, [](double scale, int& w, int& h) {
                                        w = static_cast<int>(360 * scale);
                                        h = static_cast<int>(280 * scale);
                                        return true;
                                    }};
    ASSERT_TRUE(
        prompts.heightmapSettings(HeightmapFormat::r16, "/tmp/m.r16", native, settings, natural));
    EXPECT_TRUE(natural);
    EXPECT_EQ(settings.raster.width, 1025);
    EXPECT_EQ(settings.raster.height, 513);
    EXPECT_EQ(settings.raster.scale, 2.5);
    ASSERT_TRUE(settings.heightRange.has_value());
    EXPECT_EQ(settings.heightRange->min, -10.0);
    EXPECT_EQ(settings.heightRange->max, 1000.0);

    // The next export offers these answers again; the grid's mesh has no size and no height
    // range, the natural terrain's mesh has a size.
    whenShown<QDialog>([&](QDialog* dialog) {
        EXPECT_EQ(dialog->findChild<QComboBox*>("sizeBox")->currentText(), "1025x513");
        EXPECT_TRUE(dialog->findChild<QComboBox*>("sizeBox")->isEnabled());
        dialog->findChild<QCheckBox*>("naturalBox")->setChecked(false);
        EXPECT_FALSE(dialog->findChild<QComboBox*>("sizeBox")->isEnabled());
        EXPECT_FALSE(dialog->findChild<QCheckBox*>("rangeBox")->isEnabled());
        dialog->reject();
    });
    EXPECT_FALSE(prompts.heightmapSettings(HeightmapFormat::obj, "/tmp/m.obj", {300, 120, 900, 700},
                                           settings, natural));
}

// The placement, maps and tiles the builder offers: read back through OK, which refuses what
// the export could not take with a reason.
TEST(DialogPrompts, HeightmapSettingsReadPlacementMapsAndTiles) {
    // The builder's rules in the dialog's words.
    std::string crs;
    HeightmapExport png;
    png.format = HeightmapFormat::png16;
    png.normalMapFile = "n.png";
    png.tilesAcross = png.tilesDown = 2;
    EXPECT_TRUE(exportDialogRefusal(png, "epsg:32632", "/tmp/m.png", 900, 700, crs).isEmpty());
    EXPECT_EQ(crs, "EPSG:32632");
    EXPECT_EQ(exportDialogRefusal(png, "EPSG:x", "/tmp/m.png", 900, 700, crs).toStdString(),
              "Bad value \"EPSG:x\" for the reference system: expected EPSG:CODE, WKT text or a "
              "file holding WKT.");
    HeightmapExport bad = png;
    bad.normalMapFile = "n.jpg";
    EXPECT_EQ(exportDialogRefusal(bad, "", "/tmp/m.png", 900, 700, crs).toStdString(),
              "The normal map writes a PNG: its file name must end in .png.");
    bad = png;
    bad.tilesDown = 0;
    EXPECT_FALSE(exportDialogRefusal(bad, "", "/tmp/m.png", 900, 700, crs).isEmpty());
    bad = png;
    bad.raster.width = bad.raster.height = 1000;
    EXPECT_TRUE(exportDialogRefusal(bad, "", "/tmp/m.png", 900, 700, crs)
                    .startsWith("The size 1000x1000 does not split into 2x2 tiles"));
    // A map named like the heightmap's own file would replace it.
    bad = png;
    bad.tilesAcross = bad.tilesDown = 0;
    bad.splatMapFile = "m.png";
    EXPECT_TRUE(exportDialogRefusal(bad, "", "/tmp/m.png", 900, 700, crs)
                    .startsWith("The export would write /tmp/m.png twice"));

    QWidget window;
    DialogPrompts prompts(&window);
    HeightmapExport settings;
    bool natural = true;
    whenShown<QDialog>([&](QDialog* dialog) {
        dialog->findChild<QDoubleSpinBox*>("originXBox")->setValue(500000.0);
        dialog->findChild<QLineEdit*>("crsBox")->setText("EPSG:32632");
        dialog->findChild<QLineEdit*>("normalMapBox")->setText("n.png");
        dialog->findChild<QSpinBox*>("tilesAcrossBox")->setValue(2);
        dialog->findChild<QSpinBox*>("tilesDownBox")->setValue(2);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_TRUE(prompts.heightmapSettings(HeightmapFormat::png16, "/tmp/m.png",
                                          {300, 120, 900, 700}, settings, natural));
    EXPECT_EQ(settings.place.originX, 500000.0);
    EXPECT_EQ(settings.place.crs, "EPSG:32632");
    EXPECT_EQ(settings.normalMapFile, "n.png");
    EXPECT_TRUE(settings.splatMapFile.empty());
    EXPECT_EQ(settings.tilesAcross, 2);
    EXPECT_EQ(settings.tilesDown, 2);
}

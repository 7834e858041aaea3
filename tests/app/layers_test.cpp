// Skyline layers in the window: the layer list and menu make undo steps, strokes land on the
// current layer, a locked one says why it takes none, and the other layers show in the view.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>
#include <cmath>
#include <cstdio>
#include <png.h>

#include "app/layerpanel.h"
#include "gui/glsketch.h"
#include "tests/app/windowfixture.h"
#include "tests/tracing/exiftesting.h"

namespace {

// A ridge across the middle of the view at a fraction of its height from the top, with a
// little relief.
std::vector<QPoint> range(const QWidget* view, double fromTop, double relief) {
    std::vector<QPoint> points;
    for (int x = view->width() / 10; x < view->width() * 9 / 10; x += 3)
        points.emplace_back(
            x, int(view->height() *
                   (fromTop - relief * (std::sin(x / 53.0) + 0.6 * std::sin(x / 19.0 + 1.0)))));
    return points;
}

// How many pixels of the view's frame differ between two grabs.
int differingPixels(const QImage& a, const QImage& b) {
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += a.pixel(x, y) != b.pixel(x, y);
    return differing;
}

// A grey 3:2 photograph whose eXIf chunk gives its lens (36 mm as on 35 mm film) and its
// altitude (1234.5 m).
bool writeExifPhoto(const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!out || !png || !info || setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, out);
    const int width = 60, height = 40;
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<unsigned char> exif = exifBytes(36);
    exif.erase(exif.begin(), exif.begin() + 6); // a PNG holds the TIFF stream alone
    png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()), exif.data());
    png_write_info(png, info);
    std::vector<unsigned char> row(width, 128);
    for (int y = 0; y < height; ++y)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0;
}

} // namespace

class LayersTest : public WindowTest {};

TEST_F(LayersTest, LayersAreUndoStepsStrokesGoToTheCurrentOneAndTheOthersShowFainter) {
    MondrelMainWindow& w = *window_;
    const SketchModel& model = w.session().model();
    GLSketch* view = w.sketchView;
    w.viewLayersAction->trigger(); // the view keeps its width from here on
    QTest::qWait(50);
    drawMountain();
    click(w.firstOptionButton);
    const SketchModel::PointList front = model.curve();

    w.layerNewAction->trigger();
    ASSERT_EQ(model.layerCount(), 2);
    EXPECT_TRUE(w.layerPanel->isVisible());
    EXPECT_EQ(w.editUndoAction->text(), "&Undo New Layer");
    EXPECT_EQ(w.layerPanel->list->currentRow(), 1);
    drag(view, range(view, 0.35, 0.05));
    click(w.firstOptionButton);
    const SketchModel::PointList far = model.layerSkyline(1);
    EXPECT_FALSE(far.empty());
    EXPECT_EQ(model.curve(), front);

    // Choosing a layer is no step; the layer not current is drawn, hiding it is a step.
    const int steps = w.undoStack()->index();
    w.layerPanel->list->setCurrentRow(0);
    EXPECT_EQ(model.currentLayer(), 0);
    EXPECT_EQ(w.undoStack()->index(), steps);
    EXPECT_TRUE(w.statusText().contains("Layer \"Layer 1\" (1 of 2) · Profile"));
    const QImage shown = view->grabFramebuffer();
    w.layerPanel->list->setCurrentRow(1);
    w.layerPanel->visible->click();
    w.layerPanel->list->setCurrentRow(0);
    EXPECT_EQ(w.editUndoAction->text(), "&Undo Hide Layer");
    const QImage hidden = view->grabFramebuffer();
    EXPECT_GT(differingPixels(shown, hidden), 100);
    w.editUndoAction->trigger();
    EXPECT_TRUE(model.layerProperties(1).visible);
    EXPECT_EQ(model.currentLayer(), 1); // back on the layer the step was made on

    // A locked layer takes no stroke and says so.
    w.layerPanel->locked->click();
    EXPECT_EQ(w.editUndoAction->text(), "&Undo Lock Layer");
    drag(view, range(view, 0.2, 0.02));
    click(w.firstOptionButton);
    click(w.secondOptionButton); // "Clear Curve"
    EXPECT_EQ(model.layerSkyline(1), far);
    EXPECT_TRUE(w.statusBar()->currentMessage().contains("\"Layer 2\" is locked"));

    // A distance nearer than the front's puts the layer in front; undo puts it back.
    w.layerPanel->distance->setValue(500.0);
    EXPECT_EQ(w.editUndoAction->text(), "&Undo Layer Distance");
    EXPECT_EQ(model.curve(), far);
    EXPECT_EQ(model.currentLayer(), 0);
    w.editUndoAction->trigger();
    EXPECT_EQ(model.curve(), front);
    EXPECT_EQ(model.layerSkyline(1), far);

    // Undoing a step made after another layer was chosen goes back to the layer it was made on.
    w.layerPanel->list->setCurrentRow(0);
    w.layerPanel->locked->click();
    w.layerPanel->list->setCurrentRow(1);
    w.editUndoAction->trigger();
    EXPECT_FALSE(model.layerProperties(0).locked);
    EXPECT_EQ(model.currentLayer(), 0);

    // A third range, named, for the picture of three layers.
    w.layerNewAction->trigger();
    drag(view, range(view, 0.25, 0.03));
    click(w.firstOptionButton);
    EXPECT_EQ(model.layerCount(), 3);
    const QStringList names = {"Near ridge", "Middle range", "Far range"};
    for (int layer = 0; layer < 3; ++layer) {
        w.layerPanel->list->setCurrentRow(layer);
        w.layerPanel->name->setText(names[layer]);
        emit w.layerPanel->name->editingFinished();
        EXPECT_EQ(model.layerProperties(layer).name, names[layer].toStdString());
    }
    EXPECT_EQ(w.editUndoAction->text(), "&Undo Rename Layer");
    // 200 accented letters fit the field but not the model's 256 bytes: refused, and said so.
    w.layerPanel->name->setText(QString(200, QChar(0xe9)));
    emit w.layerPanel->name->editingFinished();
    EXPECT_EQ(model.layerProperties(2).name, "Far range");
    EXPECT_TRUE(w.statusBar()->currentMessage().startsWith("That name is too long (400 bytes"));
    EXPECT_EQ(w.layerPanel->name->text(), "Far range");
    w.layerPanel->list->setCurrentRow(1);
    w.layerPanel->locked->click();
    w.statusBar()->clearMessage();
    saveShot(&w, "layers.png");
}

TEST_F(LayersTest, TheCameraIsAnUndoStepAndComesFromThePhotographsMetadata) {
    MondrelMainWindow& w = *window_;
    const SketchModel& model = w.session().model();
    LayerPanel& panel = *w.layerPanel;
    w.viewLayersAction->trigger();
    QTest::qWait(50);
    panel.fromPhotograph->click();
    EXPECT_FALSE(model.camera().perspective());
    EXPECT_TRUE(w.statusBar()->currentMessage().contains("start-up picture"));

    const QString photo = scratch("exif.png");
    ASSERT_TRUE(writeExifPhoto(photo.toStdString()));
    answerAndTrigger(photo, w.fileOpen_ImageAction);
    EXPECT_TRUE(w.statusBar()->currentMessage().contains("gives its lens and altitude"))
        << w.statusBar()->currentMessage().toStdString();
    panel.fromPhotograph->click();
    const SketchCamera taken = model.camera();
    EXPECT_TRUE(taken.perspective());
    EXPECT_NEAR(taken.fieldOfView, 53.130, 0.001);
    EXPECT_EQ(taken.eyeHeight, 1234.5);
    EXPECT_EQ(taken.frameWidth, model.viewWidth());
    EXPECT_EQ(taken.horizon, 0.5 * model.viewHeight());
    EXPECT_EQ(w.editUndoAction->text(), "&Undo Camera From Photograph");
    EXPECT_EQ(panel.cameraKind->currentIndex(), 1);
    EXPECT_TRUE(panel.eyeHeight->isEnabled());

    panel.eyeHeight->setValue(200.0);
    EXPECT_EQ(model.camera().eyeHeight, 200.0);
    EXPECT_EQ(model.camera().fieldOfView, taken.fieldOfView); // not the field's 53.1
    EXPECT_EQ(w.editUndoAction->text(), "&Undo Camera");
    w.statusBar()->clearMessage();
    saveShot(&panel, "camera.png");
    w.editUndoAction->trigger();
    EXPECT_EQ(model.camera(), taken);
    EXPECT_EQ(panel.eyeHeight->value(), 1234.5);
    w.editUndoAction->trigger();
    EXPECT_FALSE(model.camera().perspective());
    EXPECT_EQ(panel.cameraKind->currentIndex(), 0);
    EXPECT_FALSE(panel.fieldOfView->isEnabled());
}

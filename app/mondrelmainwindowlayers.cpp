// The main window's skyline layers: the "&Layer" menu, "View > Layers" and the layer list
// beside the view. Every change of a layer is an undo step; choosing the current layer is
// not (as selecting a column is not), but undoing a step goes back to the layer it was made on.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

#include "app/layerpanel.h"
#include "app/mondrelmainwindow.h"
#include "gui/glsketch.h"
#include "tracing/photometadata.h"

namespace {

// How long the status bar says that a locked layer took no stroke.
constexpr int lockedNoticeMs = 10000;

QAction* layerAction(QObject* parent, const char* name, const QString& text,
                     const QString& statusTip) {
    auto* action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(statusTip);
    return action;
}

LayerColour layerColour(const QColor& colour) {
    return {static_cast<unsigned char>(colour.red()), static_cast<unsigned char>(colour.green()),
            static_cast<unsigned char>(colour.blue())};
}

} // namespace

void MondrelMainWindow::buildLayerPanel() {
    layerPanel = new LayerPanel(this);
    addDockWidget(Qt::RightDockWidgetArea, layerPanel);
    layerPanel->hide();

    layerNewAction = layerAction(this, "layerNewAction", tr("&New Layer"),
                                 tr("Add a layer behind the others and draw its skyline."));
    layerNewAction->setShortcut(QKeySequence(tr("Ctrl+Shift+N")));
    layerRemoveAction = layerAction(this, "layerRemoveAction", tr("&Remove Layer"),
                                    tr("Remove the current layer and its skyline."));
    layerNearerAction =
        layerAction(this, "layerNearerAction", tr("Move &Nearer"),
                    tr("Move the current layer one place nearer: it takes the distance of the "
                       "layer it passes."));
    layerFartherAction =
        layerAction(this, "layerFartherAction", tr("Move &Farther"),
                    tr("Move the current layer one place farther: it takes the distance of "
                       "the layer it passes."));
    layerMenu = new QMenu(tr("&Layer"), this);
    layerMenu->setObjectName(QStringLiteral("layerMenu"));
    layerMenu->addAction(layerNewAction);
    layerMenu->addAction(layerRemoveAction);
    layerMenu->addSeparator();
    layerMenu->addAction(layerNearerAction);
    layerMenu->addAction(layerFartherAction);
    mainMenuBar->addMenu(layerMenu);

    viewLayersAction = layerPanel->toggleViewAction();
    viewLayersAction->setObjectName(QStringLiteral("viewLayersAction"));
    viewLayersAction->setText(tr("&Layers"));
    viewLayersAction->setStatusTip(tr("Show the skyline layers beside the view."));
    viewMenu->addSeparator();
    viewMenu->addAction(viewLayersAction);

    connect(layerNewAction, &QAction::triggered, this, &MondrelMainWindow::addLayer);
    connect(layerRemoveAction, &QAction::triggered, this, &MondrelMainWindow::removeLayer);
    connect(layerNearerAction, &QAction::triggered, this, [this] { moveLayer(true); });
    connect(layerFartherAction, &QAction::triggered, this, [this] { moveLayer(false); });
    connect(layerPanel, &LayerPanel::layerChosen, this, &MondrelMainWindow::chooseLayer);
    connect(layerPanel, &LayerPanel::addRequested, this, &MondrelMainWindow::addLayer);
    connect(layerPanel, &LayerPanel::removeRequested, this, &MondrelMainWindow::removeLayer);
    connect(layerPanel, &LayerPanel::moveRequested, this, &MondrelMainWindow::moveLayer);
    connect(layerPanel, &LayerPanel::renamed, this, &MondrelMainWindow::renameLayer);
    connect(layerPanel, &LayerPanel::distanceChanged, this, &MondrelMainWindow::setLayerDistance);
    connect(layerPanel, &LayerPanel::colourChosen, this, [this](const QColor& colour) {
        runLayerStep(tr("Layer Colour"),
                     [&](int layer) { session_.setLayerColour(layer, layerColour(colour)); });
    });
    connect(layerPanel, &LayerPanel::visibleToggled, this, [this](bool on) {
        runLayerStep(on ? tr("Show Layer") : tr("Hide Layer"),
                     [&](int layer) { session_.setLayerVisible(layer, on); });
    });
    connect(layerPanel, &LayerPanel::lockedToggled, this, [this](bool on) {
        runLayerStep(on ? tr("Lock Layer") : tr("Unlock Layer"),
                     [&](int layer) { session_.setLayerLocked(layer, on); });
    });
    connect(layerPanel, &LayerPanel::cameraEdited, this, &MondrelMainWindow::setCamera);
    connect(layerPanel, &LayerPanel::photographCameraRequested, this,
            &MondrelMainWindow::cameraFromPhotograph);
    showLayerState();
}

void MondrelMainWindow::showLayerState() {
    const SketchModel& model = session_.model();
    layerPanel->showLayers(model);
    const int current = model.currentLayer();
    layerRemoveAction->setEnabled(model.layerCount() > 1);
    layerNearerAction->setEnabled(current > 0);
    layerFartherAction->setEnabled(current < model.layerCount() - 1);
    // Work with several layers shows them.
    if (model.layerCount() > 1 && !layerPanel->isVisible() && isVisible())
        layerPanel->show();
}

void MondrelMainWindow::runLayerStep(const QString& text,
                                     const std::function<void(int layer)>& change) {
    const int layer = session_.model().currentLayer();
    runModelStep(text, [&] { change(layer); });
    // A change that gives the stages another front layer replaces the silhouette.
    if (session_.stage() != Stage::curveDrawing)
        showStageControls(true);
}

void MondrelMainWindow::chooseLayer(int layer) {
    if (layer == session_.model().currentLayer())
        return;
    session_.selectLayer(layer);
    showLayerState();
    showStatusLine();
    sketchView->updateGL();
}

void MondrelMainWindow::addLayer() {
    runLayerStep(tr("New Layer"), [this](int) { session_.addLayer(); });
    layerPanel->show();
    layerPanel->raise();
}

void MondrelMainWindow::removeLayer() {
    runLayerStep(tr("Remove Layer"), [this](int layer) { session_.removeLayer(layer); });
}

void MondrelMainWindow::moveLayer(bool nearer) {
    runLayerStep(nearer ? tr("Move Layer Nearer") : tr("Move Layer Farther"),
                 [&](int layer) { session_.moveLayer(layer, nearer); });
}

void MondrelMainWindow::renameLayer(const QString& name) {
    const std::string text = name.trimmed().toStdString();
    // The model counts a name's bytes (UTF-8), the field its characters: say why a name the
    // field took is refused, and show the one kept.
    if (text.empty() || text.size() > longestLayerName) {
        const QString kept = QString::fromStdString(
            session_.model().layerProperties(session_.model().currentLayer()).name);
        statusBar()->showMessage(
            text.empty() ? tr("A layer needs a name: \"%1\" is kept.").arg(kept)
                         : tr("That name is too long (%1 bytes; at most %2): \"%3\" is kept.")
                               .arg(static_cast<qulonglong>(text.size()))
                               .arg(static_cast<qulonglong>(longestLayerName))
                               .arg(kept),
            lockedNoticeMs);
        showLayerState();
        return;
    }
    runLayerStep(tr("Rename Layer"), [&](int layer) { session_.renameLayer(layer, text); });
}

void MondrelMainWindow::setLayerDistance(double distance) {
    runLayerStep(tr("Layer Distance"),
                 [&](int layer) { session_.setLayerDistance(layer, distance); });
}

void MondrelMainWindow::beginStroke(double x, double y) {
    if (!session_.beginStroke(x, y))
        noteLockedLayer();
}

void MondrelMainWindow::noteLockedLayer() {
    const QString name = QString::fromStdString(
        session_.model().layerProperties(session_.model().currentLayer()).name);
    statusBar()->showMessage(tr("The layer \"%1\" is locked: it takes no strokes and keeps its "
                                "curve. Unlock it in the Layers panel (View > Layers) to draw "
                                "on it.")
                                 .arg(name),
                             lockedNoticeMs);
}

// ---- The camera

namespace {

// The camera with its frame the drawing as it is now: the field of view spans the view's width.
SketchCamera framedCamera(const SketchModel& model) {
    SketchCamera camera = model.camera();
    if (model.viewWidth() > 0 && model.viewHeight() > 0) {
        camera.frameWidth = model.viewWidth();
        camera.frameHeight = model.viewHeight();
    }
    return camera;
}

} // namespace

void MondrelMainWindow::setCamera(bool perspective, double fieldOfView, double eyeHeight,
                                  double horizon) {
    const SketchModel& model = session_.model();
    SketchCamera camera = framedCamera(model);
    // A first perspective looks level at the middle of the drawing.
    if (perspective && !model.camera().perspective() && model.camera() == SketchCamera())
        horizon = 0.5 * camera.frameHeight;
    camera.kind = perspective ? SketchCamera::Kind::perspective : SketchCamera::Kind::straightOn;
    // The fields show a tenth: a value the user left alone keeps its own digits (a field of view
    // from the photograph's lens, say) when another one changes.
    const auto kept = [](double shown, double held) {
        return std::abs(shown - held) < 0.05 ? held : shown;
    };
    camera.fieldOfView = kept(fieldOfView, camera.fieldOfView);
    camera.eyeHeight = kept(eyeHeight, camera.eyeHeight);
    camera.horizon = kept(horizon, camera.horizon);
    if (camera == model.camera())
        return;
    std::string error;
    runModelStep(tr("Camera"), [&] {
        if (!session_.setCamera(camera, error))
            statusBar()->showMessage(QString::fromStdString(error), lockedNoticeMs);
    });
    showLayerState();
}

void MondrelMainWindow::cameraFromPhotograph() {
    const std::string file = imageLink_.imageFile();
    if (file.empty()) {
        statusBar()->showMessage(tr("The background is the start-up picture: open the photograph "
                                    "you trace (File > Open Image) to take its camera."),
                                 lockedNoticeMs);
        return;
    }
    PhotoMetadata metadata;
    std::string reason;
    if (!readPhotoMetadata(file, metadata, reason) || !metadata.any()) {
        statusBar()->showMessage(
            tr("The photograph's metadata gives no focal length or altitude%1: set the camera "
               "by hand.")
                .arg(reason.empty() ? QString() : tr(" (%1)").arg(QString::fromStdString(reason))),
            lockedNoticeMs);
        return;
    }
    const SketchModel& model = session_.model();
    SketchCamera camera = framedCamera(model);
    if (!camera.perspective())
        camera.horizon = 0.5 * camera.frameHeight;
    camera.kind = SketchCamera::Kind::perspective;
    const PngImage& image = sketchView->backgroundImage();
    const double width = metadata.width > 0 ? metadata.width : static_cast<double>(image.width);
    const double height = metadata.height > 0 ? metadata.height : static_cast<double>(image.height);
    // The photograph fills the drawing: its whole width is what the field of view spans.
    const double fov = fieldOfViewFor35mm(metadata.focal35, width, height);
    if (fov > 0)
        camera.fieldOfView = std::clamp(fov, smallestFieldOfView, largestFieldOfView);
    if (metadata.hasAltitude)
        camera.eyeHeight = std::clamp(metadata.altitude, -largestCameraValue, largestCameraValue);
    std::string error;
    runModelStep(tr("Camera From Photograph"), [&] { session_.setCamera(camera, error); });
    showLayerState();
    // The background fills the view, stretched: in other proportions than the photograph's,
    // heights drawn over it are not the ones the lens saw.
    const double stretch = (camera.frameHeight / height) / (camera.frameWidth / width);
    const QString stretched =
        width > 0 && height > 0 && std::abs(stretch - 1.0) > 0.01
            ? tr(" The view stretches the photograph's heights by %1%: give the window the "
                 "photograph's proportions to draw heights as the camera saw them.")
                  .arg((stretch - 1.0) * 100.0, 0, 'f', 0)
            : QString();
    statusBar()->showMessage(
        tr("Camera from the photograph: %1%2.%3")
            .arg(fov > 0 ? tr("field of view %1 degrees").arg(camera.fieldOfView, 0, 'f', 1)
                         : tr("no focal length"))
            .arg(metadata.hasAltitude ? tr(", eye height %1").arg(camera.eyeHeight, 0, 'f', 1)
                                      : tr(", no altitude"))
            .arg(stretched),
        lockedNoticeMs);
}

// The main window's tracing help: strokes snapped to the horizon of the background photograph.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QStatusBar>

#include "app/mondrelmainwindow.h"
#include "gui/glsketch.h"
#include "tracing/horizonsnap.h"

namespace {

// How long the status bar says what snapping did with a stroke.
constexpr int snapNoticeMs = 6000;

} // namespace

void MondrelMainWindow::buildSnapping() {
    viewSnap_StrokesAction = new QAction(tr("S&nap Strokes to Horizon"), this);
    viewSnap_StrokesAction->setObjectName(QStringLiteral("viewSnap_StrokesAction"));
    viewSnap_StrokesAction->setCheckable(true);
    viewSnap_StrokesAction->setStatusTip(
        tr("While drawing the curve, move each stroke onto the strongest horizon in the "
           "background picture near it (View > Snap Within); the snapped line shows in cyan "
           "and Process Line takes it."));
    viewMenu->addSeparator();
    viewMenu->addAction(viewSnap_StrokesAction);
    viewSnap_WithinMenu = viewMenu->addMenu(tr("Snap &Within"));
    viewSnap_WithinMenu->setObjectName(QStringLiteral("viewSnap_WithinMenu"));
    auto* bands = new QActionGroup(this);
    for (const int band : {12, 24, 48}) {
        QAction* choice = viewSnap_WithinMenu->addAction(tr("%1 Pixels").arg(band));
        choice->setCheckable(true);
        choice->setChecked(band == snapBand_);
        choice->setStatusTip(
            tr("Look for the horizon up to %1 pixels above and below each stroke.").arg(band));
        bands->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, band] {
            snapBand_ = band;
            snapStroke();
        });
    }
    // A stroke drawn before the switch was turned on snaps at once; off, it is as drawn.
    connect(viewSnap_StrokesAction, &QAction::toggled, this, [this] { snapStroke(); });
    connect(sketchView, &GLSketch::strokeBegun, this, [this] { forgetSnappedStroke(); });
    connect(sketchView, &GLSketch::strokeEnded, this, &MondrelMainWindow::snapStroke);
}

void MondrelMainWindow::forgetSnappedStroke() {
    snappedStroke_.clear();
    sketchView->setSnappedLine({});
}

void MondrelMainWindow::snapStroke() {
    SketchModel::PointList line = session_.model().stroke();
    const PngImage& image = sketchView->backgroundImage();
    if (!viewSnap_StrokesAction->isChecked() || session_.stage() != Stage::curveDrawing ||
        line.empty() || image.rgb.empty()) {
        forgetSnappedStroke();
        return;
    }
    // The line Process Line would make of the stroke, over the picture as it lies under the
    // drawing: stretched to the view, one picture pixel per drawing pixel.
    SketchModel::cleanStroke(line);
    const PhotoView shown{image.rgb.data(), static_cast<int>(image.width),
                          static_cast<int>(image.height), 3};
    const GreyPhoto under =
        greyPhotoAtSize(shown, session_.model().viewWidth(), session_.model().viewHeight());
    HorizonSnapSettings settings;
    settings.band = snapBand_;
    snappedStroke_ = snapToHorizon(under.view(), line, settings);
    sketchView->setSnappedLine(snappedStroke_);
    if (snappedStroke_ == line)
        statusBar()->showMessage(
            tr("No clear horizon near the stroke: Process Line takes it as drawn."), snapNoticeMs);
}

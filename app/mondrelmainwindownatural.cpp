// The main window's natural view and heightmap export: "View > Natural Terrain", the
// settings panel beside the view, the previews built off the window's thread, and
// "File > Export Heightmap..." run in the background with a progress box.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>

#include "app/backgroundwork.h"
#include "app/mondrelmainwindow.h"
#include "app/naturalpanel.h"
#include "app/userprompts.h"
#include "gui/glsketch.h"
#include "heightmap/exportchecks.h"
#include "sketch/failurereasons.h"
#include "sketch/terrainsave.h"

namespace {

QAction* makeNamedAction(QObject* parent, const char* name, const QString& text) {
    auto* action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

// The one stage where the natural terrain means something: the terrain is complete.
bool naturalStage(const SketchSession& session) {
    return session.stage() == Stage::rowRefinement;
}

// How long the status bar says that an export was cancelled.
constexpr int cancelNoticeMs = 8000;

} // namespace

// ---- The view menu and the panel

void MondrelMainWindow::buildViewMenu() {
    viewNatural_TerrainAction =
        makeNamedAction(this, "viewNatural_TerrainAction", tr("&Natural Terrain"));
    viewNatural_TerrainAction->setCheckable(true);
    viewNatural_TerrainAction->setEnabled(false);
    viewNatural_TerrainAction->setStatusTip(
        tr("In stage 4 (row refinement), show the natural terrain (both flanks, detail and "
           "erosion) in colour; Export Heightmap then writes it."));
    viewNatural_SettingsAction =
        makeNamedAction(this, "viewNatural_SettingsAction", tr("Natural Terrain &Settings..."));
    viewNatural_SettingsAction->setStatusTip(
        tr("Show the natural terrain's settings beside the view."));
    viewTop_ViewAction = makeNamedAction(this, "viewTop_ViewAction", tr("&Top View"));
    viewTop_ViewAction->setCheckable(true);
    viewTop_ViewAction->setEnabled(false);
    viewTop_ViewAction->setStatusTip(
        tr("See the natural terrain from straight above and drag or draw where the front "
           "range's divide runs."));
    viewReset_Divide_CourseAction =
        makeNamedAction(this, "viewReset_Divide_CourseAction", tr("Reset Divide Course"));
    viewReset_Divide_CourseAction->setEnabled(false);
    viewReset_Divide_CourseAction->setStatusTip(
        tr("Forget the course drawn for the front range's divide: it wanders by itself again."));
    viewMenu = new QMenu(tr("&View"), this);
    viewMenu->setObjectName(QStringLiteral("viewMenu"));
    viewMenu->addAction(viewNatural_TerrainAction);
    viewMenu->addAction(viewNatural_SettingsAction);
    viewMenu->addAction(viewTop_ViewAction);
    viewMenu->addAction(viewReset_Divide_CourseAction);
    mainMenuBar->addMenu(viewMenu);
    // triggered, not toggled: only the user's click is a change of the session.
    connect(viewNatural_TerrainAction, &QAction::triggered, this,
            &MondrelMainWindow::naturalViewToggled);
    connect(viewNatural_SettingsAction, &QAction::triggered, this,
            &MondrelMainWindow::editNaturalSettings);
    connect(viewTop_ViewAction, &QAction::triggered, this, &MondrelMainWindow::topViewToggled);
    connect(viewReset_Divide_CourseAction, &QAction::triggered, this,
            &MondrelMainWindow::resetDivideCourse);
}

void MondrelMainWindow::buildNaturalPanel() {
    work_ = new BackgroundTask(this);
    previews_ = new NaturalPreviewBuilder(this);
    connect(previews_, &NaturalPreviewBuilder::built, this,
            &MondrelMainWindow::naturalPreviewBuilt);
    connect(previews_, &NaturalPreviewBuilder::failed, this, [this](const QString& reason) {
        pendingPreview_ = PreviewKey();
        statusBar()->showMessage(tr("No natural terrain: %1").arg(reason), cancelNoticeMs);
    });
    naturalPanel = new NaturalPanel(this);
    addDockWidget(Qt::RightDockWidgetArea, naturalPanel);
    naturalPanel->hide();
    connect(naturalPanel, &NaturalPanel::changing, this,
            &MondrelMainWindow::naturalSettingsChanging);
    connect(naturalPanel, &NaturalPanel::settled, this, &MondrelMainWindow::naturalSettingsSettled);
    connect(naturalPanel, &NaturalPanel::lookChanged, sketchView, &GLSketch::setNaturalLook);
    connect(naturalPanel, &NaturalPanel::topViewToggled, this, &MondrelMainWindow::topViewToggled);
    connect(sketchView, &GLSketch::divideCourseEdited, this,
            &MondrelMainWindow::divideCourseEdited);
}

void MondrelMainWindow::topViewToggled(bool on) {
    sketchView->setTopView(on);
    if (on)
        sketchView->resetView();
    showSessionChange();
}

void MondrelMainWindow::divideCourseEdited(std::vector<gmVector2> course) {
    std::string reason;
    bool set = true;
    runModelStep(tr("Divide Course"),
                 [&] { set = session_.setDivideCourse(0, std::move(course), reason); });
    if (!set)
        prompts_->inform(
            tr("The divide keeps its course: %1.").arg(QString::fromStdString(reason)));
}

void MondrelMainWindow::resetDivideCourse() {
    std::string reason;
    bool set = true;
    runModelStep(tr("Reset Divide Course"), [&] { set = session_.setDivideCourse(0, {}, reason); });
    if (!set)
        prompts_->inform(
            tr("The divide keeps its course: %1.").arg(QString::fromStdString(reason)));
}

void MondrelMainWindow::editNaturalSettings() {
    naturalPanel->show();
    naturalPanel->raise();
}

void MondrelMainWindow::naturalViewToggled(bool on) {
    if (on == session_.model().naturalTerrain())
        return;
    frameNaturalOnArrival_ = on;
    runModelStep(on ? tr("Natural Terrain On") : tr("Natural Terrain Off"),
                 [this, on] { session_.setNaturalTerrain(on); });
    // A natural terrain already at hand is framed at once.
    if (on && sketchView->showingNaturalTerrain() && shownPreview_.full) {
        frameNaturalOnArrival_ = false;
        sketchView->resetView();
    }
}

void MondrelMainWindow::showNaturalState(bool coarseOnly) {
    const SketchModel& model = session_.model();
    const bool meaningful = naturalStage(session_);
    viewNatural_TerrainAction->setEnabled(meaningful);
    {
        const QSignalBlocker quiet(viewNatural_TerrainAction);
        viewNatural_TerrainAction->setChecked(model.naturalTerrain());
    }
    if (!naturalDragging_)
        naturalPanel->showSettings(model.naturalSettings());
    sketchView->setNaturalView(model.naturalTerrain());
    {
        // The top view is one of the natural view's ways of looking: off without it.
        const bool topMeaningful = meaningful && model.naturalTerrain();
        if (!topMeaningful && sketchView->topView())
            sketchView->setTopView(false);
        const QSignalBlocker quietAction(viewTop_ViewAction);
        const QSignalBlocker quietButton(naturalPanel->topView);
        viewTop_ViewAction->setEnabled(topMeaningful);
        viewTop_ViewAction->setChecked(sketchView->topView());
        naturalPanel->topView->setEnabled(topMeaningful);
        naturalPanel->topView->setChecked(sketchView->topView());
        viewReset_Divide_CourseAction->setEnabled(meaningful &&
                                                  !model.layerProperties(0).divideCourse.empty());
    }
    if (!model.naturalTerrain() || !meaningful) {
        previews_->cancel();
        pendingPreview_ = PreviewKey();
        return;
    }
    const std::vector<NaturalRange> ranges = model.naturalRanges();
    const auto sameRanges = [&](const std::vector<NaturalRange>& other) {
        if (other.size() != ranges.size())
            return false;
        for (std::size_t i = 0; i < ranges.size(); ++i)
            if (other[i].depth != ranges[i].depth || other[i].skyline != ranges[i].skyline ||
                other[i].divideCourse != ranges[i].divideCourse)
                return false;
        return true;
    };
    const auto same = [&](const PreviewKey& key) {
        return key.valid && key.settings == model.naturalSettings() && key.grid == model.grid() &&
               sameRanges(key.ranges) && key.camera == model.camera() &&
               key.frontDistance == model.layerProperties(0).distance;
    };
    // Built or being built already.
    if ((same(shownPreview_) && (shownPreview_.full || coarseOnly)) ||
        (same(pendingPreview_) && (pendingPreview_.full || coarseOnly)))
        return;
    std::vector<int> sides;
    if (!same(shownPreview_))
        sides.push_back(coarsePreviewSide);
    if (!coarseOnly)
        sides.push_back(GLSketch::naturalPreviewSide);
    pendingPreview_ = {model.grid(),
                       ranges,
                       model.naturalSettings(),
                       model.camera(),
                       model.layerProperties(0).distance,
                       !coarseOnly,
                       true};
    previews_->request(model, sides);
}

void MondrelMainWindow::naturalPreviewBuilt(std::vector<SketchModel::PointList> grid,
                                            double rowSpacing, double firstNorthing, int side) {
    shownPreview_ = pendingPreview_;
    shownPreview_.full = side == GLSketch::naturalPreviewSide;
    if (shownPreview_.full)
        pendingPreview_ = PreviewKey();
    sketchView->setNaturalGrid(std::move(grid), rowSpacing, firstNorthing);
    if (frameNaturalOnArrival_) {
        frameNaturalOnArrival_ = false;
        sketchView->resetView();
    }
}

void MondrelMainWindow::naturalSettingsChanging(const NaturalSettings& settings) {
    if (!naturalDragging_) {
        naturalDragging_ = true;
        naturalDragStart_ = session_.state();
    }
    std::string error;
    if (!session_.setNaturalSettings(settings, error))
        return;
    showStatusLine();
    showNaturalState(true);
}

void MondrelMainWindow::naturalSettingsSettled(const NaturalSettings& settings) {
    const SketchState before = naturalDragging_ ? naturalDragStart_ : session_.state();
    naturalDragging_ = false;
    naturalDragStart_ = SketchState();
    std::string error;
    if (!session_.setNaturalSettings(settings, error)) {
        prompts_->inform(QString::fromStdString(error));
        showNaturalState();
        return;
    }
    if (before.natural != settings)
        recordModelStep(tr("Natural Terrain Settings"), before);
    showSessionChange();
}

// ---- Heightmap export

void MondrelMainWindow::addExportHeightmapEntry() {
    fileExport_HeightmapAction =
        makeNamedAction(this, "fileExport_HeightmapAction", tr("Export Heightmap..."));
    fileExport_HeightmapAction->setShortcut(QKeySequence(tr("Ctrl+E")));
    fileMenu->addSeparator();
    fileMenu->addAction(fileExport_HeightmapAction);
    connect(fileExport_HeightmapAction, &QAction::triggered, this,
            &MondrelMainWindow::exportHeightmap);
}

void MondrelMainWindow::exportHeightmap() {
    const SketchModel& model = session_.model();
    std::string reason;
    if (work_->running()) {
        prompts_->inform(tr("An export is still being written; wait for it or cancel it."));
        return;
    }
    if (!model.hasTerrainToSave(reason)) {
        prompts_->inform(QString::fromStdString(reason));
        return;
    }
    // Offered under the last export's name, or the last file's without its suffix: the
    // suffix picks the format.
    const QFileInfo last(lastFileName);
    const QString start = !lastExportName_.isEmpty() ? lastExportName_
                          : lastFileName.isEmpty()   ? QString()
                                                     : last.dir().filePath(last.completeBaseName());
    const QString chosen = prompts_->saveFileName(
        tr("Export Heightmap"),
        tr("Heightmaps (*.asc *.png *.r16 *.raw *.exr *.obj);;ESRI ASCII Grid (*.asc);;"
           "16-bit PNG (*.png);;16-bit RAW (*.r16 *.raw);;OpenEXR (*.exr);;Wavefront OBJ (*.obj)"),
        start);
    if (chosen.isEmpty())
        return;
    const std::string name = chosen.toLocal8Bit().toStdString();
    HeightmapExport settings = exportSettings_;
    settings.format = heightmapFormatForFile(name);
    if (settings.format == HeightmapFormat::grd) {
        prompts_->inform(tr("Choose a name ending in .asc, .png, .r16, .raw, .exr or .obj: its "
                            "suffix picks the format."));
        return;
    }
    UserPrompts::NativeSizes native;
    nativeHeightmapSize(model, native.width, native.height);
    nativeNaturalSize(model, native.naturalWidth, native.naturalHeight, settings.raster.scale);
    // The dialog asks again when its scale changes; the model stays as it is while it is open.
    native.naturalAt = [&model](double scale, int& width, int& height) {
        return nativeNaturalSize(model, width, height, scale);
    };
    // What the view shows is what is offered: the natural terrain while it is on.
    bool natural = model.naturalTerrain();
    if (!prompts_->heightmapSettings(settings.format, name, native, settings, natural))
        return;
    // The choice is the project's, kept and undone with it.
    if (natural != model.naturalTerrain())
        runModelStep(natural ? tr("Natural Terrain On") : tr("Natural Terrain Off"),
                     [this, natural] { session_.setNaturalTerrain(natural); });
    lastExportName_ = chosen;
    exportSettings_ = settings;
    // A map named without a folder lies beside the heightmap.
    runExport(chosen, mapsBesideOutput(settings, name));
}

void MondrelMainWindow::runExport(const QString& chosen, const HeightmapExport& settings) {
    // The worker writes from a copy: the user may go on changing the mountain meanwhile, and
    // the file is the mountain as it was when the export was asked for.
    struct Outcome {
        bool saved = false;
        std::string reason;
        ExportReport report;
    };
    auto session = std::make_shared<SketchSession>(session_);
    auto outcome = std::make_shared<Outcome>();
    const std::string name = chosen.toLocal8Bit().toStdString();
    // The saved project is the export's input, as the builder names the project it builds; once
    // the session differs from that file (an edit, a curve opened into it), the file no longer
    // describes what is exported and no input is named.
    const std::string input =
        hasUnsavedChanges() ? std::string() : projectFile_.toLocal8Bit().toStdString();
    const auto job = [session, outcome, name, settings, input](WorkControl& control) {
        HeightmapExport watched = settings;
        watched.progress = [&control](double share) {
            control.permille = static_cast<int>(share * 1000.0);
        };
        watched.cancelled = [&control] { return control.cancelled.load(); };
        outcome->saved = session->exportHeightmap(name, watched, "Mondrel", outcome->reason,
                                                  &outcome->report, input);
    };
    const auto done = [this, chosen, name, outcome](bool) {
        if (outcome->saved) {
            QString text = chosen + tr(" was saved successfully.");
            if (outcome->report.clampedCells > 0)
                text += tr(" %1 of its %2x%3 cells lay outside the height range and were "
                           "clamped to it.")
                            .arg(static_cast<qulonglong>(outcome->report.clampedCells))
                            .arg(outcome->report.width)
                            .arg(outcome->report.height);
            prompts_->inform(text);
        } else if (outcome->reason == exportCancelled || outcome->reason == naturalBuildCancelled) {
            statusBar()->showMessage(
                tr("The export of %1 was cancelled; no file was changed.").arg(chosen),
                cancelNoticeMs);
        } else {
            prompts_->inform(QString::fromStdString(exportFailureText(name, outcome->reason)));
        }
    };
    work_->start(tr("Exporting %1...").arg(QFileInfo(chosen).fileName()), job, done);
}

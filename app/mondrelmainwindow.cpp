#include "app/mondrelmainwindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>

#include "app/dialogprompts.h"
#include "app/fittinglabel.h"
#include "app/sketchhistory.h"
#include "gui/glsketch.h"
#include "gui/profileeditor.h"
#include "printing/printedlines.h"
#include "sketch/statusline.h"
#include "sketch/terrainsave.h"

MondrelMainWindow::MondrelMainWindow(QWidget* parent, const char* name, Qt::WindowFlags fl)
    : QMainWindow(parent, fl), prompts_(std::make_unique<DialogPrompts>(this)) {
    statusBar();
    setObjectName(QString::fromLatin1(name ? name : "MondrelMainWindow"));

    buildWidgets();
    buildMenu();
    buildProjectAndEditMenus();
    addExportHeightmapEntry();
    languageChange();
    resize(QSize(856, 756).expandedTo(minimumSizeHint()));
    fitFirstSizeToScreen();
    makeConnections();
    connectProjectAndEditMenus();
    init();
    buildStatusLine();
    buildViewReset();
}

MondrelMainWindow::~MondrelMainWindow() = default;

void MondrelMainWindow::setPrompts(std::unique_ptr<UserPrompts> prompts) {
    prompts_ = std::move(prompts);
}

namespace {

QPushButton* makeButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QHBoxLayout* makeRow(const char* name) {
    auto* row = new QHBoxLayout();
    row->setObjectName(QString::fromLatin1(name));
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    return row;
}

QAction* makeAction(QObject* parent, const char* name) {
    auto* action = new QAction(parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

void MondrelMainWindow::buildWidgets() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("qt_central_widget"));
    setCentralWidget(central);

    MondrelMainWindowLayout = new QGridLayout(central);
    MondrelMainWindowLayout->setObjectName(QStringLiteral("MondrelMainWindowLayout"));
    MondrelMainWindowLayout->setContentsMargins(8, 8, 8, 8);
    MondrelMainWindowLayout->setSpacing(6);

    gLSketch1 = new GLSketch(central, "gLSketch1");
    // The smallest window still leaves room to draw and to see the terrain.
    gLSketch1->setMinimumSize(320, 240);
    MondrelMainWindowLayout->addWidget(gLSketch1, 0, 0);

    layout21 = makeRow("layout21");
    resetButton = makeButton(central, "resetButton");
    layout21->addWidget(resetButton);
    nextButton = makeButton(central, "nextButton");
    nextButton->setEnabled(true);
    nextButton->setDefault(true);
    nextButton->setAutoDefault(false);
    layout21->addWidget(nextButton);
    MondrelMainWindowLayout->addLayout(layout21, 2, 0);

    layout22 = makeRow("layout22");
    option1Button = makeButton(central, "option1Button");
    option1Button->setMinimumSize(QSize(205, 25));
    layout22->addWidget(option1Button);
    option2Button = makeButton(central, "option2Button");
    option2Button->setMinimumSize(QSize(205, 25));
    layout22->addWidget(option2Button);
    // No range is set: the slider keeps 0 to 99, and its value divided by 100 is the
    // randomness the sketch view stores.
    randomSlider = new QSlider(Qt::Horizontal, central);
    randomSlider->setObjectName(QStringLiteral("randomSlider"));
    randomSlider->setEnabled(false);
    // Wide enough to drag at the window's smallest size: about a pixel per value.
    randomSlider->setMinimumWidth(120);
    layout22->addWidget(randomSlider);
    MondrelMainWindowLayout->addLayout(layout22, 1, 0);
}

void MondrelMainWindow::buildMenu() {
    fileOpen_CurveAction = makeAction(this, "fileOpen_CurveAction");
    fileSave_CurveAction = makeAction(this, "fileSave_CurveAction");
    fileClose_CurveAction = makeAction(this, "fileClose_CurveAction");
    fileOpen_ImageAction = makeAction(this, "fileOpen_ImageAction");
    fileSave_TerrainAction = makeAction(this, "fileSave_TerrainAction");

    MenuBarEditor = new QMenuBar(this);
    MenuBarEditor->setObjectName(QStringLiteral("MenuBarEditor"));
    setMenuBar(MenuBarEditor);

    fileMenu = new QMenu(this);
    fileMenu->addAction(fileOpen_CurveAction);
    fileMenu->addAction(fileSave_CurveAction);
    fileMenu->addAction(fileClose_CurveAction);
    fileMenu->addAction(fileOpen_ImageAction);
    fileMenu->addAction(fileSave_TerrainAction);
    MenuBarEditor->addMenu(fileMenu);
}

void MondrelMainWindow::languageChange() {
    setWindowTitle(tr("Mondrel"));
    resetButton->setText(tr("Reset"));
    resetButton->setShortcut(QKeySequence());
    nextButton->setText(tr("&Next"));
    nextButton->setShortcut(QKeySequence(tr("Alt+N")));
    option1Button->setText(tr("Process Line"));
    option2Button->setText(tr("Clear Curve"));
    fileOpen_CurveAction->setText(tr("&Open Curve"));
    fileSave_CurveAction->setText(tr("&Save Curve"));
    fileClose_CurveAction->setText(tr("&Close Curve"));
    fileOpen_ImageAction->setText(tr("Open &Image"));
    fileSave_TerrainAction->setText(tr("Save &Terrain"));
    fileMenu->setTitle(tr("&File"));
}

void MondrelMainWindow::makeConnections() {
    // Through the window, so that closing the curve is a step of the undo history.
    connect(fileClose_CurveAction, &QAction::triggered, this, &MondrelMainWindow::closeCurve);
    connect(fileOpen_CurveAction, &QAction::triggered, this, &MondrelMainWindow::loadCurveFile);
    connect(fileOpen_ImageAction, &QAction::triggered, this, &MondrelMainWindow::openImage);
    connect(fileSave_CurveAction, &QAction::triggered, this, &MondrelMainWindow::saveCurveFile);
    connect(fileSave_TerrainAction, &QAction::triggered, this, &MondrelMainWindow::saveTerrain);
    connect(gLSketch1, &GLSketch::timeToEnableProfileButtons, this,
            &MondrelMainWindow::profileSelected);
    connect(nextButton, &QPushButton::clicked, this, &MondrelMainWindow::nextPressed);
    connect(option1Button, &QPushButton::clicked, this, &MondrelMainWindow::optionButton1Clicked);
    connect(option2Button, &QPushButton::clicked, this, &MondrelMainWindow::optionButton2Clicked);
    connect(resetButton, &QPushButton::clicked, this, &MondrelMainWindow::resetButtonClicked);
    connect(this, &MondrelMainWindow::saveTerrainSignal, gLSketch1, &GLSketch::exportGRD);
    connect(this, &MondrelMainWindow::loadPNGSignal, gLSketch1, &GLSketch::loadPNG);
    connect(this, &MondrelMainWindow::loadSignal, gLSketch1, &GLSketch::loadCurve);
    connect(this, &MondrelMainWindow::saveSignal, gLSketch1, &GLSketch::saveCurve);
    connect(this, &MondrelMainWindow::updateTerrainProfile, gLSketch1,
            &GLSketch::receiveProfileChange);
    connect(randomSlider, &QSlider::sliderMoved, this, &MondrelMainWindow::sliderMoved);

    connect(gLSketch1, &GLSketch::curveFileFailed, this,
            &MondrelMainWindow::reportCurveFileFailure);
    // A curve file that held fewer points than it declared is loaded, and explained.
    connect(gLSketch1, &GLSketch::curveFilePartlyRead, this,
            &MondrelMainWindow::reportCurveFileFailure);
}

void MondrelMainWindow::init() {
    stage = 0;
    profiler = new profileEditor(this, "profiler", false);
    profiler->setParentWidget(this);
}

// ---- The staged workflow

void MondrelMainWindow::nextPressed() {
    QString message;
    if (gLSketch1->checkStage(message)) {
        const SketchState before = gLSketch1->model().state();
        gLSketch1->next();
        resetUI();
        ++stage;
        switch (stage) {
        case 1:
            drawProfileStage();
            break;
        case 2:
            changeRandomness();
            break;
        case 3:
            refineRows();
            break;
        default:
            break;
        }
        recordModelStep(tr("Next"), before);
    } else {
        prompts_->inform(message);
    }
    printLine("Now at stage %i\n", stage);
}

void MondrelMainWindow::resetUI() {
    option1Button->setEnabled(true);
    option2Button->setEnabled(true);
    resetButton->setEnabled(true);
    resetButton->setText(tr("Reset"));
    profiler->close();
    randomSlider->setEnabled(false);
}

void MondrelMainWindow::drawProfileStage() {
    option1Button->setText(tr("Edit Global Profile"));
    option2Button->setText(tr("Edit Selected Profile"));
    resetButton->setText(tr("Delete Selected Profile"));
    if (!profileIsSelected) {
        option2Button->setEnabled(false);
        resetButton->setEnabled(false);
    }
}

void MondrelMainWindow::drawCurveStage() {
    option1Button->setText(tr("Process Line"));
    option2Button->setText(tr("Clear Curve"));
}

void MondrelMainWindow::changeRandomness() {
    randomSlider->setEnabled(true);
    option1Button->setText(tr("Up"));
    option2Button->setText(tr("Down"));
}

void MondrelMainWindow::refineRows() {
    option1Button->setText(tr("Refine"));
    option2Button->setText(tr("Coarsen"));
    option1Button->setEnabled(false);
    option2Button->setEnabled(false);
    randomSlider->setEnabled(true);
    // The sketch view already refines with 0.2; the slider only shows it.
    randomSlider->setValue(20);
}

void MondrelMainWindow::optionButton1Clicked() {
    printLine("Option button one clicked!\n");
    switch (stage) {
    case 0:
        runModelStep(tr("Process Line"), [this] { gLSketch1->processLine(); });
        break;
    case 1: {
        std::vector<gmVector2> profile;
        gLSketch1->getGlobalProfile(profile);
        openProfileEditor(profile);
        break;
    }
    case 2:
        runModelStep(tr("Drop-Off Up"), [this] { gLSketch1->changeBottomDropOff(true); });
        break;
    default:
        break;
    }
}

void MondrelMainWindow::optionButton2Clicked() {
    printLine("Option button two clicked\n");
    switch (stage) {
    case 0:
        runModelStep(tr("Clear Curve"), [this] { gLSketch1->clearCurve(); });
        break;
    case 1: {
        std::vector<gmVector2> profile;
        gLSketch1->getProfile(profile);
        openProfileEditor(profile);
        break;
    }
    case 2:
        runModelStep(tr("Drop-Off Down"), [this] { gLSketch1->changeBottomDropOff(false); });
        break;
    default:
        break;
    }
}

void MondrelMainWindow::openProfileEditor(const std::vector<gmVector2>& profile) {
    profiler->setProfile(profile);
    profiler->show();
}

void MondrelMainWindow::resetButtonClicked() {
    if (stage == 1)
        runModelStep(tr("Delete Selected Profile"), [this] { gLSketch1->deleteCurrentProfile(); });
}

void MondrelMainWindow::updateProfile(std::vector<gmVector2> profile) {
    const QString step =
        profiler && profiler->isCancelling() ? tr("Cancel Profile Edit") : tr("Profile Edit");
    runModelStep(step, [&] { emit updateTerrainProfile(profile); });
}

void MondrelMainWindow::profileSelected(bool selected) {
    if (stage == 1) {
        option2Button->setEnabled(selected);
        resetButton->setEnabled(selected);
    }
    profileIsSelected = selected;
}

void MondrelMainWindow::sliderMoved(int value) {
    if (stage == 2 || stage == 3) {
        // A drag becomes one step when it ends; a move made without a drag is one by itself.
        if (sliderDragging_)
            gLSketch1->randomnessChanged(value);
        else
            runModelStep(tr("Randomness Change"), [&] { gLSketch1->randomnessChanged(value); });
        printLine("Randomness changed being called\n");
    }
}

// ---- The file commands

void MondrelMainWindow::loadCurveFile() {
    const QString chosen =
        prompts_->openFileName(tr("Open File"), tr("Ascii 2D Curve Format (*.c2d)"), lastFileName);
    if (chosen.isEmpty())
        return;
    lastFileName = chosen;
    runModelStep(tr("Open Curve"), [this] { emit loadSignal(lastFileName); });
}

void MondrelMainWindow::saveCurveFile() {
    const QString chosen =
        prompts_->saveFileName(tr("Save File"), tr("Ascii 2D Curve Format (*.c2d )"), lastFileName);
    if (chosen.isEmpty())
        return;
    lastFileName = chosen;
    if (!lastFileName.contains(QStringLiteral(".c2d")))
        lastFileName += QStringLiteral(".c2d");
    emit saveSignal(lastFileName);
}

void MondrelMainWindow::openImage() {
    const QString chosen = prompts_->openFileName(
        tr("Open PNG File"), tr("Portable Network Graphics (*.png)"), lastFileName);
    if (chosen.isEmpty())
        return;
    lastFileName = chosen;
    bool ok = false;
    QString message;
    emit loadPNGSignal(lastFileName, ok, message);
    if (!ok)
        prompts_->inform(message);
    else
        noteBackgroundImage(lastFileName);
}

void MondrelMainWindow::saveTerrain() {
    // The terrain dialog offers the image's or the curve's name without its suffix.
    lastFileName.remove(QStringLiteral(".png"));
    lastFileName.remove(QStringLiteral(".c2d"));
    const QString chosen = prompts_->saveFileName(tr("Save Terrain GRD File"),
                                                  tr(" Grid Float Format (*.grd)"), lastFileName);
    if (chosen.isEmpty())
        return;
    lastFileName = chosen;
    if (!lastFileName.contains(QStringLiteral(".grd")))
        lastFileName += QStringLiteral(".grd");
    bool ok = false;
    QString message;
    emit saveTerrainSignal(lastFileName, ok, message);
    prompts_->inform(ok ? lastFileName + tr(" was saved successfully.") : message);
}

void MondrelMainWindow::reportCurveFileFailure(const QString& message) {
    prompts_->inform(message);
}

// ---- Heightmap export

void MondrelMainWindow::addExportHeightmapEntry() {
    fileExport_HeightmapAction = makeAction(this, "fileExport_HeightmapAction");
    fileExport_HeightmapAction->setText(tr("Export Heightmap..."));
    fileExport_HeightmapAction->setShortcut(QKeySequence(tr("Ctrl+E")));
    fileMenu->addSeparator();
    fileMenu->addAction(fileExport_HeightmapAction);
    connect(fileExport_HeightmapAction, &QAction::triggered, this,
            &MondrelMainWindow::exportHeightmap);
}

void MondrelMainWindow::exportHeightmap() {
    const SketchModel& model = gLSketch1->model();
    std::string reason;
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
    int nativeWidth = 0, nativeHeight = 0;
    nativeHeightmapSize(model, nativeWidth, nativeHeight);
    if (!prompts_->heightmapSettings(settings.format, nativeWidth, nativeHeight, settings))
        return;
    lastExportName_ = chosen;
    exportSettings_ = settings;

    settings.source = terrainSource(model, "Mondrel", gLSketch1->curveFile());
    ExportReport report;
    if (!saveTerrainAs(model, name, settings, reason, &report)) {
        prompts_->inform(tr("%1 was not saved: %2.").arg(chosen, QString::fromStdString(reason)));
        return;
    }
    QString text = chosen + tr(" was saved successfully.");
    if (report.clampedCells > 0)
        text += tr(" %1 of its %2x%3 cells lay outside the height range and were clamped to it.")
                    .arg(static_cast<qulonglong>(report.clampedCells))
                    .arg(report.width)
                    .arg(report.height);
    prompts_->inform(text);
}

// ---- Guidance, view reset and the first size

void MondrelMainWindow::buildStatusLine() {
    statusLine_ = new FittingLabel(statusBar());
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusBar()->addWidget(statusLine_, 1);
    connect(gLSketch1, &GLSketch::modelChanged, this, &MondrelMainWindow::showStatusLine);
    showStatusLine();
}

void MondrelMainWindow::showStatusLine() {
    const SketchModel& model = gLSketch1->model();
    const StatusText guidance = stageGuidance(model.stage());
    const StatusText values = modelValues(model);
    statusLine_->setParts(
        QString::fromStdString(guidance.full), QString::fromStdString(guidance.compact),
        QString::fromStdString(values.full), QString::fromStdString(values.compact));
}

QString MondrelMainWindow::statusText() const {
    return statusLine_->fullText();
}

void MondrelMainWindow::buildViewReset() {
    // Home answers wherever the keyboard focus is in the window.
    viewResetAction_ = new QAction(this);
    viewResetAction_->setObjectName(QStringLiteral("viewResetAction"));
    viewResetAction_->setShortcut(QKeySequence(Qt::Key_Home));
    viewResetAction_->setShortcutContext(Qt::WindowShortcut);
    addAction(viewResetAction_);
    connect(viewResetAction_, &QAction::triggered, gLSketch1, &GLSketch::resetView);
}

void MondrelMainWindow::fitFirstSizeToScreen() {
    // On a small screen, or a large scale factor, the first size could reach past the
    // screen's edges and hide the buttons: the window then starts maximised.
    const QScreen* shownOn = screen();
    if (!shownOn)
        return;
    const QSize room = shownOn->availableGeometry().size();
    if (width() <= room.width() && height() <= room.height())
        return;
    resize(size().boundedTo(room).expandedTo(minimumSizeHint()));
    setWindowState(windowState() | Qt::WindowMaximized);
}

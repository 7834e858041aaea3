#include "app/mondrelmainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QUndoStack>

#include "app/dialogprompts.h"
#include "app/fittinglabel.h"
#include "app/sketchhistory.h"
#include "gui/glsketch.h"
#include "gui/profileeditor.h"
#include "printing/printedlines.h"
#include "sketch/failurereasons.h"
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
    buildViewMenu();
    buildSnapping();
    buildNaturalPanel();
    buildLayerPanel();
    setTexts();
    resize(QSize(856, 756).expandedTo(minimumSizeHint()));
    fitFirstSizeToScreen();
    makeConnections();
    connectProjectAndEditMenus();
    buildStatusLine();
    buildViewReset();
    showTitle();
}

MondrelMainWindow::~MondrelMainWindow() {
    // The undo stack, a child, says it is clean as it goes: the title is no longer there.
    disconnect(undoStack(), nullptr, this, nullptr);
}

void MondrelMainWindow::setPrompts(std::unique_ptr<UserPrompts> prompts) {
    prompts_ = std::move(prompts);
}

bool MondrelMainWindow::showStartupImage() {
    return sketchView->showStartupImage();
}

namespace {

// How long the status bar says that a background image was reduced.
constexpr int reducedImageNoticeMs = 15000;
// How long the status bar says that a click was not processed as a line.
constexpr int strokeNoticeMs = 10000;

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

    mainLayout_ = new QGridLayout(central);
    mainLayout_->setObjectName(QStringLiteral("mainLayout"));
    mainLayout_->setContentsMargins(8, 8, 8, 8);
    mainLayout_->setSpacing(6);

    sketchView = new GLSketch(session_, central, "sketchView");
    // The smallest window still leaves room to draw and to see the terrain.
    sketchView->setMinimumSize(320, 240);
    mainLayout_->addWidget(sketchView, 0, 0);

    stageButtonRow_ = makeRow("stageButtonRow");
    resetButton = makeButton(central, "resetButton");
    stageButtonRow_->addWidget(resetButton);
    nextButton = makeButton(central, "nextButton");
    nextButton->setEnabled(true);
    nextButton->setDefault(true);
    nextButton->setAutoDefault(false);
    stageButtonRow_->addWidget(nextButton);
    mainLayout_->addLayout(stageButtonRow_, 2, 0);

    optionRow_ = makeRow("optionRow");
    firstOptionButton = makeButton(central, "firstOptionButton");
    firstOptionButton->setMinimumSize(QSize(205, 25));
    optionRow_->addWidget(firstOptionButton);
    secondOptionButton = makeButton(central, "secondOptionButton");
    secondOptionButton->setMinimumSize(QSize(205, 25));
    optionRow_->addWidget(secondOptionButton);
    // No range is set: the slider keeps 0 to 99 (RandomnessSlider).
    randomSlider = new QSlider(Qt::Horizontal, central);
    randomSlider->setObjectName(QStringLiteral("randomSlider"));
    randomSlider->setEnabled(false);
    // Wide enough to drag at the window's smallest size: about a pixel per value.
    randomSlider->setMinimumWidth(120);
    optionRow_->addWidget(randomSlider);
    mainLayout_->addLayout(optionRow_, 1, 0);

    profileEditor_ = new ProfileEditor(this, "profiler", false);
}

void MondrelMainWindow::buildMenu() {
    fileOpen_CurveAction = makeAction(this, "fileOpen_CurveAction");
    fileSave_CurveAction = makeAction(this, "fileSave_CurveAction");
    fileClose_CurveAction = makeAction(this, "fileClose_CurveAction");
    fileOpen_ImageAction = makeAction(this, "fileOpen_ImageAction");
    fileSave_TerrainAction = makeAction(this, "fileSave_TerrainAction");

    mainMenuBar = new QMenuBar(this);
    mainMenuBar->setObjectName(QStringLiteral("mainMenuBar"));
    setMenuBar(mainMenuBar);

    fileMenu = new QMenu(this);
    fileMenu->addAction(fileOpen_CurveAction);
    fileMenu->addAction(fileSave_CurveAction);
    fileMenu->addAction(fileClose_CurveAction);
    fileMenu->addAction(fileOpen_ImageAction);
    fileMenu->addAction(fileSave_TerrainAction);
    mainMenuBar->addMenu(fileMenu);
}

void MondrelMainWindow::setTexts() {
    setWindowTitle(tr("Mondrel"));
    resetButton->setText(tr("Reset"));
    resetButton->setShortcut(QKeySequence());
    nextButton->setText(tr("&Next"));
    nextButton->setShortcut(QKeySequence(tr("Alt+N")));
    firstOptionButton->setText(tr("Process Line"));
    secondOptionButton->setText(tr("Clear Curve"));
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
    connect(nextButton, &QPushButton::clicked, this, &MondrelMainWindow::nextPressed);
    nextButton->installEventFilter(this);
    connect(firstOptionButton, &QPushButton::clicked, this, &MondrelMainWindow::firstOptionClicked);
    connect(secondOptionButton, &QPushButton::clicked, this,
            &MondrelMainWindow::secondOptionClicked);
    connect(resetButton, &QPushButton::clicked, this, &MondrelMainWindow::resetButtonClicked);
    connect(randomSlider, &QSlider::sliderMoved, this, &MondrelMainWindow::sliderMoved);

    // What the view reports goes to the session; strokes are not undo steps of their own.
    connect(sketchView, &GLSketch::resized, this,
            [this](int width, int height) { session_.setViewSize(width, height); });
    connect(sketchView, &GLSketch::strokeBegun, this, &MondrelMainWindow::beginStroke);
    connect(sketchView, &GLSketch::strokeExtended, this,
            [this](double x, double y) { session_.extendStroke(x, y); });
    connect(sketchView, &GLSketch::viewTurned, this, &MondrelMainWindow::showTitle);
    connect(sketchView, &GLSketch::columnPointedAt, this, &MondrelMainWindow::columnPointedAt);
    connect(sketchView, &GLSketch::imageReduced, this, &MondrelMainWindow::noteReducedImage);
    connect(profileEditor_, &ProfileEditor::profileEdited, this, &MondrelMainWindow::profileEdited);
}

// ---- The staged workflow

void MondrelMainWindow::showSessionChange() {
    showStatusLine();
    showLayerState();
    showNaturalState();
    sketchView->updateGL();
}

void MondrelMainWindow::showStageControls(bool withSliderValue) {
    const StageControls shown = session_.controls();
    const auto show = [this](QPushButton* button, const StageControls::Button& meaning) {
        button->setText(tr(meaning.caption));
        button->setEnabled(meaning.enabled);
        button->setStatusTip(tr(meaning.statusTip));
    };
    show(firstOptionButton, shown.firstOption);
    show(secondOptionButton, shown.secondOption);
    show(resetButton, shown.reset);
    randomSlider->setEnabled(shown.sliderEnabled);
    if (withSliderValue)
        randomSlider->setValue(shown.sliderValue);
}

void MondrelMainWindow::nextPressed() {
    std::string reason;
    const SketchState before = session_.state();
    if (session_.next(reason)) {
        profileEditor_->close();
        showStageControls(true);
        recordModelStep(tr("Next"), before);
        showSessionChange();
    } else {
        prompts_->inform(QString::fromStdString(reason));
    }
    printLine("Now at stage %i\n", currentStage());
}

bool MondrelMainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The second press of a double-click is a press of its own and would click "Next" a second
    // time, skipping a stage. The window system's times tell it from a deliberate second click.
    if (watched != nextButton)
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const quint64 at = static_cast<QMouseEvent*>(event)->timestamp();
        const quint64 interval = static_cast<quint64>(QApplication::doubleClickInterval());
        ignoringNextClick_ =
            nextPressedBefore_ && at >= lastNextPress_ && at - lastNextPress_ < interval;
        nextPressedBefore_ = true;
        lastNextPress_ = at;
        return ignoringNextClick_;
    }
    case QEvent::MouseButtonDblClick:
        return true;
    case QEvent::MouseButtonRelease:
        if (ignoringNextClick_) {
            ignoringNextClick_ = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MondrelMainWindow::firstOptionClicked() {
    printLine("Option button one clicked!\n");
    runCommand(session_.controls().firstOption.command);
}

void MondrelMainWindow::secondOptionClicked() {
    printLine("Option button two clicked\n");
    runCommand(session_.controls().secondOption.command);
}

void MondrelMainWindow::resetButtonClicked() {
    runCommand(session_.controls().reset.command);
}

void MondrelMainWindow::runCommand(SketchCommand command) {
    switch (command) {
    case SketchCommand::none:
        return;
    case SketchCommand::editGlobalProfile:
        openProfileEditor(true);
        return;
    case SketchCommand::editSelectedProfile:
        openProfileEditor(false);
        return;
    case SketchCommand::fitDrawing:
        sketchView->resetView();
        return;
    case SketchCommand::processLine:
        processLine();
        return;
    case SketchCommand::resetStageSettings:
    case SketchCommand::clearCurve:
    case SketchCommand::dropOffUp:
    case SketchCommand::dropOffDown:
    case SketchCommand::deleteSelectedProfile:
        break;
    }
    runModelStep(tr(commandStepName(command)), [this, command] {
        switch (command) {
        case SketchCommand::resetStageSettings:
            session_.resetStageSettings();
            break;
        case SketchCommand::clearCurve:
            if (!session_.clearCurve())
                noteLockedLayer();
            break;
        case SketchCommand::dropOffUp:
        case SketchCommand::dropOffDown:
            session_.changeBottomDropOff(command == SketchCommand::dropOffUp);
            break;
        case SketchCommand::deleteSelectedProfile:
            session_.deleteSelectedProfile();
            break;
        default:
            break;
        }
    });
    if (command == SketchCommand::resetStageSettings)
        showStageControls(true);
}

void MondrelMainWindow::processLine() {
    // The smallest line is as long on screen at every zoom.
    const double minimumExtent =
        SketchModel::minimumStrokeExtent / std::max(1.0, sketchView->drawingView().zoom);
    SketchModel::StrokeResult result = SketchModel::StrokeResult::processed;
    runModelStep(tr(commandStepName(SketchCommand::processLine)), [&] {
        if (!snappedStroke_.empty() && !session_.model().stroke().empty())
            session_.replaceStroke(snappedStroke_);
        result = session_.processLine(minimumExtent);
    });
    forgetSnappedStroke();
    if (result == SketchModel::StrokeResult::tooShort)
        statusBar()->showMessage(tr("A click is not a line: nothing was processed, the curve is "
                                    "unchanged. Drag across the picture to draw the mountain's "
                                    "outline."),
                                 strokeNoticeMs);
    else if (result == SketchModel::StrokeResult::locked)
        noteLockedLayer();
}

void MondrelMainWindow::openProfileEditor(bool global) {
    if (!session_.beginProfileEdit(global))
        return;
    profileEditor_->setProfile(global ? session_.globalProfile() : session_.selectedProfile());
    profileEditor_->setEditedProfile(session_.editedColumn(), session_.ownColumnProfiles());
    profileEditor_->show();
}

void MondrelMainWindow::profileEdited(std::vector<gmVector2> profile) {
    // Cancel goes back to everything as it was when the editor opened, the column profiles a
    // global edit replaced included; the profile the editor sends back is the opened one.
    if (profileEditor_->isCancelling())
        runModelStep(tr("Cancel Profile Edit"), [this] { session_.cancelProfileEdit(); });
    else
        runModelStep(tr("Profile Edit"), [&] { session_.editProfile(profile); });
}

void MondrelMainWindow::columnPointedAt(double modelX, bool press) {
    const int before = session_.model().currentProfile();
    session_.pickColumn(modelX, press);
    if (session_.stage() == Stage::profileSelection)
        showStageControls(false);
    if (session_.model().currentProfile() != before)
        showStatusLine();
}

void MondrelMainWindow::sliderMoved(int value) {
    if (session_.stage() == Stage::randomness || session_.stage() == Stage::rowRefinement) {
        // A drag becomes one step when it ends; a move made without a drag is one by itself.
        if (sliderDragging_) {
            session_.setSliderValue(value);
            showSessionChange();
        } else {
            runModelStep(tr("Randomness Change"), [&] { session_.setSliderValue(value); });
        }
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
    const std::string file = chosen.toLocal8Bit().toStdString();
    bool opened = false;
    std::string message;
    SketchModel::FileOutcome outcome;
    runModelStep(tr("Open Curve"), [&] { opened = session_.openCurve(file, message, &outcome); });
    if (!opened) {
        prompts_->inform(QString::fromStdString(
            outcome.failure.empty() ? withReason(message, outcome.reason) : outcome.failure));
        return;
    }
    // The points that could be read are loaded, as always; the user is told what is missing.
    if (outcome.pointsRead < outcome.declaredPoints)
        prompts_->inform(QString::fromStdString(
            partialCurveNotice(file, outcome.pointsRead, outcome.declaredPoints)));
}

void MondrelMainWindow::saveCurveFile() {
    const QString chosen =
        prompts_->saveFileName(tr("Save File"), tr("Ascii 2D Curve Format (*.c2d )"), lastFileName);
    if (chosen.isEmpty())
        return;
    lastFileName = chosen;
    if (!lastFileName.contains(QStringLiteral(".c2d")))
        lastFileName += QStringLiteral(".c2d");
    std::string message;
    if (!session_.saveCurve(lastFileName.toLocal8Bit().toStdString(), message))
        prompts_->inform(QString::fromStdString(message));
}

void MondrelMainWindow::openImage() {
    const QString chosen = prompts_->openFileName(
        tr("Open PNG File"), tr("Portable Network Graphics (*.png)"), lastFileName);
    if (chosen.isEmpty())
        return;
    lastFileName = chosen;
    bool ok = false;
    QString message;
    sketchView->loadPNG(lastFileName, ok, message);
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
    std::string message;
    const bool ok = session_.saveTerrain(lastFileName.toLocal8Bit().toStdString(), message);
    prompts_->inform(ok ? lastFileName + tr(" was saved successfully.")
                        : QString::fromStdString(message));
}

// ---- Guidance, view reset and the first size

void MondrelMainWindow::buildStatusLine() {
    statusLine_ = new FittingLabel(statusBar());
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusBar()->addWidget(statusLine_, 1);
    showStatusLine();
}

void MondrelMainWindow::showStatusLine() {
    const SketchModel& model = session_.model();
    // The natural view has its own guidance while it is on in the stage where it shows.
    const bool natural = model.naturalTerrain() && session_.stage() == Stage::rowRefinement;
    const StatusText guidance = natural && sketchView->topView() ? topViewGuidance()
                                : natural                        ? naturalViewGuidance()
                                                                 : stageGuidance(model.stage());
    const StatusText values = modelValues(model);
    statusLine_->setParts(
        QString::fromStdString(guidance.full), QString::fromStdString(guidance.compact),
        QString::fromStdString(values.full), QString::fromStdString(values.compact));
}

void MondrelMainWindow::noteReducedImage(const QString& file, int fileWidth, int fileHeight,
                                         int shownWidth, int shownHeight) {
    // Said for a while in place of the guidance: the load itself went well, so no box.
    statusBar()->showMessage(tr("%1 is %2 × %3 pixels; shown reduced to %4 × %5, all the "
                                "detail the screen can show.")
                                 .arg(QFileInfo(file).fileName())
                                 .arg(fileWidth)
                                 .arg(fileHeight)
                                 .arg(shownWidth)
                                 .arg(shownHeight),
                             reducedImageNoticeMs);
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
    connect(viewResetAction_, &QAction::triggered, sketchView, &GLSketch::resetView);
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

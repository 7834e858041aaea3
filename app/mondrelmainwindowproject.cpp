// The main window's project files and undo history: "File > Open Project...",
// "File > Save Project...", the "&Edit" menu, and the question about unsaved changes.
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QUndoStack>

#include "app/backgroundwork.h"
#include "app/mondrelmainwindow.h"
#include "app/sketchhistory.h"
#include "app/userprompts.h"
#include "gui/glsketch.h"
#include "gui/profileeditor.h"
#include "project/projectfile.h"
#include "tracing/photometadata.h"

namespace {

const char* const projectFilter = "Mondrel Project (*.mondrel)";
const char* const projectSuffix = ".mondrel";

std::string fileNameOf(const QString& name) {
    return name.toLocal8Bit().toStdString();
}

} // namespace

void MondrelMainWindow::buildProjectAndEditMenus() {
    history_ = std::make_unique<SketchHistory>(
        this, [this](const SketchState& state) { showHistoryState(state); });

    fileOpen_ProjectAction = new QAction(tr("Open &Project..."), this);
    fileOpen_ProjectAction->setObjectName(QStringLiteral("fileOpen_ProjectAction"));
    fileOpen_ProjectAction->setShortcut(QKeySequence(tr("Ctrl+O")));
    fileSave_ProjectAction = new QAction(tr("Save Pro&ject..."), this);
    fileSave_ProjectAction->setObjectName(QStringLiteral("fileSave_ProjectAction"));
    fileSave_ProjectAction->setShortcut(QKeySequence(tr("Ctrl+S")));
    fileSave_ProjectAsAction = new QAction(tr("Save Project &As..."), this);
    fileSave_ProjectAsAction->setObjectName(QStringLiteral("fileSave_ProjectAsAction"));
    fileSave_ProjectAsAction->setShortcut(QKeySequence(tr("Ctrl+Shift+S")));
    fileMenu->addSeparator();
    fileMenu->addAction(fileOpen_ProjectAction);
    fileMenu->addAction(fileSave_ProjectAction);
    fileMenu->addAction(fileSave_ProjectAsAction);

    // The entries read "&Undo Process Line", "&Redo Next" and so on.
    editUndoAction = history_->stack()->createUndoAction(this, tr("&Undo"));
    editUndoAction->setObjectName(QStringLiteral("editUndoAction"));
    editUndoAction->setShortcut(QKeySequence(tr("Ctrl+Z")));
    editRedoAction = history_->stack()->createRedoAction(this, tr("&Redo"));
    editRedoAction->setObjectName(QStringLiteral("editRedoAction"));
    editRedoAction->setShortcuts({QKeySequence(tr("Ctrl+Shift+Z")), QKeySequence(tr("Ctrl+Y"))});
    editMenu = new QMenu(tr("&Edit"), this);
    editMenu->addAction(editUndoAction);
    editMenu->addAction(editRedoAction);
    mainMenuBar->addMenu(editMenu);
}

void MondrelMainWindow::connectProjectAndEditMenus() {
    connect(fileOpen_ProjectAction, &QAction::triggered, this, &MondrelMainWindow::openProject);
    connect(fileSave_ProjectAction, &QAction::triggered, this, &MondrelMainWindow::saveProject);
    connect(fileSave_ProjectAsAction, &QAction::triggered, this, &MondrelMainWindow::saveProjectAs);
    connect(history_->stack(), &QUndoStack::cleanChanged, this, &MondrelMainWindow::showTitle);
    connect(randomSlider, &QSlider::sliderPressed, this, &MondrelMainWindow::sliderDragStarted);
    connect(randomSlider, &QSlider::sliderReleased, this, &MondrelMainWindow::sliderDragFinished);
}

QUndoStack* MondrelMainWindow::undoStack() const {
    return history_->stack();
}

bool MondrelMainWindow::hasUnsavedChanges() const {
    return !history_->stack()->isClean() || backgroundChanged_ ||
           sketchView->rotX() != savedRotX_ || sketchView->rotY() != savedRotY_;
}

void MondrelMainWindow::showTitle() {
    const QString name = QFileInfo(projectFile_).completeBaseName();
    // Qt shows "[*]" as "*" while the window is modified, and not at all otherwise.
    setWindowTitle(name.isEmpty() ? tr("Mondrel") + QStringLiteral("[*]")
                                  : name + QStringLiteral("[*] - ") + tr("Mondrel"));
    setWindowModified(hasUnsavedChanges());
}

QString MondrelMainWindow::suggestedProjectName() const {
    if (!projectFile_.isEmpty())
        return projectFile_;
    const QString curve = QString::fromLocal8Bit(session_.curveFile().c_str());
    if (!curve.isEmpty()) {
        const QFileInfo info(curve);
        return info.dir().filePath(info.completeBaseName() + QLatin1String(projectSuffix));
    }
    const QString folder =
        lastFileName.isEmpty() ? QDir::currentPath() : QFileInfo(lastFileName).absolutePath();
    return QDir(folder).filePath(tr("mountain") + QLatin1String(projectSuffix));
}

// ---- Undo steps

void MondrelMainWindow::runModelStep(const QString& text, const std::function<void()>& change) {
    const SketchState before = session_.state();
    change();
    recordModelStep(text, before);
    showSessionChange();
}

void MondrelMainWindow::recordModelStep(const QString& text, const SketchState& before) {
    history_->record(text, before, session_.state());
    // A replaced or closed curve takes the selection with it.
    showStageControls(false);
}

void MondrelMainWindow::closeCurve() {
    // Emptying the curve under a terrain would leave a stage where nothing works: the work
    // goes back to drawing a new curve, which Undo brings back.
    const Stage before = session_.stage();
    runModelStep(tr("Close Curve"), [this] { session_.closeCurve(); });
    if (before != Stage::curveDrawing) {
        profileEditor_->close();
        showStageControls(true);
    }
}

void MondrelMainWindow::sliderDragStarted() {
    sliderDragging_ = true;
    sliderDragStart_ = session_.state();
}

void MondrelMainWindow::sliderDragFinished() {
    if (!sliderDragging_)
        return;
    sliderDragging_ = false;
    recordModelStep(tr("Randomness Change"), sliderDragStart_);
    sliderDragStart_ = SketchState();
}

void MondrelMainWindow::showHistoryState(const SketchState& state) {
    // The selection belongs to the session (the editor may be open on it), not to the step.
    SketchState shown = state;
    shown.selectedColumn = session_.model().currentProfile();
    showSketchState(shown);
}

void MondrelMainWindow::showSketchState(const SketchState& state) {
    const Stage before = session_.stage();
    session_.restore(state);
    if (session_.stage() != before)
        profileEditor_->close();
    showStageControls(true);
    showSessionChange();
}

// ---- Project files

bool MondrelMainWindow::settleUnsavedChanges(const QString& beforeWhat) {
    if (!hasUnsavedChanges())
        return true;
    const UserPrompts::UnsavedChoice choice = prompts_->askAboutUnsavedChanges(
        tr("The mountain has changes that are not saved in a project. Save them before %1?")
            .arg(beforeWhat));
    return choice == UserPrompts::UnsavedChoice::discard ||
           (choice == UserPrompts::UnsavedChoice::save && writeProject());
}

void MondrelMainWindow::openProject() {
    // Opening replaces the work as closing the window does, so it asks the same question.
    if (!settleUnsavedChanges(tr("opening another project")))
        return;
    const QString chosen =
        prompts_->openFileName(tr("Open Project"), tr(projectFilter), lastFileName);
    if (chosen.isEmpty())
        return;
    lastFileName = chosen;
    Project project;
    std::string message;
    if (!readProjectFile(fileNameOf(chosen), project, message)) {
        // A curve file is told where it belongs, rather than why it is no project.
        const std::string notice = otherKindNotice(fileNameOf(chosen), FileKind::project);
        prompts_->inform(QString::fromLocal8Bit((notice.empty() ? message : notice).c_str()));
        return;
    }
    profileEditor_->close();
    const SketchState before = session_.state();
    session_.applyProject(project);
    showStageControls(true);
    showSessionChange();
    recordModelStep(tr("Open Project"), before);
    sketchView->setViewAngles(project.rotX, project.rotY);
    savedRotX_ = project.rotX;
    savedRotY_ = project.rotY;
    projectFile_ = chosen;
    history_->stack()->setClean();
    backgroundChanged_ = false;
    showTitle();
    // Last: a located image is a change to the project just opened.
    showProjectImage(chosen, project.backgroundImage);
}

void MondrelMainWindow::saveProject() {
    writeProject();
}

void MondrelMainWindow::saveProjectAs() {
    writeProject(true);
}

bool MondrelMainWindow::writeProject(bool askName) {
    QString target = projectFile_;
    if (askName || target.isEmpty()) {
        const QString chosen =
            prompts_->saveFileName(tr("Save Project"), tr(projectFilter), suggestedProjectName());
        if (chosen.isEmpty())
            return false;
        lastFileName = chosen;
        if (!lastFileName.contains(QLatin1String(projectSuffix)))
            lastFileName += QLatin1String(projectSuffix);
        target = lastFileName;
    }
    const std::string file = fileNameOf(target);
    Project project = session_.project();
    project.rotX = sketchView->rotX();
    project.rotY = sketchView->rotY();
    project.backgroundImage = imageLink_.storedFor(file);
    std::string message;
    if (!writeProjectFile(file, project, message)) {
        prompts_->inform(QString::fromLocal8Bit(message.c_str()));
        return false;
    }
    projectFile_ = target;
    savedRotX_ = project.rotX;
    savedRotY_ = project.rotY;
    history_->stack()->setClean();
    backgroundChanged_ = false;
    showTitle();
    return true;
}

void MondrelMainWindow::showProjectImage(const QString& projectFile, const std::string& stored) {
    const std::string project = fileNameOf(projectFile);
    const QString image = QString::fromLocal8Bit(imagePathFromProject(project, stored).c_str());
    if (image.isEmpty()) {
        if (imageLink_.imageFile().empty() || sketchView->showStartupImage())
            imageLink_.showStartupPicture();
        return;
    }
    bool ok = false;
    QString message;
    sketchView->loadPNG(image, ok, message);
    if (ok) {
        imageLink_.show(fileNameOf(image));
        return;
    }
    // The project keeps pointing at its image, so that saving it does not lose the link.
    imageLink_.keepMissing(project, stored);
    const bool startup = sketchView->showStartupImage();
    // The reason is the second line of the image's own failure text, when it has one.
    const QString reason = message.section(QLatin1Char('\n'), 1);
    QString text = tr("The project's background image %1 cannot be shown").arg(image) +
                   (reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + reason);
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    text += QLatin1Char('\n') + (startup ? tr("The start-up picture is shown instead.")
                                         : tr("The start-up picture cannot be shown either; "
                                              "the picture that was in view stays."));
    text += QLatin1Char('\n') + tr("The project keeps its link to the image when it is saved. "
                                   "\"Locate...\" opens the image where it is now.");
    if (prompts_->offerToLocate(text))
        locateProjectImage();
}

void MondrelMainWindow::locateProjectImage() {
    const QString missing = QString::fromLocal8Bit(imageLink_.imageFile().c_str());
    const QString chosen = prompts_->openFileName(tr("Locate Image"),
                                                  tr("Portable Network Graphics (*.png)"), missing);
    if (chosen.isEmpty())
        return;
    bool ok = false;
    QString message;
    sketchView->loadPNG(chosen, ok, message);
    if (!ok) {
        prompts_->inform(message);
        return;
    }
    // The project now points elsewhere: it has a change to save.
    noteBackgroundImage(chosen);
}

void MondrelMainWindow::noteBackgroundImage(const QString& image) {
    imageLink_.show(fileNameOf(image));
    backgroundChanged_ = true;
    showTitle();
    // A photograph that says how it was taken can set the camera its skylines are seen from.
    PhotoMetadata metadata;
    std::string reason;
    if (readPhotoMetadata(imageLink_.imageFile(), metadata, reason) && metadata.any())
        statusBar()->showMessage(
            tr("The photograph's metadata gives its %1: \"From Photograph\" in the Layers "
               "panel's camera (View > Layers) sets the perspective camera from it.")
                .arg(metadata.hasFocalLength() && metadata.hasAltitude ? tr("lens and altitude")
                     : metadata.hasFocalLength()                       ? tr("lens")
                                                                       : tr("altitude")),
            10000);
}

void MondrelMainWindow::closeEvent(QCloseEvent* event) {
    if (!settleUnsavedChanges(tr("closing"))) {
        event->ignore();
        return;
    }
    // Work still running is cancelled, leaving every file as it was before it began; the
    // window goes at once while the worker reaches its next check.
    if (work_->running())
        hide();
    work_->cancelAndWait();
    previews_->cancel();
    QMainWindow::closeEvent(event);
}

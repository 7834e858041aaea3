// Project files through the window: the terrain the window saves is the one mondrel-build
// makes from the project saved with it; opening a project gives back the work as it was; bad
// files and missing images are reported; unsaved work is not closed without asking.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QUndoStack>
#include <cstdio>

#include "app/layerpanel.h"
#include "gui/glsketch.h"
#include "gui/profileeditor.h"
#include "tests/app/windowfixture.h"

namespace {

QByteArray contentsOf(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const std::vector<std::pair<double, double>> kHollow = {{0.02, 0.98}, {0.2, 0.55}, {0.4, 0.3},
                                                        {0.6, 0.2},   {0.8, 0.1},  {0.98, 0.02}};

} // namespace

class ProjectTest : public WindowTest {
protected:
    // Saves the terrain and the project under name, builds the project with mondrel-build
    // and expects the very same bytes.
    void expectBuilderMakesTheSavedTerrain(const QString& name) {
        const QString terrain = scratch(name + ".grd");
        const QString project = scratch(name + ".mondrel");
        answerAndTrigger(terrain, window_->fileSave_TerrainAction);
        answerAndTrigger(project, window_->fileSave_ProjectAsAction);
        const QString built = scratch(name + "-built.grd");
        QProcess builder;
        builder.start(QStringLiteral(MONDREL_BIN_DIR "/mondrel-build"),
                      {"--quiet", project, built});
        ASSERT_TRUE(builder.waitForFinished(60000));
        ASSERT_EQ(builder.exitCode(), 0) << builder.readAllStandardError().toStdString();
        const QByteArray saved = contentsOf(terrain);
        ASSERT_FALSE(saved.isEmpty()) << prompts_->boxes.join('|').toStdString();
        EXPECT_TRUE(saved == contentsOf(built)) << name.toStdString();
    }

    const SketchModel& model() const { return window_->session().model(); }
};

TEST_F(ProjectTest, TheBuilderMakesTheTerrainTheWindowSavesInEveryStage) {
    goToStage(1);
    ProfileEditor* editor = window_->profileDialog();
    click(window_->firstOptionButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    drawProfile(kHollow);
    ASSERT_TRUE(selectColumn());
    click(window_->secondOptionButton);
    drawProfile({{0.02, 0.98}, {0.5, 0.9}, {0.98, 0.02}});
    click(editor->confirmButton);
    ASSERT_EQ(model().profileIndices().size(), 3u);
    expectBuilderMakesTheSavedTerrain("profiles");

    click(window_->nextButton);
    ASSERT_GT(dragSlider(70), 0);
    for (int i = 0; i < 3; ++i)
        click(window_->firstOptionButton);
    window_->editUndoAction->trigger();
    expectBuilderMakesTheSavedTerrain("randomness");

    click(window_->nextButton);
    ASSERT_GT(dragSlider(-50), 0);
    ASSERT_NE(window_->randomSlider->value(), 20);
    expectBuilderMakesTheSavedTerrain("refined");
    EXPECT_FALSE(window_->hasUnsavedChanges());
}

TEST_F(ProjectTest, OpeningAProjectGivesBackTheWorkAsItWasSaved) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("photos"));
    QImage photo(64, 32, QImage::Format_RGB888);
    photo.fill(Qt::darkCyan);
    ASSERT_TRUE(photo.save(scratch("photos/ridge.png")));
    answerAndTrigger(scratch("photos/ridge.png"), window_->fileOpen_ImageAction);
    goToStage(2);
    ASSERT_GT(dragSlider(60), 0);
    click(window_->secondOptionButton);
    QWidget* view = window_->sketchView;
    const QPoint middle(view->width() / 2, view->height() / 2);
    drag(view, {middle, middle + QPoint(-40, -60), middle + QPoint(-80, -120)});
    const float rotX = window_->sketchView->rotX();
    ASSERT_NE(rotX, 0.0f);
    const auto grid = rowsOf(model().grid());
    const int slider = window_->randomSlider->value();
    const QString first = scratch("range.mondrel");
    answerAndTrigger(scratch("range"), window_->fileSave_ProjectAction);
    EXPECT_TRUE(contentsOf(first).contains("\"backgroundImage\":\"photos/ridge.png\""));

    // Work on, then come back.
    click(window_->nextButton);
    window_->fileClose_CurveAction->trigger();
    window_->sketchView->setViewAngles(0.0f, 0.0f);
    EXPECT_TRUE(window_->hasUnsavedChanges());
    prompts_->unsavedChoice = UserPrompts::UnsavedChoice::discard;
    answerAndTrigger(first, window_->fileOpen_ProjectAction);
    EXPECT_EQ(prompts_->unsavedQuestions.size(), 1);
    EXPECT_EQ(prompts_->questions.back().caption, "Open Project");
    EXPECT_EQ(prompts_->questions.back().filter, "Mondrel Project (*.mondrel)");
    EXPECT_TRUE(prompts_->boxes.isEmpty()) << prompts_->boxes.join('|').toStdString();
    EXPECT_EQ(window_->currentStage(), 2);
    EXPECT_EQ(window_->firstOptionButton->text(), "Up");
    EXPECT_TRUE(window_->randomSlider->isEnabled());
    EXPECT_EQ(window_->randomSlider->value(), slider);
    EXPECT_EQ(window_->sketchView->rotX(), rotX);
    EXPECT_EQ(window_->sketchView->textureWidth(), 64);
    EXPECT_TRUE(rowsOf(model().grid()) == grid);
    EXPECT_FALSE(window_->hasUnsavedChanges());
    EXPECT_EQ(window_->editUndoAction->text(), "&Undo Open Project");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    saveShot(window_.get(), "project-opened.png");

    const QString second = scratch("again.mondrel");
    answerAndTrigger(second, window_->fileSave_ProjectAsAction);
    EXPECT_EQ(contentsOf(second), contentsOf(first));

    // Undoing the opening goes back to the closed curve, and with it to curve drawing.
    window_->editUndoAction->trigger();
    EXPECT_EQ(window_->currentStage(), 0);
    EXPECT_TRUE(model().curve().empty());
    EXPECT_TRUE(window_->hasUnsavedChanges());
}

TEST_F(ProjectTest, AMovedImageIsReportedKeptInTheProjectAndCanBeLocated) {
    ASSERT_TRUE(QDir(dir_.path()).mkpath("photos"));
    QImage photo(64, 32, QImage::Format_RGB888);
    photo.fill(Qt::darkCyan);
    ASSERT_TRUE(photo.save(scratch("photos/photo.png")));
    answerAndTrigger(scratch("photos/photo.png"), window_->fileOpen_ImageAction);
    drawMountain(); // traced in stage 0, where the picture is in view
    const QString project = scratch("hill.mondrel");
    answerAndTrigger(project, window_->fileSave_ProjectAction);
    const QByteArray saved = contentsOf(project);
    ASSERT_TRUE(QDir(dir_.path()).mkpath("moved"));
    ASSERT_TRUE(QFile::rename(scratch("photos/photo.png"), scratch("moved/photo.png")));

    answerAndTrigger(project, window_->fileOpen_ProjectAction);
    ASSERT_EQ(prompts_->boxes.size(), 1);
    EXPECT_TRUE(prompts_->boxes[0].contains(scratch("photos/photo.png")))
        << prompts_->boxes[0].toStdString();
    EXPECT_TRUE(prompts_->boxes[0].contains("start-up picture is shown instead"));
    EXPECT_EQ(window_->sketchView->textureWidth(), 800);
    const QImage shown = window_->sketchView->grabFramebuffer();
    EXPECT_NE(shown.pixelColor(4, 4), QColor(Qt::darkCyan));
    EXPECT_FALSE(window_->hasUnsavedChanges());
    answerAndTrigger(project, window_->fileSave_ProjectAction);
    EXPECT_EQ(contentsOf(project), saved); // the link survives

    // Located, the image is shown and the project points at it from then on.
    prompts_->locate = true;
    prompts_->answers = QStringList{project, scratch("moved/photo.png")};
    window_->fileOpen_ProjectAction->trigger();
    EXPECT_EQ(prompts_->questions.back().caption, "Locate Image");
    EXPECT_EQ(prompts_->questions.back().start, scratch("photos/photo.png"));
    EXPECT_EQ(window_->sketchView->textureWidth(), 64);
    EXPECT_TRUE(window_->hasUnsavedChanges());
    answerAndTrigger(project, window_->fileSave_ProjectAction);
    EXPECT_TRUE(contentsOf(project).contains("\"backgroundImage\":\"moved/photo.png\""));
}

TEST_F(ProjectTest, ABadProjectIsRefusedWithOneBoxAndTheWorkStays) {
    goToStage(2);
    click(window_->firstOptionButton);
    const auto grid = rowsOf(model().grid());
    const int steps = window_->undoStack()->index();
    QFile bad(scratch("bad.mondrel"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("{\"format\": \"Mondrel project\", \"version\": 1, \"stage\": 9}");
    bad.close();

    prompts_->unsavedChoice = UserPrompts::UnsavedChoice::discard;
    answerAndTrigger(scratch("bad.mondrel"), window_->fileOpen_ProjectAction);
    ASSERT_EQ(prompts_->boxes.size(), 1);
    EXPECT_TRUE(
        prompts_->boxes[0].startsWith("Cannot open the project " + scratch("bad.mondrel") + ": "))
        << prompts_->boxes[0].toStdString();
    EXPECT_EQ(window_->currentStage(), 2);
    EXPECT_TRUE(rowsOf(model().grid()) == grid);
    EXPECT_EQ(window_->undoStack()->index(), steps);
}

TEST_F(ProjectTest, OpeningAProjectOverUnsavedChangesAsksFirst) {
    goToStage(1);
    answerAndTrigger(scratch("first"), window_->fileSave_ProjectAction);
    click(window_->nextButton);
    ASSERT_TRUE(window_->hasUnsavedChanges());

    // Cancel: no file is asked for and the work stays.
    window_->fileOpen_ProjectAction->trigger();
    ASSERT_EQ(prompts_->unsavedQuestions.size(), 1);
    EXPECT_TRUE(prompts_->unsavedQuestions[0].contains("Save them before opening"));
    const size_t asked = prompts_->questions.size();
    EXPECT_EQ(window_->currentStage(), 2);

    // Save, then open: the work is in its project (its own file, no name asked) before the
    // opened one replaces it.
    prompts_->unsavedChoice = UserPrompts::UnsavedChoice::save;
    prompts_->answers << scratch("first.mondrel");
    window_->fileOpen_ProjectAction->trigger();
    EXPECT_EQ(prompts_->questions.size(), asked + 1);
    EXPECT_TRUE(contentsOf(scratch("first.mondrel")).contains("\"stage\":2"));
    EXPECT_EQ(window_->currentStage(), 2);
    EXPECT_FALSE(window_->hasUnsavedChanges());
}

TEST_F(ProjectTest, ClosingWithUnsavedChangesAsksFirst) {
    goToStage(1);
    ASSERT_TRUE(window_->hasUnsavedChanges());
    window_->close();
    EXPECT_EQ(prompts_->unsavedQuestions.size(), 1); // answered Cancel
    EXPECT_TRUE(window_->isVisible());

    prompts_->unsavedChoice = UserPrompts::UnsavedChoice::save; // and the dialog is cancelled
    window_->close();
    EXPECT_TRUE(window_->isVisible());

    prompts_->answers.append(scratch("kept"));
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(contentsOf(scratch("kept.mondrel")).startsWith("{\"format\":\"Mondrel project\""));
    EXPECT_EQ(prompts_->unsavedQuestions.size(), 3);

    // Saved work closes without a question; a change after the save asks again, and Discard
    // closes.
    window_->show();
    window_->close();
    EXPECT_EQ(prompts_->unsavedQuestions.size(), 3);
    window_->show();
    click(window_->nextButton);
    prompts_->unsavedChoice = UserPrompts::UnsavedChoice::discard;
    window_->close();
    EXPECT_EQ(prompts_->unsavedQuestions.size(), 4);
    EXPECT_FALSE(window_->isVisible());
}

// "Export Heightmap..." with "Natural terrain" ticked writes the natural terrain, the very bytes
// mondrel-build writes from the saved project; the choice is an undo step.
TEST_F(ProjectTest, TheNaturalExportIsTheBuildersAndIsUndone) {
    goToStage(3);
    prompts_->settingsAnswers.push_back({RasterOptions{129, 97, 1.0}, std::nullopt, true});
    const QString exported = scratch("natural.asc");
    answerAndTrigger(exported, window_->fileExport_HeightmapAction);
    EXPECT_TRUE(prompts_->boxes.takeLast().startsWith(exported + " was saved successfully"));
    EXPECT_TRUE(model().naturalTerrain());
    const QString project = scratch("natural.mondrel");
    answerAndTrigger(project, window_->fileSave_ProjectAction);

    const QString built = scratch("natural-built.asc");
    QProcess builder;
    builder.start(QStringLiteral(MONDREL_BIN_DIR "/mondrel-build"),
                  {"--quiet", "--size", "129x97", project, built});
    ASSERT_TRUE(builder.waitForFinished(60000));
    ASSERT_EQ(builder.exitCode(), 0) << builder.readAllStandardError().toStdString();
    const QByteArray saved = contentsOf(exported);
    ASSERT_TRUE(saved.startsWith("ncols 129\nnrows 97\n"));
    EXPECT_TRUE(saved == contentsOf(built));

    // Once the project is saved, the metadata names it as the builder's does; nothing but the
    // file and the program tell the two apart. Seen through a perspective camera too.
    window_->layerPanel->cameraKind->setCurrentIndex(1);
    ASSERT_TRUE(model().camera().perspective());
    window_->fileSave_ProjectAction->trigger();
    prompts_->settingsAnswers.push_back({RasterOptions{129, 97, 1.0}, std::nullopt, true});
    answerAndTrigger(scratch("natural.r16"), window_->fileExport_HeightmapAction);
    builder.start(QStringLiteral(MONDREL_BIN_DIR "/mondrel-build"),
                  {"--quiet", "--size", "129x97", project, scratch("natural-built.r16")});
    ASSERT_TRUE(builder.waitForFinished(60000));
    QJsonObject windows = QJsonDocument::fromJson(contentsOf(scratch("natural.r16.json"))).object();
    QJsonObject builders =
        QJsonDocument::fromJson(contentsOf(scratch("natural-built.r16.json"))).object();
    EXPECT_EQ(windows["source"].toObject()["input"].toString(), project);
    for (QJsonObject* meta : {&windows, &builders}) {
        meta->remove("file");
        QJsonObject source = (*meta)["source"].toObject();
        source.remove("program");
        (*meta)["source"] = source;
    }
    EXPECT_EQ(windows, builders);
    EXPECT_TRUE(contentsOf(scratch("natural.r16")) == contentsOf(scratch("natural-built.r16")));

    EXPECT_EQ(window_->editUndoAction->text(), "&Undo Camera");
    window_->editUndoAction->trigger();
    EXPECT_EQ(window_->editUndoAction->text(), "&Undo Natural Terrain On");
    window_->editUndoAction->trigger();
    EXPECT_FALSE(model().naturalTerrain());

    // Once the session differs from the saved project, the file no longer describes the export.
    prompts_->settingsAnswers.push_back({RasterOptions{129, 97, 1.0}, std::nullopt, false});
    answerAndTrigger(scratch("edited.r16"), window_->fileExport_HeightmapAction);
    windows = QJsonDocument::fromJson(contentsOf(scratch("edited.r16.json"))).object();
    EXPECT_TRUE(windows["source"].toObject()["input"].isNull());
}

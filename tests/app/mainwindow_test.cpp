// The main window as the user meets it: its start-up shape and the four stages.
#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

#include "gui/glsketch.h"
#include "gui/profileeditor.h"
#include "tests/app/windowfixture.h"

namespace {

const char* const kNoCurve = "You must create a curve and process it before moving to next step.";
const char* const kFinished = "Unknown stage - you might be finished, save your mountain.";

struct Controls {
    std::string option1, option2, reset;
    bool option1On, option2On, resetOn, sliderOn;
};

Controls controlsOf(const MondrelMainWindow& w) {
    return {w.firstOptionButton->text().toStdString(),
            w.secondOptionButton->text().toStdString(),
            w.resetButton->text().toStdString(),
            w.firstOptionButton->isEnabled(),
            w.secondOptionButton->isEnabled(),
            w.resetButton->isEnabled(),
            w.randomSlider->isEnabled()};
}

void expectControls(const MondrelMainWindow& w, const Controls& expected) {
    const Controls seen = controlsOf(w);
    EXPECT_EQ(seen.option1, expected.option1);
    EXPECT_EQ(seen.option2, expected.option2);
    EXPECT_EQ(seen.reset, expected.reset);
    EXPECT_EQ(seen.option1On, expected.option1On) << expected.option1;
    EXPECT_EQ(seen.option2On, expected.option2On) << expected.option2;
    EXPECT_EQ(seen.resetOn, expected.resetOn) << expected.reset;
    EXPECT_EQ(seen.sliderOn, expected.sliderOn);
    EXPECT_TRUE(w.nextButton->isEnabled());
}

} // namespace

TEST_F(WindowTest, StartsInTheCurveStageWithItsMenuAndControls) {
    MondrelMainWindow& w = *window_;
    // Shown as "Mondrel": the unsaved mark appears only once there is something to save.
    EXPECT_EQ(w.windowTitle(), "Mondrel[*]");
    EXPECT_FALSE(w.isWindowModified());
    EXPECT_EQ(w.objectName(), "MondrelMainWindow");
    EXPECT_EQ(w.centralWidget()->objectName(), "qt_central_widget");
    EXPECT_EQ(w.sketchView->objectName(), "sketchView");
    EXPECT_NE(w.findChild<QStatusBar*>(), nullptr);
    expectControls(w, {"Process Line", "Clear Curve", "Reset", true, true, true, false});
    EXPECT_EQ(w.nextButton->text(), "&Next");
    EXPECT_EQ(w.nextButton->shortcut(), QKeySequence("Alt+N"));
    EXPECT_TRUE(w.resetButton->shortcut().isEmpty());
    EXPECT_EQ(w.randomSlider->orientation(), Qt::Horizontal);
    EXPECT_EQ(w.randomSlider->minimum(), 0);
    EXPECT_EQ(w.randomSlider->maximum(), 99);
    EXPECT_EQ(w.randomSlider->value(), 0);
    EXPECT_GE(w.firstOptionButton->width(), 205);
    EXPECT_GE(w.secondOptionButton->height(), 25);
    EXPECT_EQ(w.size(), QSize(856, 756).expandedTo(w.minimumSizeHint()));
    // The view takes the height the two rows of controls leave.
    EXPECT_GT(w.sketchView->height(), w.height() / 2);
    EXPECT_LT(w.firstOptionButton->y(), w.resetButton->y());

    const QList<QAction*> items = w.mainMenuBar->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), "&File");
    EXPECT_EQ(items[1]->text(), "&Edit");
    EXPECT_EQ(items[2]->text(), "&View");
    EXPECT_EQ(items[3]->text(), "&Layer");
    EXPECT_TRUE(w.viewNatural_TerrainAction->isCheckable());
    EXPECT_FALSE(w.viewNatural_TerrainAction->isChecked());
    // The five curve, image and terrain entries keep their order and have no shortcuts; the
    // project entries and then the heightmap export follow, each after a separator.
    QStringList entries;
    QList<QKeySequence> shortcuts;
    for (QAction* action : w.fileMenu->actions()) {
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
        shortcuts << action->shortcut();
    }
    EXPECT_EQ(entries, QStringList({"&Open Curve", "&Save Curve", "&Close Curve", "Open &Image",
                                    "Save &Terrain", "-", "Open &Project...", "Save Pro&ject...",
                                    "Save Project &As...", "-", "Export Heightmap..."}));
    ASSERT_EQ(shortcuts.size(), 11);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(shortcuts[i].isEmpty()) << entries[i].toStdString();
    EXPECT_EQ(shortcuts[6], QKeySequence("Ctrl+O"));
    EXPECT_EQ(shortcuts[7], QKeySequence("Ctrl+S"));
    EXPECT_EQ(shortcuts[8], QKeySequence("Ctrl+Shift+S"));
    EXPECT_EQ(shortcuts[10], QKeySequence("Ctrl+E"));
    EXPECT_EQ(w.editUndoAction->text(), "&Undo");
    EXPECT_FALSE(w.editUndoAction->isEnabled());
    EXPECT_EQ(w.editUndoAction->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(w.editRedoAction->text(), "&Redo");
    EXPECT_EQ(w.editRedoAction->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));
    EXPECT_FALSE(w.hasUnsavedChanges());

    ProfileEditor* editor = w.profileDialog();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->objectName(), "profiler");
    EXPECT_EQ(editor->parent(), &w);
    EXPECT_FALSE(editor->isModal());
    EXPECT_FALSE(editor->isVisible());
}

TEST(MainWindowStartup, PrintsNotModalOnceForItsProfileEditor) {
    const std::string printed = printedBy([] { MondrelMainWindow window; });
    EXPECT_EQ(printed, "Not Modal\n");
}

TEST_F(WindowTest, NextWithoutACurveIsRefusedWithABox) {
    const std::string printed = printedBy([&] { click(window_->nextButton); });
    EXPECT_EQ(printed, "Now at stage 0\n");
    EXPECT_EQ(prompts_->boxes, QStringList{kNoCurve});
    EXPECT_EQ(window_->currentStage(), 0);
    EXPECT_EQ(window_->session().model().stage(), 0);
    expectControls(*window_, {"Process Line", "Clear Curve", "Reset", true, true, true, false});
}

TEST_F(WindowTest, AltNPressesNext) {
    // Shortcuts go to the active window; making it active inside Qt avoids asking the X
    // server for the focus.
    QApplication::setActiveWindow(window_.get());
    ASSERT_EQ(QApplication::activeWindow(), window_.get());
    // A shortcut clicks its button after a short animation.
    bool boxShown = false;
    const std::string printed = printedBy([&] {
        QTest::keyClick(window_.get(), Qt::Key_N, Qt::AltModifier);
        boxShown = QTest::qWaitFor([&] { return !prompts_->boxes.isEmpty(); }, 2000);
    });
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(printed, "Now at stage 0\n");
    EXPECT_EQ(prompts_->boxes, QStringList{kNoCurve});
}

TEST_F(WindowTest, ACurveTooShortForATerrainIsRefusedAtNext) {
    // Regression: such a curve used to pass and end the program at the next repaint.
    QWidget* view = window_->sketchView;
    const int y = view->height() / 2;
    drag(view, {QPoint(100, y), QPoint(102, y - 3), QPoint(104, y)}); // five columns
    click(window_->firstOptionButton);
    ASSERT_FALSE(window_->session().model().curve().empty());
    click(window_->nextButton);
    EXPECT_EQ(window_->currentStage(), 0);
    ASSERT_EQ(prompts_->boxes.size(), 1);
    EXPECT_TRUE(prompts_->boxes[0].startsWith("The curve is too short to build a terrain: it has "))
        << prompts_->boxes[0].toStdString();
    EXPECT_TRUE(prompts_->boxes[0].endsWith(
        "a terrain needs at least 50. Draw a longer curve before moving to next step."));
}

TEST_F(WindowTest, StrokesAreProcessedAndClearedWithTheOptionButtons) {
    const SketchModel& model = window_->session().model();
    drawMountain();
    EXPECT_FALSE(model.stroke().empty());
    EXPECT_TRUE(model.curve().empty());

    std::string printed = printedBy([&] { click(window_->firstOptionButton); });
    EXPECT_EQ(occurrences(printed, "Option button one clicked!\n"), 1);
    EXPECT_GT(model.curve().size(), 200u);
    EXPECT_TRUE(model.stroke().empty());

    // "Reset" in stage 0 only brings back the drawing's own scale.
    const Pairs curve = pairsOf(model.curve());
    click(window_->resetButton);
    EXPECT_TRUE(pairsOf(model.curve()) == curve);

    printed = printedBy([&] { click(window_->secondOptionButton); });
    EXPECT_EQ(occurrences(printed, "Option button two clicked\n"), 1);
    EXPECT_TRUE(model.curve().empty());
}

TEST_F(WindowTest, EveryStageHasItsCaptionsAndEnabling) {
    const SketchModel& model = window_->session().model();
    drawMountain();
    click(window_->firstOptionButton);

    std::string printed = printedBy([&] { click(window_->nextButton); });
    EXPECT_EQ(printed.substr(printed.size() - 15), "Now at stage 1\n");
    EXPECT_EQ(model.stage(), 1);
    // Nothing is selected yet, so the selected-profile buttons are off.
    expectControls(*window_, {"Edit Global Profile", "Edit Selected Profile",
                              "Delete Selected Profile", true, false, false, false});

    printed = printedBy([&] { click(window_->nextButton); });
    EXPECT_EQ(printed.substr(printed.size() - 15), "Now at stage 2\n");
    EXPECT_EQ(model.stage(), 2);
    expectControls(*window_, {"Up", "Down", "Reset", true, true, true, true});

    printed = printedBy([&] { click(window_->nextButton); });
    EXPECT_EQ(printed.substr(printed.size() - 15), "Now at stage 3\n");
    EXPECT_EQ(model.stage(), 3);
    expectControls(*window_, {"Refine", "Coarsen", "Reset", false, false, true, true});
    EXPECT_TRUE(prompts_->boxes.isEmpty());

    // Stage 3 is the last: "&Next" only says so, and the option buttons cannot be clicked.
    printed = printedBy([&] {
        click(window_->nextButton);
        click(window_->firstOptionButton);
        click(window_->secondOptionButton);
    });
    EXPECT_EQ(printed, "Now at stage 3\n");
    EXPECT_EQ(prompts_->boxes, QStringList{kFinished});
    EXPECT_EQ(model.stage(), 3);
}

TEST_F(WindowTest, EnteringStageThreeShowsTwentyWithoutTellingTheSketch) {
    goToStage(2);
    ASSERT_GT(dragSlider(60), 0);
    const float profileRandomness = window_->session().model().profileRandomness();
    EXPECT_FLOAT_EQ(profileRandomness, float(window_->randomSlider->value()) / 100.0f);
    const auto grid = rowsOf(window_->session().model().grid());

    const std::string printed = printedBy([&] { click(window_->nextButton); });
    EXPECT_EQ(window_->randomSlider->value(), 20);
    EXPECT_EQ(occurrences(printed, "Randomness changed being called"), 0);
    EXPECT_FLOAT_EQ(window_->session().model().detailRandomness(), 0.2f);
    EXPECT_FLOAT_EQ(window_->session().model().profileRandomness(), profileRandomness);
    EXPECT_TRUE(rowsOf(window_->session().model().grid()) != grid); // the refined rows
}

TEST_F(WindowTest, SliderDragsSetTheRandomnessOfStagesTwoAndThreeOnly) {
    goToStage(1);
    const SketchModel& model = window_->session().model();
    // Disabled in stage 1: a drag reaches nothing.
    std::string printed = printedBy([&] { EXPECT_EQ(dragSlider(50), 0); });
    EXPECT_EQ(window_->randomSlider->value(), 0);
    EXPECT_EQ(occurrences(printed, "Randomness changed being called"), 0);

    click(window_->nextButton);
    int reported = 0;
    printed = printedBy([&] { reported = dragSlider(80); });
    EXPECT_GT(reported, 0);
    EXPECT_EQ(occurrences(printed, "Randomness changed being called\n"), reported);
    EXPECT_GT(window_->randomSlider->value(), 0);
    EXPECT_FLOAT_EQ(model.profileRandomness(), float(window_->randomSlider->value()) / 100.0f);

    // The keyboard moves the slider but is not a drag.
    const float before = model.profileRandomness();
    printed = printedBy([&] { QTest::keyClick(window_->randomSlider, Qt::Key_Right); });
    EXPECT_EQ(occurrences(printed, "Randomness changed"), 0);
    EXPECT_FLOAT_EQ(model.profileRandomness(), before);

    click(window_->nextButton);
    printed = printedBy([&] { reported = dragSlider(120); });
    EXPECT_EQ(occurrences(printed, "Randomness changed being called\n"), reported);
    EXPECT_FLOAT_EQ(model.detailRandomness(), float(window_->randomSlider->value()) / 100.0f);
    EXPECT_FLOAT_EQ(model.profileRandomness(), before);
}

TEST_F(WindowTest, UpAndDownStepTheBottomDropOff) {
    goToStage(2);
    const SketchModel& model = window_->session().model();
    // The drop-off scales the profile randomness, so give it some.
    ASSERT_GT(dragSlider(60), 0);
    const auto grid = rowsOf(model.grid());
    click(window_->firstOptionButton);
    EXPECT_FLOAT_EQ(model.bottomDropOff(), 0.35f);
    EXPECT_TRUE(rowsOf(model.grid()) != grid);
    click(window_->secondOptionButton);
    click(window_->secondOptionButton);
    EXPECT_FLOAT_EQ(model.bottomDropOff(), 0.25f);
    EXPECT_TRUE(window_->firstOptionButton->isEnabled());
    EXPECT_TRUE(window_->secondOptionButton->isEnabled());

    // "Reset" puts the drop-off back, as its status tip says.
    EXPECT_TRUE(window_->resetButton->statusTip().contains("0.3"));
    click(window_->resetButton);
    EXPECT_FLOAT_EQ(model.bottomDropOff(), 0.3f);
    EXPECT_EQ(model.profileRandomness(), 0.0f);
    EXPECT_EQ(window_->randomSlider->value(), 0);
    EXPECT_EQ(window_->undoStack()->undoText(), "Reset");
}

TEST_F(WindowTest, SelectingAColumnEnablesTheSelectedProfileButtonsInStageOne) {
    goToStage(1);
    ASSERT_TRUE(selectColumn()) << "no terrain column under the middle of the view";
    EXPECT_TRUE(window_->secondOptionButton->isEnabled());
    EXPECT_TRUE(window_->resetButton->isEnabled());
    EXPECT_GE(window_->session().model().currentProfile(), 0);

    // A pick beside the terrain takes the selection away again.
    QWidget* view = window_->sketchView;
    drag(view, {QPoint(2, 2), QPoint(3, 2)}, Qt::RightButton);
    EXPECT_FALSE(window_->hasSelectedProfile());
    EXPECT_FALSE(window_->secondOptionButton->isEnabled());
    EXPECT_FALSE(window_->resetButton->isEnabled());

    // In other stages the buttons keep their own meaning.
    ASSERT_TRUE(selectColumn());
    click(window_->nextButton);
    EXPECT_TRUE(window_->secondOptionButton->isEnabled());
    EXPECT_TRUE(window_->resetButton->isEnabled());
}

// Closing the curve under a terrain once left a stage where every action failed.
TEST_F(WindowTest, CloseCurveGoesBackToDrawingFromEveryStageAsOneStep) {
    goToStage(0);
    const SketchModel& model = window_->session().model();
    for (int stage = 0; stage <= 3; ++stage) {
        if (stage > 0) {
            window_->undoStack()->undo();
            ASSERT_FALSE(model.curve().empty());
            while (window_->currentStage() < stage)
                click(window_->nextButton);
        }
        ASSERT_EQ(window_->currentStage(), stage);
        window_->fileClose_CurveAction->trigger();
        EXPECT_EQ(window_->currentStage(), 0) << "stage " << stage;
        EXPECT_TRUE(model.curve().empty()) << "stage " << stage;
        EXPECT_EQ(window_->firstOptionButton->text(), "Process Line");
        EXPECT_EQ(window_->undoStack()->undoText(), "Close Curve");
    }
    // From the last stage on, a new mountain is drawn and built as at the start.
    drawMountain();
    click(window_->firstOptionButton);
    click(window_->nextButton);
    EXPECT_EQ(window_->currentStage(), 1);
    EXPECT_TRUE(prompts_->boxes.isEmpty()) << prompts_->boxes.join('|').toStdString();
    EXPECT_FALSE(window_->grab().isNull());
}

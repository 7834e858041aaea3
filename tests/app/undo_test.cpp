// Undo and redo in the window: every kind of change is one step, and undoing it brings back
// the terrain bit for bit together with the stage's captions, enabling and slider.
#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QUndoStack>
#include <functional>

#include "gui/glsketch.h"
#include "gui/profileeditor.h"
#include "tests/app/windowfixture.h"

namespace {

// What the user sees of the mountain and the controls.
struct Seen {
    int stage;
    std::vector<Pairs> grid;
    Pairs curve;
    QStringList captions;
    std::vector<bool> enabled;
    int slider;

    bool operator==(const Seen& o) const {
        return stage == o.stage && grid == o.grid && curve == o.curve && captions == o.captions &&
               enabled == o.enabled && slider == o.slider;
    }
};

const std::vector<std::pair<double, double>> kSteep = {{0.02, 0.98}, {0.2, 0.6},  {0.4, 0.3},
                                                       {0.6, 0.15},  {0.8, 0.05}, {0.98, 0.02}};

} // namespace

class UndoTest : public WindowTest {
protected:
    Seen seen() const {
        const MondrelMainWindow& w = *window_;
        const SketchModel& model = w.session().model();
        return {model.stage(),
                rowsOf(model.grid()),
                pairsOf(model.curve()),
                {w.firstOptionButton->text(), w.secondOptionButton->text(), w.resetButton->text()},
                {w.firstOptionButton->isEnabled(), w.secondOptionButton->isEnabled(),
                 w.resetButton->isEnabled(), w.randomSlider->isEnabled()},
                w.randomSlider->value()};
    }

    // Runs change, which must be one undo step named step, then undoes and redoes it.
    void expectOneStep(const QString& step, const std::function<void()>& change) {
        QUndoStack* stack = window_->undoStack();
        const int steps = stack->index();
        const Seen before = seen();
        change();
        const Seen after = seen();
        ASSERT_EQ(stack->index(), steps + 1) << step.toStdString();
        EXPECT_EQ(window_->editUndoAction->text(), "&Undo " + step);
        EXPECT_FALSE(before == after) << step.toStdString();

        window_->editUndoAction->trigger();
        EXPECT_TRUE(seen() == before) << "undo " << step.toStdString();
        EXPECT_EQ(window_->editRedoAction->text(), "&Redo " + step);
        window_->editRedoAction->trigger();
        EXPECT_TRUE(seen() == after) << "redo " << step.toStdString();
    }
};

TEST_F(UndoTest, EveryKindOfStepIsUndoneAndRedoneExactly) {
    const QString curve = scratch("ridge.c2d");
    expectOneStep("Process Line", [&] {
        drawMountain();
        click(window_->firstOptionButton);
    });
    answerAndTrigger(curve, window_->fileSave_CurveAction);
    expectOneStep("Clear Curve", [&] { click(window_->secondOptionButton); });
    window_->editUndoAction->trigger();
    expectOneStep("Close Curve", [&] { window_->fileClose_CurveAction->trigger(); });
    expectOneStep("Open Curve", [&] { answerAndTrigger(curve, window_->fileOpen_CurveAction); });
    expectOneStep("Next", [&] { click(window_->nextButton); });

    ProfileEditor* editor = window_->profileDialog();
    click(window_->firstOptionButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    expectOneStep("Profile Edit", [&] { drawProfile(kSteep); });
    expectOneStep("Cancel Profile Edit", [&] { click(editor->cancelButton); });
    ASSERT_TRUE(selectColumn());
    click(window_->secondOptionButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    expectOneStep("Profile Edit", [&] { drawProfile(kSteep); });
    click(editor->confirmButton);
    expectOneStep("Delete Selected Profile", [&] { click(window_->resetButton); });
    window_->editUndoAction->trigger(); // keep the column's profile for the stages to come

    expectOneStep("Next", [&] { click(window_->nextButton); });
    expectOneStep("Randomness Change", [&] { ASSERT_GT(dragSlider(60), 1); });
    expectOneStep("Drop-Off Up", [&] { click(window_->firstOptionButton); });
    expectOneStep("Drop-Off Down", [&] { click(window_->secondOptionButton); });
    expectOneStep("Next", [&] { click(window_->nextButton); });
    expectOneStep("Randomness Change", [&] { ASSERT_GT(dragSlider(-40), 1); });

    // What leaves the terrain as it was is no step: here "&Next" refused in stage 3.
    const int steps = window_->undoStack()->count();
    click(window_->nextButton);
    EXPECT_EQ(window_->undoStack()->count(), steps);
}

TEST_F(UndoTest, UndoingNextGoesBackToTheStageBeforeWithItsCurve) {
    goToStage(0);
    const Seen drawing = seen();
    const size_t drawn = window_->session().model().curve().size();
    click(window_->nextButton);
    const Seen profiles = seen();
    ASSERT_LT(window_->session().model().curve().size(), drawn);

    window_->editUndoAction->trigger();
    EXPECT_EQ(window_->currentStage(), 0);
    EXPECT_TRUE(seen() == drawing);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    saveShot(window_.get(), "next-undone.png");
    EXPECT_EQ(window_->firstOptionButton->text(), "Process Line");
    // Stage 0 works as before: the view draws again, and "Next" moves on.
    drawMountain();
    EXPECT_FALSE(window_->session().model().stroke().empty());

    window_->editRedoAction->trigger();
    EXPECT_EQ(window_->currentStage(), 1);
    EXPECT_TRUE(seen() == profiles);
    click(window_->nextButton);
    EXPECT_EQ(window_->currentStage(), 2);
}

TEST_F(UndoTest, AHundredStepsAreKept) {
    goToStage(2);
    const Seen start = seen();
    for (int i = 0; i < 60; ++i) {
        click(window_->firstOptionButton);
        click(window_->secondOptionButton);
    }
    EXPECT_EQ(window_->undoStack()->count(), 3 + 120); // Process Line, Next, Next
    for (int i = 0; i < 120; ++i)
        window_->editUndoAction->trigger();
    EXPECT_TRUE(seen() == start);
}

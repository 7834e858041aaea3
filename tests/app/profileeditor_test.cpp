// The profile editor as the main window opens it in stage 1, and the dialog on its own.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>
#include <algorithm>

#include "gui/glsketch.h"
#include "gui/glsketchprofile.h"
#include "gui/profileeditor.h"
#include "tests/app/windowfixture.h"

namespace {

using Profile = std::vector<gmVector2>;

const std::vector<std::pair<double, double>> kConvex = {{0.02, 0.98}, {0.2, 0.9},  {0.4, 0.75},
                                                        {0.6, 0.5},   {0.8, 0.25}, {0.98, 0.02}};
const std::vector<std::pair<double, double>> kConcave = {{0.02, 0.98}, {0.2, 0.5},  {0.4, 0.25},
                                                         {0.6, 0.12},  {0.8, 0.05}, {0.98, 0.02}};

Pairs sentProfile(const QSignalSpy& spy, qsizetype i) {
    return pairsOf(spy.at(i).at(0).value<Profile>());
}

} // namespace

class ProfileEditorTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        goToStage(1);
        editor_ = window_->profileDialog();
    }
    const SketchModel& model() const { return window_->session().model(); }
    GLSketchProfile* view() const { return editor_->profileView; }

    ProfileEditor* editor_ = nullptr;
};

TEST_F(ProfileEditorTest, StrokesReachTheTerrainAtOnceAndOkSendsNothing) {
    QSignalSpy sent(editor_, &ProfileEditor::profileEdited);
    click(window_->firstOptionButton);
    ASSERT_TRUE(editor_->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor_));
    EXPECT_EQ(editor_->windowTitle(), "Mondrel - Profile Editor: Global Profile");
    EXPECT_FALSE(editor_->replacementNote()->isVisibleTo(editor_)) << "no column profiles";
    EXPECT_EQ(view()->profile().size(), 51u);
    const auto firstTerrain = rowsOf(model().grid());

    drawProfile(kConvex);
    ASSERT_EQ(sent.count(), 1);
    EXPECT_EQ(sentProfile(sent, 0).size(), 51u);
    EXPECT_EQ(pairsOf(model().globalProfile()), sentProfile(sent, 0));
    const auto convexTerrain = rowsOf(model().grid());
    EXPECT_TRUE(convexTerrain != firstTerrain);

    drawProfile(kConcave);
    ASSERT_EQ(sent.count(), 2);
    EXPECT_EQ(pairsOf(model().globalProfile()), sentProfile(sent, 1));
    saveShot(editor_, "profile-editor.png");
    saveShot(window_.get(), "profile-stage1.png");
    EXPECT_TRUE(rowsOf(model().grid()) != convexTerrain);

    click(editor_->confirmButton);
    EXPECT_FALSE(editor_->isVisible());
    EXPECT_EQ(sent.count(), 2);
    EXPECT_EQ(pairsOf(model().globalProfile()), sentProfile(sent, 1));
}

TEST_F(ProfileEditorTest, CancelSendsTheOpenedProfileBackOnce) {
    QSignalSpy sent(editor_, &ProfileEditor::profileEdited);
    const Pairs before = pairsOf(model().globalProfile());
    click(window_->firstOptionButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor_));
    const Pairs opened = pairsOf(view()->initialProfile());
    ASSERT_EQ(opened.size(), 51u);
    const auto firstTerrain = rowsOf(model().grid());

    drawProfile(kConvex);
    drawProfile(kConcave);
    ASSERT_EQ(sent.count(), 2);
    click(editor_->cancelButton);
    EXPECT_FALSE(editor_->isVisible());
    ASSERT_EQ(sent.count(), 3);
    EXPECT_EQ(sentProfile(sent, 2), opened);
    // The model gets back the profile exactly as it was, not the editor's resampling of it.
    EXPECT_EQ(pairsOf(model().globalProfile()), before);
    EXPECT_TRUE(rowsOf(model().grid()) == firstTerrain);

    // Without any stroke, cancel still sends the opened profile once.
    click(window_->firstOptionButton);
    click(editor_->cancelButton);
    ASSERT_EQ(sent.count(), 4);
    EXPECT_EQ(sentProfile(sent, 3), opened);
}

// Escape once hid the editor and kept the edit, unlike the Cancel it stands for.
TEST_F(ProfileEditorTest, EscapeIsCancel) {
    const Pairs before = pairsOf(model().globalProfile());
    const auto firstTerrain = rowsOf(model().grid());
    click(window_->firstOptionButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor_));
    drawProfile(kConvex);
    ASSERT_NE(pairsOf(model().globalProfile()), before);
    QTest::keyClick(editor_->profileView, Qt::Key_Escape);
    EXPECT_FALSE(editor_->isVisible());
    EXPECT_EQ(pairsOf(model().globalProfile()), before);
    EXPECT_TRUE(rowsOf(model().grid()) == firstTerrain);
    EXPECT_EQ(window_->undoStack()->undoText(), "Cancel Profile Edit");
}

TEST_F(ProfileEditorTest, ReopeningReplacesWhatCancelReturnsTo) {
    click(window_->firstOptionButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor_));
    drawProfile(kConvex);
    click(editor_->confirmButton);
    const Pairs convex = pairsOf(model().globalProfile());

    click(window_->firstOptionButton);
    EXPECT_EQ(pairsOf(view()->initialProfile()), convex); // 51 points resample to themselves
    drawProfile(kConcave);
    click(editor_->cancelButton);
    EXPECT_EQ(pairsOf(model().globalProfile()), convex);
}

TEST_F(ProfileEditorTest, EditsAndDeletesTheSelectedColumnsProfile) {
    ASSERT_TRUE(selectColumn());
    const int column = model().currentProfile();
    click(window_->secondOptionButton);
    ASSERT_TRUE(editor_->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor_));
    // The column's cross-section, normalised to a largest height of 1.
    EXPECT_EQ(view()->initialProfile().size(), 51u);

    drawProfile(kConcave);
    const auto& indices = model().profileIndices();
    const bool stored =
        std::find(indices.begin(), indices.end(), unsigned(column)) != indices.end();
    EXPECT_TRUE(stored);
    click(editor_->confirmButton);

    const int lastColumn = int(model().grid().front().size()) - 1;
    // Only inner columns can lose their profile; the pick lands in the middle of the view.
    ASSERT_TRUE(column > 0 && column < lastColumn) << "column " << column;
    const size_t count = indices.size();
    click(window_->resetButton);
    EXPECT_EQ(model().profileIndices().size(), count - 1);
}

TEST_F(ProfileEditorTest, CancellingAGlobalEditKeepsTheColumnProfiles) {
    ASSERT_TRUE(selectColumn());
    const int column = model().currentProfile();
    click(window_->secondOptionButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor_));
    EXPECT_EQ(editor_->windowTitle(), QString("Mondrel - Profile Editor: Column %1").arg(column));
    drawProfile(kConcave);
    click(editor_->confirmButton);
    const auto columns = model().profileIndices();
    const auto profiles = model().profiles();
    const auto withColumn = rowsOf(model().grid());

    click(window_->firstOptionButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor_));
    EXPECT_EQ(editor_->windowTitle(), "Mondrel - Profile Editor: Global Profile");
    EXPECT_TRUE(editor_->replacementNote()->isVisibleTo(editor_));
    EXPECT_TRUE(editor_->replacementNote()->text().contains("profile of 1 column"));
    drawProfile(kConvex);
    EXPECT_TRUE(model().profileIndices().empty()) << "the terrain follows the stroke at once";
    click(editor_->cancelButton);
    EXPECT_EQ(model().profileIndices(), columns);
    EXPECT_TRUE(model().profiles() == profiles);
    EXPECT_TRUE(rowsOf(model().grid()) == withColumn);
    // One undo takes the cancel back to the global edit.
    window_->editUndoAction->trigger();
    EXPECT_TRUE(model().profileIndices().empty());
}

TEST_F(ProfileEditorTest, NextClosesTheEditor) {
    click(window_->firstOptionButton);
    ASSERT_TRUE(editor_->isVisible());
    click(window_->nextButton);
    EXPECT_FALSE(editor_->isVisible());
    EXPECT_EQ(window_->currentStage(), 2);
}

TEST(ProfileEditorDialog, NamesAndModalityAndAnEditWithoutAWindow) {
    std::string printed;
    printed = printedBy([] {
        ProfileEditor editor;
        EXPECT_EQ(editor.objectName(), "profileEditor");
        EXPECT_FALSE(editor.isSizeGripEnabled());
        EXPECT_EQ(editor.confirmButton->text(), "&Ok");
        EXPECT_EQ(editor.confirmButton->shortcut(), QKeySequence("Alt+O"));
        EXPECT_TRUE(editor.confirmButton->isDefault());
        EXPECT_EQ(editor.cancelButton->text(), "&Cancel");
        EXPECT_EQ(editor.cancelButton->shortcut(), QKeySequence("Alt+C"));
        EXPECT_FALSE(editor.cancelButton->autoDefault());
        EXPECT_EQ(editor.size(), QSize(503, 412).expandedTo(editor.minimumSizeHint()));
        // An edit in the view is reported by the dialog; with no window listening nothing
        // else happens.
        QSignalSpy reported(&editor, &ProfileEditor::profileEdited);
        emit editor.profileView->profileUpdated({gmVector2(0, 1), gmVector2(1, 0)});
        EXPECT_EQ(reported.count(), 1);
    });
    EXPECT_EQ(printed, "Not Modal\n");

    printed = printedBy([] {
        ProfileEditor editor(nullptr, "modalEditor", true);
        EXPECT_EQ(editor.objectName(), "modalEditor");
        EXPECT_TRUE(editor.isModal());
    });
    EXPECT_EQ(printed, "Modal\n");
}

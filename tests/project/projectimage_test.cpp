// The link from a project to its background image while the image cannot be shown.
#include <gtest/gtest.h>

#include "../sketch/modeltesting.h"
#include "project/projectfile.h"
#include "project/projectimage.h"

using modeltesting::readFile;
using modeltesting::temporaryPath;

// Why: a project reopened after its photo was moved used to be saved with no image at all.
TEST(ProjectImageLink, AMissingImageKeepsItsLinkThroughOpenAndSave) {
    const std::string file = temporaryPath("moved-photo.mondrel");
    Project saved;
    saved.backgroundImage = "shots/./../photos/ridge.png"; // as another program may have put it
    std::string message;
    ASSERT_TRUE(writeProjectFile(file, saved, message)) << message;

    Project opened;
    ASSERT_TRUE(readProjectFile(file, opened, message)) << message;
    ProjectImageLink link;
    link.keepMissing(file, opened.backgroundImage);
    EXPECT_TRUE(link.isMissing());
    EXPECT_EQ(link.imageFile(), imagePathFromProject(file, "photos/ridge.png"));

    // Saved over itself, the project is the same file, link and all.
    const std::string before = readFile(file);
    opened.backgroundImage = link.storedFor(file);
    ASSERT_TRUE(writeProjectFile(file, opened, message)) << message;
    EXPECT_EQ(readFile(file), before);
    // A copy beside it keeps the link too; a copy elsewhere points where the image was.
    EXPECT_EQ(link.storedFor(imagePathFromProject(file, "copy.mondrel")), saved.backgroundImage);
    EXPECT_EQ(link.storedFor("/elsewhere/copy.mondrel"), link.imageFile());
}

TEST(ProjectImageLink, ChoosingAnImageOrTheStartUpPictureReplacesTheMissingLink) {
    ProjectImageLink link;
    link.keepMissing("/work/hills/range.mondrel", "photos/ridge.png");
    link.show("/work/hills/found/../found/ridge.png");
    EXPECT_FALSE(link.isMissing());
    EXPECT_EQ(link.storedFor("/work/hills/range.mondrel"), "found/ridge.png");
    link.keepMissing("/work/hills/range.mondrel", "/srv/photos/ridge.png");
    link.showStartupPicture();
    EXPECT_EQ(link.storedFor("/work/hills/range.mondrel"), "");
}

// The "&File" menu: dialogs, suffix rules, the remembered file name and the result boxes.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <unistd.h>

#include "gui/glsketch.h"
#include "tests/app/windowfixture.h"

namespace {

QByteArray contentsOf(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The line of printed that starts with "*** Error ***", without its line end.
QString errorLine(const std::string& printed) {
    const size_t at = printed.find("*** Error ***");
    if (at == std::string::npos)
        return QString();
    return QString::fromStdString(printed.substr(at, printed.find('\n', at) - at));
}

// Runs the headless builder; its grid file, or an empty array when it failed.
QByteArray builtGrid(const QStringList& arguments, const QString& output) {
    QProcess builder;
    builder.start(QStringLiteral(MONDREL_BIN_DIR "/mondrel-build"),
                  QStringList{"--quiet"} + arguments + QStringList{output});
    if (!builder.waitForFinished(60000) || builder.exitCode() != 0) {
        ADD_FAILURE() << "mondrel-build failed: " << builder.readAllStandardError().toStdString();
        return QByteArray();
    }
    return contentsOf(output);
}

// Share of pixels in the sketch view's frame that are clearly green (the lit terrain).
double greenShare(const QImage& frame) {
    int green = 0;
    for (int y = 0; y < frame.height(); y += 4)
        for (int x = 0; x < frame.width(); x += 4) {
            const QColor c = frame.pixelColor(x, y);
            if (c.green() > c.red() + 20 && c.green() > c.blue() + 20)
                ++green;
        }
    return double(green) / ((frame.width() / 4 + 1) * (frame.height() / 4 + 1));
}

} // namespace

TEST_F(WindowTest, CurveDialogsAppendTheSuffixOnlyWhenItIsMissing) {
    goToStage(0);
    answerAndTrigger(scratch("hill"), window_->fileSave_CurveAction);
    EXPECT_EQ(window_->currentFileName(), scratch("hill.c2d"));
    EXPECT_TRUE(QFile::exists(scratch("hill.c2d")));

    answerAndTrigger(scratch("hill.c2d.bak"), window_->fileSave_CurveAction);
    EXPECT_TRUE(QFile::exists(scratch("hill.c2d.bak")));
    EXPECT_FALSE(QFile::exists(scratch("hill.c2d.bak.c2d")));

    // Suffixes are matched case-sensitively.
    answerAndTrigger(scratch("HILL.C2D"), window_->fileSave_CurveAction);
    EXPECT_TRUE(QFile::exists(scratch("HILL.C2D.c2d")));

    ASSERT_EQ(prompts_->questions.size(), 3u);
    const auto& first = prompts_->questions[0];
    EXPECT_TRUE(first.save);
    EXPECT_EQ(first.caption, "Save File");
    EXPECT_EQ(first.filter, "Ascii 2D Curve Format (*.c2d )");
    EXPECT_EQ(first.start, "");
    EXPECT_EQ(prompts_->questions[1].start, scratch("hill.c2d"));
    EXPECT_EQ(prompts_->questions[2].start, scratch("hill.c2d.bak"));
    EXPECT_TRUE(prompts_->boxes.isEmpty());

    // A cancelled dialog changes nothing.
    window_->fileSave_CurveAction->trigger();
    EXPECT_EQ(window_->currentFileName(), scratch("HILL.C2D.c2d"));
}

TEST_F(WindowTest, TerrainDialogStartsAtTheCurveNameWithoutItsSuffix) {
    goToStage(0);
    answerAndTrigger(scratch("hill.c2d"), window_->fileSave_CurveAction);
    window_->fileClose_CurveAction->trigger();
    ASSERT_TRUE(window_->session().model().curve().empty());

    answerAndTrigger(scratch("hill.c2d"), window_->fileOpen_CurveAction);
    EXPECT_FALSE(window_->session().model().curve().empty());
    const auto& open = prompts_->questions.back();
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.caption, "Open File");
    EXPECT_EQ(open.filter, "Ascii 2D Curve Format (*.c2d)");
    EXPECT_EQ(open.start, scratch("hill.c2d"));

    click(window_->nextButton);
    answerAndTrigger(scratch("hill"), window_->fileSave_TerrainAction);
    const auto& terrain = prompts_->questions.back();
    EXPECT_TRUE(terrain.save);
    EXPECT_EQ(terrain.caption, "Save Terrain GRD File");
    EXPECT_EQ(terrain.filter, " Grid Float Format (*.grd)");
    EXPECT_EQ(terrain.start, scratch("hill"));
    EXPECT_EQ(window_->currentFileName(), scratch("hill.grd"));
    EXPECT_EQ(prompts_->boxes, QStringList{scratch("hill.grd") + " was saved successfully."});
    EXPECT_TRUE(contentsOf(scratch("hill.grd")).startsWith("ncols\t"));

    answerAndTrigger(scratch("peak.grd.old"), window_->fileSave_TerrainAction);
    EXPECT_TRUE(QFile::exists(scratch("peak.grd.old")));
    EXPECT_FALSE(QFile::exists(scratch("peak.grd.old.grd")));

    // The terrain dialog takes ".png" and ".c2d" out of the name even when it is cancelled.
    answerAndTrigger(scratch("photo.png.c2d"), window_->fileSave_CurveAction);
    window_->fileSave_TerrainAction->trigger();
    EXPECT_EQ(prompts_->questions.back().start, scratch("photo"));
    EXPECT_EQ(window_->currentFileName(), scratch("photo"));
}

TEST_F(WindowTest, ImagesAreLoadedAndAFailedLoadIsShown) {
    const QString image = scratch("Texture.png");
    answerAndTrigger(image, window_->fileOpen_ImageAction);
    const auto& question = prompts_->questions.back();
    EXPECT_FALSE(question.save);
    EXPECT_EQ(question.caption, "Open PNG File");
    EXPECT_EQ(question.filter, "Portable Network Graphics (*.png)");
    EXPECT_TRUE(prompts_->boxes.isEmpty());
    EXPECT_EQ(window_->currentFileName(), image);

    const QImage before = window_->sketchView->grabFramebuffer();
    QFile broken(scratch("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    answerAndTrigger(scratch("broken.png"), window_->fileOpen_ImageAction);
    EXPECT_EQ(prompts_->boxes, QStringList{"Can't load " + scratch("broken.png") +
                                           "\nThe file is not a PNG image."});
    EXPECT_EQ(window_->currentFileName(), scratch("broken.png"));
    EXPECT_EQ(prompts_->questions.back().start, image);
    // The failed load keeps the picture that was there.
    EXPECT_EQ(window_->sketchView->grabFramebuffer(), before);
}

// Regression: a photograph far larger than the screen froze the window and took gigabytes.
// It is shown reduced to the screen's size, in the same place under the curve, and the status
// bar says so; no box, since the load went well.
TEST_F(WindowTest, AnImageLargerThanTheScreenIsShownReducedInItsPlace) {
    const QSize screen = window_->sketchView->screen()->size();
    QImage photo(screen.width() * 3, screen.height(), QImage::Format_RGB888);
    photo.fill(Qt::white);
    // Dark bands a quarter of the way across and three quarters of the way down.
    for (int y = 0; y < photo.height(); ++y)
        for (int x = photo.width() / 4 - 12; x < photo.width() / 4 + 12; ++x)
            photo.setPixelColor(x, y, Qt::black);
    for (int y = photo.height() * 3 / 4 - 12; y < photo.height() * 3 / 4 + 12; ++y)
        for (int x = photo.width() / 2; x < photo.width(); ++x)
            photo.setPixelColor(x, y, Qt::black);
    const QString image = scratch("photo.png");
    ASSERT_TRUE(photo.save(image));
    answerAndTrigger(image, window_->fileOpen_ImageAction);
    EXPECT_TRUE(prompts_->boxes.isEmpty());
    EXPECT_EQ(window_->sketchView->textureWidth(), screen.width());
    EXPECT_EQ(window_->sketchView->textureHeight(), (screen.height() + 1) / 3);
    const QString said = window_->statusBar()->currentMessage();
    EXPECT_TRUE(said.contains(QString("photo.png is %1 × %2 pixels; shown reduced to %3 × %4")
                                  .arg(photo.width())
                                  .arg(photo.height())
                                  .arg(screen.width())
                                  .arg((screen.height() + 1) / 3)))
        << said.toStdString();

    const QImage frame = window_->sketchView->grabFramebuffer();
    const auto dark = [&](int x, int y) { return frame.pixelColor(x, y).lightness() < 128; };
    const int w = frame.width(), h = frame.height();
    EXPECT_TRUE(dark(w / 4, h / 10) && !dark(w / 4 - 8, h / 10) && !dark(w / 4 + 8, h / 10));
    EXPECT_TRUE(dark(w * 3 / 4, h * 3 / 4) && !dark(w * 3 / 4, h * 3 / 4 - 8) &&
                !dark(w * 3 / 4, h * 3 / 4 + 8));
}

TEST_F(WindowTest, FailedCurveSavesAndLoadsSayWhatFailedWithTheSystemsReason) {
    // Regression: a curve saved to an unwritable place used to fail with only a printed line,
    // and then with that programmer's line in the box. The printed line stays as it was.
    goToStage(0);
    const QString nowhere = scratch("no-such-dir/hill.c2d");
    std::string printed =
        printedBy([&] { answerAndTrigger(nowhere, window_->fileSave_CurveAction); });
    ASSERT_EQ(prompts_->boxes.size(), 1);
    EXPECT_EQ(errorLine(printed),
              "*** Error *** fopen returned NULL when writing to file " + nowhere + ".");
    EXPECT_EQ(prompts_->boxes[0],
              "Cannot save the curve " + nowhere + ": No such file or directory.");

    printed = printedBy([&] { answerAndTrigger(nowhere, window_->fileOpen_CurveAction); });
    ASSERT_EQ(prompts_->boxes.size(), 2);
    EXPECT_EQ(errorLine(printed), "*** Error *** " + nowhere + " was not found");
    EXPECT_EQ(prompts_->boxes[1], "Cannot open the curve file " + nowhere + ": it was not found.");

    // A full disk: /dev/full, saved to through a link, takes the file and refuses every byte.
    ASSERT_TRUE(QFile::link("/dev/full", scratch("full.c2d")));
    printed =
        printedBy([&] { answerAndTrigger(scratch("full.c2d"), window_->fileSave_CurveAction); });
    ASSERT_EQ(prompts_->boxes.size(), 3);
    EXPECT_FALSE(errorLine(printed).isEmpty()) << printed;
    EXPECT_EQ(prompts_->boxes[2],
              "Cannot save the curve " + scratch("full.c2d") + ": No space left on device.");

    if (geteuid() != 0) { // folder permissions do not bind root
        QDir(dir_.path()).mkdir("locked");
        QFile::setPermissions(scratch("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        answerAndTrigger(scratch("locked/hill.c2d"), window_->fileSave_CurveAction);
        ASSERT_EQ(prompts_->boxes.size(), 4);
        EXPECT_TRUE(prompts_->boxes[3].endsWith(": Permission denied."));
    }
}

// Regression: a decimal comma used to replace the curve with its first point, said only on
// standard output.
TEST_F(WindowTest, ACurveFileShortOfItsDeclaredPointsIsLoadedAndExplained) {
    const QString file = scratch("comma.c2d");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("5 //size\n10.0 20.0\n30,5 40,0\n50.0 60.0\n");
    out.close();
    const std::string printed =
        printedBy([&] { answerAndTrigger(file, window_->fileOpen_CurveAction); });
    EXPECT_NE(printed.find("1 of 5 curve points were found\n"), std::string::npos);
    EXPECT_EQ(window_->session().model().curve().size(), 1u);
    ASSERT_EQ(prompts_->boxes.size(), 1);
    EXPECT_TRUE(prompts_->boxes[0].startsWith("Only 1 of the 5 points declared in " + file))
        << prompts_->boxes[0].toStdString();
}

TEST_F(WindowTest, FailedTerrainSavesAreShown) {
    window_->fileSave_TerrainAction->trigger(); // cancelled: no box
    EXPECT_TRUE(prompts_->boxes.isEmpty());
    answerAndTrigger(scratch("early"), window_->fileSave_TerrainAction);
    EXPECT_EQ(prompts_->boxes,
              QStringList{"There is no terrain to save yet - press Next to build one."});
    EXPECT_FALSE(QFile::exists(scratch("early.grd")));

    goToStage(1);
    const QString nowhere = scratch("no-such-dir/hill.grd");
    answerAndTrigger(nowhere, window_->fileSave_TerrainAction);
    ASSERT_EQ(prompts_->boxes.size(), 2);
    EXPECT_EQ(prompts_->boxes[1],
              "Cannot save the terrain " + nowhere + ": No such file or directory.");
    EXPECT_EQ(window_->currentFileName(), nowhere);
}

// The whole job through the window: draw, save and reopen the curve, set randomness and
// drop-off, refine and save the terrain. The grids must be those the headless builder makes
// from the same curve file and settings.
TEST_F(WindowTest, SavedTerrainsMatchTheHeadlessBuilder) {
    goToStage(0);
    saveShot(window_.get(), "curve-stage0.png");
    const QString curve = scratch("range.c2d");
    answerAndTrigger(curve, window_->fileSave_CurveAction);
    // The builder reads the curve from the file, so the window must work from it too.
    answerAndTrigger(curve, window_->fileOpen_CurveAction);
    click(window_->nextButton);
    click(window_->nextButton);
    ASSERT_EQ(window_->currentStage(), 2);

    ASSERT_GT(dragSlider(70), 0);
    const int profileValue = window_->randomSlider->value();
    ASSERT_GT(profileValue, 0);
    for (int i = 0; i < 3; ++i)
        click(window_->firstOptionButton);
    answerAndTrigger(scratch("stage2"), window_->fileSave_TerrainAction);
    saveShot(window_.get(), "randomness-stage2.png");

    click(window_->nextButton);
    ASSERT_GT(dragSlider(40), 0);
    const int detailValue = window_->randomSlider->value();
    ASSERT_NE(detailValue, 20);
    answerAndTrigger(scratch("stage3"), window_->fileSave_TerrainAction);
    EXPECT_EQ(prompts_->boxes, QStringList({scratch("stage2.grd") + " was saved successfully.",
                                            scratch("stage3.grd") + " was saved successfully."}));

    const QStringList settings{"--profile-randomness", QString::number(profileValue),
                               "--drop-off-steps", "3"};
    const QByteArray stage2 = contentsOf(scratch("stage2.grd"));
    ASSERT_FALSE(stage2.isEmpty());
    EXPECT_EQ(stage2, builtGrid(QStringList{"--stage", "2"} + settings + QStringList{curve},
                                scratch("built2.grd")));
    const QByteArray stage3 = contentsOf(scratch("stage3.grd"));
    EXPECT_NE(stage3, stage2);
    EXPECT_EQ(stage3,
              builtGrid(QStringList{"--stage", "3"} + settings +
                            QStringList{"--detail-randomness", QString::number(detailValue), curve},
                        scratch("built3.grd")));

    // Turn the refined terrain a little and look at it: the lit surface is green.
    QWidget* view = window_->sketchView;
    const QPoint middle(view->width() / 2, view->height() / 2);
    drag(view, {middle, middle + QPoint(-50, -100), middle + QPoint(-100, -200),
                middle + QPoint(-150, -300)});
    // The turn shows with the next frame.
    QImage frame;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        frame = window_->sketchView->grabFramebuffer();
        return greenShare(frame) > 0.05;
    }));
    saveShot(window_.get(), "terrain-stage3.png");
}

TEST_F(WindowTest, ExportHeightmapTakesItsFormatFromTheSuffixAndItsSettingsFromThePrompts) {
    window_->fileExport_HeightmapAction->trigger();
    EXPECT_EQ(prompts_->boxes.takeLast(),
              "There is no terrain to save yet - press Next to build one.");
    EXPECT_TRUE(prompts_->questions.empty()) << "nothing to export, nothing asked";

    goToStage(0);
    answerAndTrigger(scratch("hill"), window_->fileSave_CurveAction);
    goToStage(3);
    answerAndTrigger(scratch("hill.txt"), window_->fileExport_HeightmapAction);
    EXPECT_TRUE(prompts_->boxes.takeLast().startsWith("Choose a name ending in .asc"));
    EXPECT_TRUE(prompts_->settingsQuestions.empty());

    prompts_->settingsAnswers.push_back({RasterOptions{513, 257, 2.0}, HeightRange{0.0, 50.0}});
    answerAndTrigger(scratch("hill.png"), window_->fileExport_HeightmapAction);
    ASSERT_EQ(prompts_->settingsQuestions.size(), 1u);
    EXPECT_EQ(prompts_->settingsQuestions[0].format, HeightmapFormat::png16);
    EXPECT_GT(prompts_->settingsQuestions[0].native.width, 100);
    // The natural terrain's native raster holds both flanks: deeper than the grid's 51 rows.
    EXPECT_GT(prompts_->settingsQuestions[0].native.naturalHeight, 51);
    const QString box = prompts_->boxes.takeLast();
    EXPECT_TRUE(box.startsWith(scratch("hill.png") + " was saved successfully. "))
        << box.toStdString();
    EXPECT_TRUE(box.contains("of its 513x257 cells lay outside the height range"))
        << box.toStdString();

    const QImage image(scratch("hill.png"));
    EXPECT_EQ(image.format(), QImage::Format_Grayscale16);
    EXPECT_EQ(image.size(), QSize(513, 257));
    const QJsonObject meta = QJsonDocument::fromJson(contentsOf(scratch("hill.png.json"))).object();
    EXPECT_EQ(meta["scale"].toDouble(), 2.0);
    const QJsonObject source = meta["source"].toObject();
    EXPECT_EQ(source["program"].toString(), "Mondrel");
    EXPECT_EQ(source["input"].toString(), scratch("hill.c2d"));
    EXPECT_EQ(source["stage"].toInt(), 3);

    // A cancelled settings dialog writes nothing; the next export starts at the last name.
    answerAndTrigger(scratch("hill.obj"), window_->fileExport_HeightmapAction);
    EXPECT_FALSE(QFile::exists(scratch("hill.obj")));
    EXPECT_TRUE(prompts_->boxes.isEmpty());
    EXPECT_EQ(prompts_->questions.back().start, scratch("hill.png"));
}

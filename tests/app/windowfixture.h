#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

#include "app/mondrelmainwindow.h"
#include "app/userprompts.h"
#include "libgm/gmvec2.h"

class QWidget;

// Stands in for the user at the window's boxes and file dialogs: records every question and
// answers the file dialogs from a script (an empty answer, or none left, is a cancel).
class ScriptedPrompts : public UserPrompts {
public:
    struct FileQuestion {
        bool save;
        QString caption;
        QString filter;
        QString start;
    };

    void inform(const QString& text) override { boxes.append(text); }
    // Recorded with the other boxes; answered with locate.
    bool offerToLocate(const QString& text) override {
        boxes.append(text);
        return locate;
    }
    QString openFileName(const QString& caption, const QString& filter,
                         const QString& start) override {
        return answer({false, caption, filter, start});
    }
    QString saveFileName(const QString& caption, const QString& filter,
                         const QString& start) override {
        return answer({true, caption, filter, start});
    }
    // Heightmap settings: the question is recorded, the next scripted answer replaces the
    // offered size, scale and height range (none left is a cancel).
    struct SettingsQuestion {
        HeightmapFormat format;
        UserPrompts::NativeSizes native;
        bool naturalOffered = false;
    };
    struct SettingsAnswer {
        RasterOptions raster;
        std::optional<HeightRange> heightRange;
        bool naturalTerrain = false;
        std::string splatMap = {};
    };
    bool heightmapSettings(HeightmapFormat format, const std::string&, const NativeSizes& native,
                           HeightmapExport& settings, bool& naturalTerrain) override {
        settingsQuestions.push_back({format, native, naturalTerrain});
        if (settingsAnswers.empty())
            return false;
        settings.raster = settingsAnswers.front().raster;
        settings.heightRange = settingsAnswers.front().heightRange;
        naturalTerrain = settingsAnswers.front().naturalTerrain;
        settings.splatMapFile = settingsAnswers.front().splatMap;
        settingsAnswers.erase(settingsAnswers.begin());
        return true;
    }

    UnsavedChoice askAboutUnsavedChanges(const QString& text) override {
        unsavedQuestions.append(text);
        return unsavedChoice;
    }

    QStringList answers;
    QStringList boxes;
    QStringList unsavedQuestions;
    UnsavedChoice unsavedChoice = UnsavedChoice::cancel;
    bool locate = false;
    std::vector<FileQuestion> questions;
    std::vector<SettingsAnswer> settingsAnswers;
    std::vector<SettingsQuestion> settingsQuestions;

private:
    QString answer(const FileQuestion& question) {
        questions.push_back(question);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

// A shown main window started in a scratch directory that holds the start-up image, with the
// scripted prompts installed. Tests skip when there is no usable OpenGL context.
class WindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path inside the scratch directory.
    QString scratch(const QString& name) const;

    // Left drag through the given view pixels (y downwards).
    void drag(QWidget* widget, const std::vector<QPoint>& points,
              Qt::MouseButton button = Qt::LeftButton);
    // A mountain silhouette across most of the sketch view's width.
    void drawMountain();
    void click(QWidget* widget);
    // Makes the window the active one, for its shortcuts; a few tries, as the X server without
    // a window manager now and then lets a request go by under load.
    bool activate();
    // Draws and processes a mountain, then presses "&Next" until the window is at stage.
    void goToStage(int stage);
    // Right drags along the sketch view's middle until a terrain column is selected.
    bool selectColumn();
    // Drags the slider's handle by dx pixels; returns how many positions it reported.
    int dragSlider(int dx);
    // Draws a profile stroke in the editor's view through points of the unit square.
    void drawProfile(const std::vector<std::pair<double, double>>& unitPoints);
    // Saves a grab of widget as name in MONDREL_SCREENSHOT_DIR, when that is set.
    void saveShot(QWidget* widget, const QString& name) const;
    // Chooses name in the next file dialog and triggers action, then waits for the work it
    // started in the background (an export).
    void answerAndTrigger(const QString& name, class QAction* action);
    // Waits until no export runs in the background.
    void waitForWork();
    // Waits until the natural previews asked for have arrived; whether the view shows one.
    bool waitForNaturalView();

    QTemporaryDir dir_;
    QString oldDir_;
    std::unique_ptr<MondrelMainWindow> window_;
    ScriptedPrompts* prompts_ = nullptr;
};

// Everything printed to standard output while body runs.
template <typename Body> std::string printedBy(Body body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

// Point lists as plain pairs, so that tests can compare them exactly.
using Pairs = std::vector<std::pair<double, double>>;
Pairs pairsOf(const std::vector<gmVector2>& points);
std::vector<Pairs> rowsOf(const std::vector<std::vector<gmVector2>>& grid);

// How often needle occurs in text.
int occurrences(const std::string& text, const std::string& needle);

#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "sketch/sketchmodel.h"

class QProgressDialog;
class QTimer;
class QWidget;

// What a job on a worker thread and the window share: the window's request to stop, and the
// share of the work done (per mille; below 0 while unknown).
struct WorkControl {
    std::atomic<bool> cancelled{false};
    std::atomic<int> permille{-1};
};

// One long job (an export) at a time on a worker thread while the window goes on answering.
// Work that lasts longer than progressDelayMs shows a progress box beside the window (not
// modal: the menus and the view keep working) whose Cancel asks the job to stop; the core
// function the job runs polls the request and leaves every existing file as it was.
class BackgroundTask : public QObject {
    Q_OBJECT

public:
    static constexpr int progressDelayMs = 500;
    using Job = std::function<void(WorkControl&)>;

    explicit BackgroundTask(QWidget* window);
    ~BackgroundTask() override;

    // Starts job unless one runs already (false then); done runs on the window's thread once
    // it is over, told whether the user asked it to stop.
    bool start(const QString& label, Job job, std::function<void(bool cancelled)> done);
    bool running() const { return running_; }
    // Asks the running job to stop; done still runs.
    void cancel();
    // Asks the running job to stop and waits until it is over, without running done: for a
    // window that closes.
    void cancelAndWait();
    QProgressDialog* progressDialog() const { return dialog_; }

signals:
    void finished();

private:
    void showProgress();
    void finish();

    QWidget* window_;
    QProgressDialog* dialog_;
    QTimer* shower_;
    QTimer* ticker_;
    QThreadPool pool_; // its thread runs below the window's priority
    QFutureWatcher<void> watcher_;
    std::shared_ptr<WorkControl> control_;
    std::function<void(bool)> done_;
    bool running_ = false;
};

// Builds the natural terrain's view grid (sketch/naturalpreview.h) off the window's thread.
// A request supersedes every earlier one: their builds are asked to stop and their results
// dropped, so what arrives is always the latest request's.
class NaturalPreviewBuilder : public QObject {
    Q_OBJECT

public:
    explicit NaturalPreviewBuilder(QObject* parent = nullptr);
    ~NaturalPreviewBuilder() override;

    // Builds model's preview at each of sides in turn (a coarse one first, shown at once,
    // then the full one), each side as naturalPreviewGrid builds it.
    void request(const SketchModel& model, std::vector<int> sides);
    // Stops whatever is built or waits to be built.
    void cancel();
    // Whether a requested preview is still to come.
    bool busy() const { return busy_; }
    // Waits for every build on the workers to end (the superseded ones included).
    void waitForWorkers();

signals:
    void built(std::vector<SketchModel::PointList> grid, double rowSpacing, double firstNorthing,
               int side);
    void failed(const QString& reason);

private:
    struct Result;
    void buildNext();

    QThreadPool pool_;
    std::shared_ptr<SketchModel> model_;
    std::vector<int> sides_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    unsigned generation_ = 0;
    bool busy_ = false;
};

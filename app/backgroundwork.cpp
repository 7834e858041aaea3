#include "app/backgroundwork.h"

#include <cerrno>

#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

#include "sketch/naturalpreview.h"

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// How often the progress box reads the job's share of work done.
constexpr int progressTickMs = 100;

// The background's niceness: the window's thread must win the processor whenever it has
// something to draw or answer, or turning the view during an export stutters. The helper
// threads a construction starts inherit it.
constexpr int exportNiceness = 5;
constexpr int previewNiceness = 5;

// Lowers the calling worker thread's priority for good (an unprivileged thread cannot raise it
// again), so it is only called on the threads of the pools kept for background work.
void lowerThisThread(int niceness) {
#ifdef __linux__
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, thread);
    if (errno == 0 && now < niceness)
        setpriority(PRIO_PROCESS, thread, niceness);
#else
    (void)niceness;
#endif
}

} // namespace

BackgroundTask::BackgroundTask(QWidget* window)
    : QObject(window), window_(window), dialog_(new QProgressDialog(window)),
      shower_(new QTimer(this)), ticker_(new QTimer(this)) {
    dialog_->setObjectName(QStringLiteral("workProgress"));
    dialog_->setWindowModality(Qt::NonModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setRange(0, 1000);
    dialog_->hide();
    // QProgressDialog shows itself on construction after its own delay: keep it for the work.
    dialog_->cancel();
    dialog_->hide();
    shower_->setSingleShot(true);
    connect(shower_, &QTimer::timeout, this, &BackgroundTask::showProgress);
    connect(ticker_, &QTimer::timeout, this, [this] {
        if (!control_)
            return;
        const int permille = control_->permille.load();
        // Unknown shares (the natural terrain's construction) show a busy bar.
        if (permille < 0) {
            dialog_->setRange(0, 0);
        } else {
            dialog_->setRange(0, 1000);
            dialog_->setValue(permille);
        }
    });
    connect(dialog_, &QProgressDialog::canceled, this, &BackgroundTask::cancel);
    connect(&watcher_, &QFutureWatcher<void>::finished, this, &BackgroundTask::finish);
    pool_.setMaxThreadCount(1);
}

BackgroundTask::~BackgroundTask() {
    cancelAndWait();
}

bool BackgroundTask::start(const QString& label, Job job, std::function<void(bool)> done) {
    if (running_)
        return false;
    running_ = true;
    control_ = std::make_shared<WorkControl>();
    done_ = std::move(done);
    dialog_->reset();
    dialog_->setLabelText(label);
    dialog_->setCancelButtonText(tr("Cancel"));
    dialog_->setRange(0, 1000);
    dialog_->setValue(0);
    shower_->start(progressDelayMs);
    ticker_->start(progressTickMs);
    std::shared_ptr<WorkControl> control = control_;
    watcher_.setFuture(QtConcurrent::run(&pool_, [job = std::move(job), control] {
        lowerThisThread(exportNiceness);
        job(*control);
    }));
    return true;
}

void BackgroundTask::showProgress() {
    if (!running_)
        return;
    dialog_->show();
    dialog_->raise();
}

void BackgroundTask::cancel() {
    if (!running_ || !control_)
        return;
    control_->cancelled = true;
    dialog_->setLabelText(tr("Cancelling..."));
}

void BackgroundTask::cancelAndWait() {
    if (!running_)
        return;
    control_->cancelled = true;
    done_ = nullptr;
    watcher_.waitForFinished();
    finish();
}

void BackgroundTask::finish() {
    if (!running_)
        return;
    running_ = false;
    shower_->stop();
    ticker_->stop();
    dialog_->hide();
    const bool cancelled = control_ && control_->cancelled.load();
    control_.reset();
    std::function<void(bool)> done = std::move(done_);
    done_ = nullptr;
    if (done)
        done(cancelled);
    emit finished();
}

// ---- The natural terrain's previews

struct NaturalPreviewBuilder::Result {
    bool built = false;
    std::vector<SketchModel::PointList> grid;
    double rowSpacing = 0.0;
    double firstNorthing = 0.0;
    std::string message;
};

NaturalPreviewBuilder::NaturalPreviewBuilder(QObject* parent) : QObject(parent) {
    // A superseded build ends at its next level; the newest starts beside it meanwhile.
    pool_.setMaxThreadCount(2);
}

NaturalPreviewBuilder::~NaturalPreviewBuilder() {
    cancel();
    pool_.waitForDone();
}

void NaturalPreviewBuilder::request(const SketchModel& model, std::vector<int> sides) {
    cancel();
    model_ = std::make_shared<SketchModel>(model);
    model_->setPrinting(false);
    sides_ = std::move(sides);
    buildNext();
}

void NaturalPreviewBuilder::cancel() {
    if (cancelled_)
        *cancelled_ = true;
    cancelled_.reset();
    sides_.clear();
    ++generation_;
    busy_ = false;
}

void NaturalPreviewBuilder::waitForWorkers() {
    pool_.waitForDone();
}

void NaturalPreviewBuilder::buildNext() {
    if (sides_.empty() || !model_) {
        busy_ = false;
        return;
    }
    busy_ = true;
    const int side = sides_.front();
    sides_.erase(sides_.begin());
    cancelled_ = std::make_shared<std::atomic<bool>>(false);
    const unsigned generation = generation_;
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher, generation, side] {
        watcher->deleteLater();
        if (generation != generation_)
            return; // superseded: a newer request's build is under way
        Result result = watcher->result();
        if (result.built)
            emit built(std::move(result.grid), result.rowSpacing, result.firstNorthing, side);
        else
            emit failed(QString::fromStdString(result.message));
        buildNext();
    });
    watcher->setFuture(QtConcurrent::run(&pool_, [model = model_, side, cancelled = cancelled_] {
        lowerThisThread(previewNiceness);
        Result result;
        result.built = naturalPreviewGrid(
            *model, side, result.grid, result.rowSpacing, result.message,
            [cancelled] { return cancelled->load(); }, &result.firstNorthing);
        return result;
    }));
}

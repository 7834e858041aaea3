#include "app/sketchhistory.h"

#include <QUndoCommand>
#include <QUndoStack>

// One change of the model. It has been made when it is pushed, so its first redo does
// nothing.
class SketchHistory::Step : public QUndoCommand {
public:
    Step(SketchHistory* history, const QString& text, std::shared_ptr<const SketchState> before,
         std::shared_ptr<const SketchState> after)
        : QUndoCommand(text), history_(history), before_(std::move(before)),
          after_(std::move(after)) {}

    void undo() override { history_->showState(before_); }
    void redo() override {
        if (pushed_)
            history_->showState(after_);
        pushed_ = true;
    }

private:
    SketchHistory* history_;
    std::shared_ptr<const SketchState> before_;
    std::shared_ptr<const SketchState> after_;
    bool pushed_ = false;
};

SketchHistory::SketchHistory(QObject* parent, Show show)
    : stack_(new QUndoStack(parent)), show_(std::move(show)) {
    stack_->setUndoLimit(stepLimit);
}

SketchHistory::~SketchHistory() = default;

bool SketchHistory::record(const QString& text, SketchState before, const SketchState& after) {
    if (before.sameTerrainInputs(after))
        return false;
    std::shared_ptr<const SketchState> from;
    // The layer chosen since the last step is not a step of its own, but undoing this one
    // goes back to the layer it was made on.
    if (latest_ && before.sameTerrainInputs(*latest_) &&
        before.currentLayer == latest_->currentLayer) {
        from = latest_;
    } else {
        if (latest_)
            before.shareUnchanged(*latest_);
        from = std::make_shared<const SketchState>(std::move(before));
    }
    SketchState shared = after;
    shared.shareUnchanged(*from);
    latest_ = std::make_shared<const SketchState>(std::move(shared));
    stack_->push(new Step(this, text, from, latest_));
    return true;
}

void SketchHistory::showState(const std::shared_ptr<const SketchState>& state) {
    latest_ = state;
    show_(*state);
}

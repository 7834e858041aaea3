#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "sketch/sketchstate.h"

class QObject;
class QUndoStack;

// The undo history of the mountain: every step holds the model's state before and after it
// (the terrain's inputs, never the grid, which is rebuilt), and undo or redo hands one of them
// back to be shown. A state shares every list that did not change with the state recorded
// before it, so a step costs about what it changed: nothing for a slider drag, the new profile
// set for a profile edit, the curve and its levels for a "Next" out of stage 0.
class SketchHistory {
public:
    using Show = std::function<void(const SketchState&)>;

    // Steps kept before the oldest are dropped.
    static const int stepLimit = 500;

    // show puts a state back into the model and shows it; the stack is a child of parent.
    SketchHistory(QObject* parent, Show show);
    ~SketchHistory();
    SketchHistory(const SketchHistory&) = delete;
    SketchHistory& operator=(const SketchHistory&) = delete;

    QUndoStack* stack() const { return stack_; }

    // Records a change that has been made, from before to after, as one step named text.
    // Nothing is recorded when the two build the same terrain; the result says whether a
    // step was recorded.
    bool record(const QString& text, SketchState before, const SketchState& after);

private:
    class Step;
    void showState(const std::shared_ptr<const SketchState>& state);

    QUndoStack* stack_;
    Show show_;
    // The state last recorded or shown: the next step shares its lists.
    std::shared_ptr<const SketchState> latest_;
};

#pragma once

#include <QDockWidget>
#include <vector>

#include "natural/naturalterrain.h"
#include "view/naturalcolours.h"

class QCheckBox;
class QDoubleSpinBox;
class QPushButton;
class QSlider;
class QTimer;

// The natural terrain's settings beside the view, as a dock: slope, front profile, detail,
// erosion, erosion steps and seed (with "New Seed"), and the natural view's look (snow line,
// water level). Every move of a control is told at once (changing), so that the view can show
// a coarse terrain while the user drags; the value is settled when the drag ends or the
// controls rest for settleDelayMs, and told once more (settled): one undo step each.
class NaturalPanel : public QDockWidget {
    Q_OBJECT

public:
    static constexpr int settleDelayMs = 400;

    explicit NaturalPanel(QWidget* parent = nullptr);

    // Shows settings without telling them back.
    void showSettings(const NaturalSettings& settings);
    NaturalSettings settings() const;
    NaturalLook look() const;

    // The controls, by setting, for scripts and tests.
    struct Control {
        QSlider* slider = nullptr;
        QDoubleSpinBox* box = nullptr;
        double step = 1.0;
    };
    Control slope, frontProfile, detail, erosion, erosionSteps, seed, snowLine, waterLevel;
    QCheckBox* water = nullptr;
    QPushButton* newSeed = nullptr;
    // Checkable: the natural terrain seen from above, to draw the divide's course (the View
    // menu's "Top View" does the same; topViewToggled tells the user's clicks).
    QPushButton* topView = nullptr;

signals:
    void changing(const NaturalSettings& settings);
    void settled(const NaturalSettings& settings);
    void lookChanged(const NaturalLook& look);
    void topViewToggled(bool on);

private:
    Control addControl(const QString& label, const char* name, double lowest, double highest,
                       double step, int decimals, bool forLook);
    void valueMoved();
    void settle();

    class QFormLayout* form_ = nullptr;
    QTimer* settleTimer_ = nullptr;
    std::vector<Control*> all_;
    bool showing_ = false;
};

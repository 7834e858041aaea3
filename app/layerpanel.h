#pragma once

#include <QColor>
#include <QDockWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class SketchModel;

// The skyline layers beside the view, as a dock: the list front (nearest) to back, where
// selecting a row makes that layer the current one, and below it the current layer's name,
// colour, distance and its visible and locked switches, with buttons to add, remove and move
// layers; below them the camera the layers were drawn from (straight on or in perspective,
// its field of view, eye height and horizon row, or read from the photograph). It shows what
// the session holds and tells every change the user makes as a signal;
// the window makes each one an undo step.
class LayerPanel : public QDockWidget {
    Q_OBJECT

public:
    explicit LayerPanel(QWidget* parent = nullptr);

    // Shows the model's layers without telling them back.
    void showLayers(const SketchModel& model);

    QListWidget* list = nullptr;
    QLineEdit* name = nullptr;
    QPushButton* colour = nullptr;
    QDoubleSpinBox* distance = nullptr;
    QCheckBox* visible = nullptr;
    QCheckBox* locked = nullptr;
    QPushButton* add = nullptr;
    QPushButton* remove = nullptr;
    QPushButton* nearer = nullptr;
    QPushButton* farther = nullptr;
    QGroupBox* cameraGroup = nullptr;
    QComboBox* cameraKind = nullptr;
    QDoubleSpinBox* fieldOfView = nullptr;
    QDoubleSpinBox* eyeHeight = nullptr;
    QDoubleSpinBox* horizon = nullptr;
    QPushButton* fromPhotograph = nullptr;

signals:
    void layerChosen(int layer);
    void addRequested();
    void removeRequested();
    void moveRequested(bool nearer);
    // The rest concern the current layer.
    void renamed(const QString& name);
    void colourChosen(const QColor& colour);
    void distanceChanged(double distance);
    void visibleToggled(bool visible);
    void lockedToggled(bool locked);
    // The camera as the fields now give it.
    void cameraEdited(bool perspective, double fieldOfView, double eyeHeight, double horizon);
    void photographCameraRequested();

private:
    void chooseColour();
    void tellCamera();

    QColor shownColour_;
    bool showing_ = false;
};

#include "app/layerpanel.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "sketch/sketchmodel.h"

namespace {

QColor qColour(const LayerColour& colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

QIcon swatch(const QColor& colour) {
    QPixmap square(14, 14);
    square.fill(colour);
    return QIcon(square);
}

QPushButton* namedButton(const QString& text, const char* objectName, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

} // namespace

LayerPanel::LayerPanel(QWidget* parent) : QDockWidget(tr("Layers"), parent) {
    setObjectName(QStringLiteral("layerPanel"));
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);

    list = new QListWidget(body);
    list->setObjectName(QStringLiteral("layerList"));
    list->setToolTip(tr("The skylines front to back: the nearest at the top. Select a layer "
                        "to draw on it; the terrain is built from the top one."));
    list->setMinimumWidth(180);
    column->addWidget(list, 1);

    auto* buttons = new QGridLayout();
    add = namedButton(tr("Add"), "addLayerButton", body);
    remove = namedButton(tr("Remove"), "removeLayerButton", body);
    nearer = namedButton(tr("Nearer"), "nearerLayerButton", body);
    farther = namedButton(tr("Farther"), "fartherLayerButton", body);
    buttons->addWidget(add, 0, 0);
    buttons->addWidget(remove, 0, 1);
    buttons->addWidget(nearer, 1, 0);
    buttons->addWidget(farther, 1, 1);
    column->addLayout(buttons);

    auto* form = new QFormLayout();
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    name = new QLineEdit(body);
    name->setObjectName(QStringLiteral("layerNameEdit"));
    name->setMaxLength(static_cast<int>(longestLayerName));
    form->addRow(tr("Name"), name);
    colour = namedButton(QString(), "layerColourButton", body);
    colour->setToolTip(tr("The colour the layer's skyline is drawn in while another layer is "
                          "current."));
    form->addRow(tr("Colour"), colour);
    distance = new QDoubleSpinBox(body);
    distance->setObjectName(QStringLiteral("layerDistanceBox"));
    distance->setRange(0.01, largestLayerDistance);
    distance->setDecimals(2);
    distance->setSingleStep(100.0);
    distance->setKeyboardTracking(false);
    distance->setToolTip(tr("How far the layer's range lies from the viewer, in world units."));
    form->addRow(tr("Distance"), distance);
    visible = new QCheckBox(tr("Visible"), body);
    visible->setObjectName(QStringLiteral("layerVisibleBox"));
    locked = new QCheckBox(tr("Locked"), body);
    locked->setObjectName(QStringLiteral("layerLockedBox"));
    locked->setToolTip(tr("A locked layer takes no strokes."));
    auto* switches = new QHBoxLayout();
    switches->addWidget(visible);
    switches->addWidget(locked);
    form->addRow(QString(), switches);
    column->addLayout(form);

    cameraGroup = new QGroupBox(tr("Camera"), body);
    cameraGroup->setObjectName(QStringLiteral("cameraGroup"));
    auto* cameraForm = new QFormLayout(cameraGroup);
    cameraForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    cameraKind = new QComboBox(cameraGroup);
    cameraKind->setObjectName(QStringLiteral("cameraKindBox"));
    cameraKind->addItem(tr("Straight on"));
    cameraKind->addItem(tr("Perspective"));
    cameraKind->setToolTip(tr("Straight on, every layer is drawn at the same size whatever its "
                              "distance; in perspective, as a photograph sees them: farther "
                              "layers stand for a larger world."));
    cameraForm->addRow(tr("View"), cameraKind);
    fieldOfView = new QDoubleSpinBox(cameraGroup);
    fieldOfView->setObjectName(QStringLiteral("fieldOfViewBox"));
    fieldOfView->setRange(smallestFieldOfView, largestFieldOfView);
    fieldOfView->setDecimals(1);
    fieldOfView->setSuffix(tr(" degrees"));
    fieldOfView->setKeyboardTracking(false);
    fieldOfView->setToolTip(tr("The angle the drawing's width spans, left edge to right edge."));
    cameraForm->addRow(tr("Field of view"), fieldOfView);
    eyeHeight = new QDoubleSpinBox(cameraGroup);
    eyeHeight->setObjectName(QStringLiteral("eyeHeightBox"));
    eyeHeight->setRange(-largestCameraValue, largestCameraValue);
    eyeHeight->setDecimals(1);
    eyeHeight->setSingleStep(10.0);
    eyeHeight->setKeyboardTracking(false);
    eyeHeight->setToolTip(tr("How high the eye stands above the terrain's height 0, in world "
                             "units."));
    cameraForm->addRow(tr("Eye height"), eyeHeight);
    horizon = new QDoubleSpinBox(cameraGroup);
    horizon->setObjectName(QStringLiteral("horizonBox"));
    horizon->setRange(-largestCameraValue, largestCameraValue);
    horizon->setDecimals(1);
    horizon->setSingleStep(10.0);
    horizon->setKeyboardTracking(false);
    horizon->setToolTip(tr("The drawing's row, in pixels from its bottom edge, where a level "
                           "line at eye height lies."));
    cameraForm->addRow(tr("Horizon row"), horizon);
    fromPhotograph = namedButton(tr("From Photograph"), "cameraFromPhotographButton", cameraGroup);
    fromPhotograph->setToolTip(tr("Take the field of view and the eye height from the "
                                  "background photograph's metadata (focal length and GPS "
                                  "altitude)."));
    cameraForm->addRow(QString(), fromPhotograph);
    column->addWidget(cameraGroup);
    setWidget(body);

    connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!showing_ && row >= 0)
            emit layerChosen(row);
    });
    connect(add, &QPushButton::clicked, this, &LayerPanel::addRequested);
    connect(remove, &QPushButton::clicked, this, &LayerPanel::removeRequested);
    connect(nearer, &QPushButton::clicked, this, [this] { emit moveRequested(true); });
    connect(farther, &QPushButton::clicked, this, [this] { emit moveRequested(false); });
    connect(name, &QLineEdit::editingFinished, this, [this] {
        if (!showing_)
            emit renamed(name->text());
    });
    connect(colour, &QPushButton::clicked, this, &LayerPanel::chooseColour);
    connect(distance, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        if (!showing_)
            emit distanceChanged(value);
    });
    connect(visible, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_)
            emit visibleToggled(on);
    });
    connect(locked, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_)
            emit lockedToggled(on);
    });
    connect(cameraKind, &QComboBox::currentIndexChanged, this, &LayerPanel::tellCamera);
    for (QDoubleSpinBox* box : {fieldOfView, eyeHeight, horizon})
        connect(box, &QDoubleSpinBox::valueChanged, this, &LayerPanel::tellCamera);
    connect(fromPhotograph, &QPushButton::clicked, this, &LayerPanel::photographCameraRequested);
}

void LayerPanel::tellCamera() {
    if (!showing_)
        emit cameraEdited(cameraKind->currentIndex() == 1, fieldOfView->value(), eyeHeight->value(),
                          horizon->value());
}

void LayerPanel::chooseColour() {
    const QColor chosen = QColorDialog::getColor(shownColour_, this, tr("Layer Colour"));
    if (chosen.isValid() && chosen != shownColour_)
        emit colourChosen(chosen);
}

void LayerPanel::showLayers(const SketchModel& model) {
    showing_ = true;
    const int count = model.layerCount();
    while (list->count() > count)
        delete list->takeItem(list->count() - 1);
    while (list->count() < count)
        list->addItem(new QListWidgetItem());
    for (int i = 0; i < count; ++i) {
        const LayerProperties& p = model.layerProperties(i);
        QString text = QString::fromStdString(p.name) + QStringLiteral(" · ") +
                       QString::number(p.distance, 'g', 10);
        if (!p.visible)
            text += tr(" · hidden");
        if (p.locked)
            text += tr(" · locked");
        QListWidgetItem* item = list->item(i);
        item->setText(text);
        item->setIcon(swatch(qColour(p.colour)));
    }
    const int current = model.currentLayer();
    list->setCurrentRow(current);
    const LayerProperties& p = model.layerProperties(current);
    name->setText(QString::fromStdString(p.name));
    shownColour_ = qColour(p.colour);
    colour->setIcon(swatch(shownColour_));
    colour->setText(shownColour_.name());
    distance->setValue(p.distance);
    visible->setChecked(p.visible);
    locked->setChecked(p.locked);
    remove->setEnabled(count > 1);
    nearer->setEnabled(current > 0);
    farther->setEnabled(current < count - 1);
    const SketchCamera& camera = model.camera();
    cameraKind->setCurrentIndex(camera.perspective() ? 1 : 0);
    fieldOfView->setValue(camera.fieldOfView);
    eyeHeight->setValue(camera.eyeHeight);
    horizon->setValue(camera.horizon);
    for (QWidget* field : {static_cast<QWidget*>(fieldOfView), static_cast<QWidget*>(eyeHeight),
                           static_cast<QWidget*>(horizon)})
        field->setEnabled(camera.perspective());
    showing_ = false;
}

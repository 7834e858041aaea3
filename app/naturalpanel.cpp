#include "app/naturalpanel.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cmath>

NaturalPanel::NaturalPanel(QWidget* parent) : QDockWidget(tr("Natural Terrain"), parent) {
    setObjectName(QStringLiteral("naturalPanel"));
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    auto* body = new QWidget(this);
    form_ = new QFormLayout(body);
    form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    settleTimer_ = new QTimer(this);
    settleTimer_->setSingleShot(true);
    connect(settleTimer_, &QTimer::timeout, this, &NaturalPanel::settle);

    // The ranges are checkNaturalSettings' own.
    slope = addControl(tr("Slope"), "slope", 0.05, 5.0, 0.05, 2, false);
    frontProfile = addControl(tr("Front profile"), "frontProfile", 0.5, 4.0, 0.1, 1, false);
    detail = addControl(tr("Detail"), "detail", 0.0, 1.0, 0.01, 2, false);
    erosion = addControl(tr("Erosion"), "erosion", 0.0, 1.0, 0.01, 2, false);
    erosionSteps = addControl(tr("Erosion steps"), "erosionSteps", 1, 500, 1, 0, false);
    seed = addControl(tr("Seed"), "seed", 0, 4294967295.0, 1, 0, false);
    // A seed has no order worth dragging along: it is typed or drawn anew.
    seed.slider->hide();
    newSeed = new QPushButton(tr("New Seed"), body);
    newSeed->setObjectName(QStringLiteral("newSeedButton"));
    form_->addRow(QString(), newSeed);
    connect(newSeed, &QPushButton::clicked, this, [this] {
        seed.box->setValue(static_cast<double>(QRandomGenerator::global()->generate()));
        settle();
    });

    topView = new QPushButton(tr("Top View"), body);
    topView->setObjectName(QStringLiteral("topViewButton"));
    topView->setCheckable(true);
    topView->setToolTip(tr("See the natural terrain from above and draw where its divide runs."));
    form_->addRow(QString(), topView);
    connect(topView, &QPushButton::clicked, this, &NaturalPanel::topViewToggled);

    snowLine = addControl(tr("Snow line (%)"), "snowLine", 0, 100, 1, 0, true);
    water = new QCheckBox(tr("Water"), body);
    water->setObjectName(QStringLiteral("waterBox"));
    form_->addRow(QString(), water);
    waterLevel = addControl(tr("Water level (%)"), "waterLevel", 0, 100, 1, 0, true);
    connect(water, &QCheckBox::toggled, this, [this] { emit lookChanged(look()); });
    const NaturalLook first;
    snowLine.box->setValue(first.snowLine * 100.0);
    waterLevel.box->setValue(first.waterLevel * 100.0);
    setWidget(body);
    showSettings(NaturalSettings());
}

NaturalPanel::Control NaturalPanel::addControl(const QString& label, const char* name,
                                               double lowest, double highest, double step,
                                               int decimals, bool forLook) {
    Control control;
    control.step = step;
    auto* row = new QWidget(widget() ? widget() : form_->parentWidget());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    control.slider = new QSlider(Qt::Horizontal, row);
    control.slider->setObjectName(QString::fromLatin1(name) + QStringLiteral("Slider"));
    // The seed's range is wider than a slider's; its slider stays hidden.
    const double positions = std::min((highest - lowest) / step, 1e9);
    control.slider->setRange(0, static_cast<int>(std::lround(positions)));
    control.slider->setMinimumWidth(100);
    control.box = new QDoubleSpinBox(row);
    control.box->setObjectName(QString::fromLatin1(name) + QStringLiteral("Box"));
    control.box->setRange(lowest, highest);
    control.box->setDecimals(decimals);
    control.box->setSingleStep(step);
    control.box->setKeyboardTracking(false);
    layout->addWidget(control.slider, 1);
    layout->addWidget(control.box);
    form_->addRow(label, row);

    QSlider* slider = control.slider;
    QDoubleSpinBox* box = control.box;
    // The slider and the box show one value; a move of either is a change.
    connect(slider, &QSlider::valueChanged, this, [box, slider, lowest, step] {
        const QSignalBlocker quiet(box);
        box->setValue(lowest + slider->value() * step);
    });
    connect(slider, &QSlider::valueChanged, this, [this, forLook] {
        if (showing_)
            return;
        if (forLook)
            emit lookChanged(look());
        else
            valueMoved();
    });
    connect(slider, &QSlider::sliderReleased, this, [this, forLook] {
        if (!forLook)
            settle();
    });
    connect(box, &QDoubleSpinBox::valueChanged, this, [this, slider, box, lowest, step, forLook] {
        {
            const QSignalBlocker quiet(slider);
            slider->setValue(
                static_cast<int>(std::lround(std::min((box->value() - lowest) / step, 1e9))));
        }
        if (showing_)
            return;
        if (forLook) {
            emit lookChanged(look());
        } else {
            valueMoved();
        }
    });
    return control;
}

void NaturalPanel::valueMoved() {
    emit changing(settings());
    // A drag settles when the slider is let go; anything else when the controls rest.
    settleTimer_->start(settleDelayMs);
}

void NaturalPanel::settle() {
    settleTimer_->stop();
    if (slope.slider->isSliderDown() || frontProfile.slider->isSliderDown() ||
        detail.slider->isSliderDown() || erosion.slider->isSliderDown() ||
        erosionSteps.slider->isSliderDown())
        return;
    emit settled(settings());
}

void NaturalPanel::showSettings(const NaturalSettings& settings) {
    showing_ = true;
    slope.box->setValue(settings.slope);
    frontProfile.box->setValue(settings.frontProfile);
    detail.box->setValue(settings.detail);
    erosion.box->setValue(settings.erosion);
    erosionSteps.box->setValue(settings.erosionSteps);
    seed.box->setValue(static_cast<double>(settings.seed));
    showing_ = false;
}

NaturalSettings NaturalPanel::settings() const {
    NaturalSettings settings;
    settings.slope = slope.box->value();
    settings.frontProfile = frontProfile.box->value();
    settings.detail = detail.box->value();
    settings.erosion = erosion.box->value();
    settings.erosionSteps = static_cast<int>(std::lround(erosionSteps.box->value()));
    settings.seed = static_cast<std::uint32_t>(std::llround(seed.box->value()));
    return settings;
}

NaturalLook NaturalPanel::look() const {
    NaturalLook look;
    look.snowLine = snowLine.box->value() / 100.0;
    look.water = water->isChecked();
    look.waterLevel = waterLevel.box->value() / 100.0;
    return look;
}

#include "crop_controls.h"

#include "app/product.h"
#include "shell/double_slider.h"
#include "shell/theme.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace tovi {
namespace {

QString integerPart(double value) {
    if (!std::isfinite(value))
        return QStringLiteral("0");
    const auto whole = static_cast<long long>(std::trunc(value));
    // A minus sign, not a hyphen, as the desktop shows numbers.
    return whole < 0 ? QStringLiteral("−") + QString::number(-whole) : QString::number(whole);
}

} // namespace

QString CropControls::zoomText(double zoom) {
    return integerPart(zoom * 100) + QLatin1Char('%');
}

QString CropControls::offsetText(double offset) {
    return integerPart(offset * 100);
}

CropControls::CropControls(QWidget* parent)
    : QWidget(parent)
    , m_zoom(new DoubleSlider(CropSettings::minZoom, CropSettings::maxZoom))
    , m_x(new DoubleSlider(-CropSettings::reach, CropSettings::reach))
    , m_y(new DoubleSlider(-CropSettings::reach, CropSettings::reach))
    , m_zoomValue(new QLabel)
    , m_xValue(new QLabel)
    , m_yValue(new QLabel)
    , m_centre(new QPushButton(QStringLiteral("Wycentruj kadr"))) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(16);
    const QFont caption = Typography::font(Typography::Style::caption);
    QFont digits = caption;
    digits.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    const auto row = [&](const QString& title, DoubleSlider* slider, QLabel* value,
                         DoubleSlider::ValueText text) {
        auto* column = new QVBoxLayout;
        column->setSpacing(6);
        auto* line = new QHBoxLayout;
        auto* label = new QLabel(title);
        label->setFont(caption);
        value->setFont(digits);
        value->setForegroundRole(QPalette::PlaceholderText);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->addWidget(label);
        line->addStretch(1);
        line->addWidget(value);
        column->addLayout(line);
        slider->setAccessibleName(title);
        slider->setValueText(std::move(text), 100);
        column->addWidget(slider);
        stack->addLayout(column);
    };
    row(QStringLiteral("Zoom"), m_zoom, m_zoomValue, zoomText);
    row(QStringLiteral("Poziomo"), m_x, m_xValue, offsetText);
    row(QStringLiteral("Pionowo"), m_y, m_yValue, offsetText);

    auto* footer = new QHBoxLayout;
    m_centre->setFlat(true);
    m_centre->setCursor(Qt::PointingHandCursor);
    QPalette accent = m_centre->palette();
    accent.setColor(QPalette::Active, QPalette::ButtonText, StudioStyle::accent());
    accent.setColor(QPalette::Inactive, QPalette::ButtonText, StudioStyle::accent());
    m_centre->setPalette(accent);
    auto* size = new QLabel(Product::screenSizeText());
    size->setFont(caption);
    size->setForegroundRole(QPalette::PlaceholderText);
    footer->addWidget(m_centre);
    footer->addStretch(1);
    footer->addWidget(size);
    stack->addLayout(footer);

    connect(m_zoom, &DoubleSlider::valueChangedDouble, this, [this](double value) {
        m_crop.zoom = value;
        showValues();
        emit changed(m_crop);
    });
    connect(m_x, &DoubleSlider::valueChangedDouble, this, [this](double value) {
        m_crop.x = value;
        showValues();
        emit changed(m_crop);
    });
    connect(m_y, &DoubleSlider::valueChangedDouble, this, [this](double value) {
        m_crop.y = value;
        showValues();
        emit changed(m_crop);
    });
    connect(m_centre, &QPushButton::clicked, this, [this] {
        setCrop(CropSettings{});
        emit changed(m_crop);
    });
    setCrop(m_crop);
}

void CropControls::setCrop(const CropSettings& crop) {
    m_crop = crop;
    m_zoom->setValue(crop.zoom);
    m_x->setValue(crop.x);
    m_y->setValue(crop.y);
    showValues();
}

void CropControls::showValues() {
    // The sliders' own texts: what a screen reader hears of each is what is shown.
    m_zoomValue->setText(m_zoom->valueText());
    m_xValue->setText(m_x->valueText());
    m_yValue->setText(m_y->valueText());
}

} // namespace tovi

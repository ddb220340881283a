#include "studio_panels.h"

#include "app/polish_format.h"
#include "app/product.h"
#include "media/fragment_sampler.h"
#include "media/media_processor.h"
#include "shell/controls.h"
#include "shell/double_slider.h"
#include "shell/theme.h"
#include "studio/studio_model.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace tovi {
namespace {

QLabel* note(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setFont(Typography::font(Typography::Style::caption));
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* heading(const QString& text) {
    auto* label = new QLabel(text);
    label->setFont(Typography::font(Typography::Style::caption));
    return label;
}

int fpsIndex(int fps) {
    for (int i = 0; i < 3; ++i)
        if (Product::frameRates[i] == fps)
            return i;
    return 2;
}

QStringList speedTitles() {
    QStringList titles;
    for (double speed : playbackSpeeds)
        titles << PolishFormat::speed(speed);
    return titles;
}

int speedIndex(double speed) {
    for (size_t i = 0; i < playbackSpeeds.size(); ++i)
        if (playbackSpeeds[i] == speed)
            return int(i);
    return 2; // 1 ×
}

// A heading over its control, which a screen reader names after it.
QVBoxLayout* titled(const QString& title, QWidget* control) {
    auto* group = new QVBoxLayout;
    group->setSpacing(6);
    group->addWidget(heading(title));
    control->setAccessibleName(title);
    group->addWidget(control);
    return group;
}

} // namespace

SliderRow::SliderRow(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_slider(new DoubleSlider(0, 1))
    , m_value(new QLabel) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* line = new QHBoxLayout;
    line->addWidget(heading(title));
    line->addStretch(1);
    QFont digits = Typography::font(Typography::Style::caption);
    digits.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    m_value->setFont(digits);
    m_value->setForegroundRole(QPalette::PlaceholderText);
    line->addWidget(m_value);
    column->addLayout(line);
    m_slider->setAccessibleName(title);
    m_slider->setValueText(PolishFormat::sliderSeconds);
    column->addWidget(m_slider);
    connect(m_slider, &DoubleSlider::valueChangedDouble, this, [this](double value) {
        m_value->setText(m_slider->valueText());
        emit moved(value);
    });
}

void SliderRow::show(double minimum, double maximum, double value, double limit) {
    m_slider->setRange(minimum, maximum);
    m_slider->setLimit(limit);
    // The handle, the text and a screen reader say what applies: at most the limit.
    value = std::min(value, limit);
    m_slider->setValue(value);
    m_value->setText(m_slider->valueText());
}

StudioAnimationControls::StudioAnimationControls(StudioModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_rotation(new Switch(QStringLiteral("Obracająca się grafika")))
    , m_turnGroup(new QWidget)
    , m_turn(new SliderRow(QStringLiteral("Pełny obrót")))
    , m_direction(new SegmentedControl({QStringLiteral("W prawo"), QStringLiteral("W lewo")}))
    , m_format(new SegmentedControl({rawValue(OutputFormat::gif), rawValue(OutputFormat::jpg)}))
    , m_fragment(new QWidget)
    , m_start(new SliderRow(QStringLiteral("Początek fragmentu")))
    , m_gifGroup(new QWidget)
    , m_length(new SliderRow(QStringLiteral("Długość")))
    , m_order(new SegmentedControl({QStringLiteral("Normalnie"), QStringLiteral("Wstecz"),
                                    QStringLiteral("Tam i z powrotem")}))
    , m_speed(new SegmentedControl(speedTitles()))
    , m_fpsGroup(new QWidget)
    , m_fps(new SegmentedControl({QStringLiteral("6"), QStringLiteral("8"), QStringLiteral("12")}))
    , m_fpsNote(note({})) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    column->addWidget(m_rotation);
    auto* turn = new QVBoxLayout(m_turnGroup);
    turn->setContentsMargins(0, 0, 0, 0);
    turn->setSpacing(12);
    turn->addWidget(m_turn);
    turn->addWidget(heading(QStringLiteral("Kierunek")));
    m_direction->setAccessibleName(QStringLiteral("Kierunek"));
    turn->addWidget(m_direction);
    turn->addWidget(note(QStringLiteral("Pełny obrót 360° w pętli. Podgląd na ekranie Tovi.")));
    column->addWidget(m_turnGroup);

    auto* format = new QVBoxLayout;
    format->setSpacing(6);
    format->addWidget(heading(QStringLiteral("Format")));
    m_format->setAccessibleName(QStringLiteral("Format"));
    format->addWidget(m_format);
    column->addLayout(format);

    auto* fragment = new QVBoxLayout(m_fragment);
    fragment->setContentsMargins(0, 0, 0, 0);
    fragment->setSpacing(16);
    fragment->addWidget(m_start);
    auto* gif = new QVBoxLayout(m_gifGroup);
    gif->setContentsMargins(0, 0, 0, 0);
    gif->setSpacing(16);
    gif->addWidget(m_length);
    gif->addLayout(titled(QStringLiteral("Odtwarzanie"), m_order));
    gif->addLayout(titled(QStringLiteral("Prędkość"), m_speed));
    fragment->addWidget(m_gifGroup);
    column->addWidget(m_fragment);

    auto* fps = new QVBoxLayout(m_fpsGroup);
    fps->setContentsMargins(0, 0, 0, 0);
    fps->setSpacing(6);
    fps->addWidget(heading(QStringLiteral("Klatki / s")));
    m_fps->setAccessibleName(QStringLiteral("Klatki / s"));
    fps->addWidget(m_fps);
    fps->addWidget(m_fpsNote);
    column->addWidget(m_fpsGroup);

    const auto change = [this](auto apply) {
        ExportOptions options = m_model.options();
        apply(options);
        m_model.setOptions(options);
        m_model.refreshPreview();
    };
    connect(m_rotation, &QAbstractButton::toggled, this, [change](bool on) {
        change([on](ExportOptions& o) {
            o.rotation = on;
            o.format = on ? OutputFormat::gif : OutputFormat::jpg;
        });
    });
    connect(m_turn, &SliderRow::moved, this, [change](double value) {
        change([value](ExportOptions& o) { o.rotationSeconds = value; });
    });
    connect(m_direction, &SegmentedControl::chosen, this, [change](int index) {
        change([index](ExportOptions& o) { o.clockwise = index == 0; });
    });
    connect(m_format, &SegmentedControl::chosen, this, [change](int index) {
        change([index](ExportOptions& o) { o.format = allOutputFormats[size_t(index)]; });
    });
    connect(m_start, &SliderRow::moved, this,
            [change](double value) { change([value](ExportOptions& o) { o.start = value; }); });
    connect(m_length, &SliderRow::moved, this,
            [change](double value) { change([value](ExportOptions& o) { o.length = value; }); });
    connect(m_fps, &SegmentedControl::chosen, this, [this, change](int index) {
        const bool animated = m_model.media() && m_model.media()->animated;
        if (animated) {
            // The frame rate shows in the playing fragment, which follows the options, but not
            // on the still preview: that needs no refresh, only the export is stale.
            ExportOptions options = m_model.options();
            options.fps = Product::frameRates[index];
            m_model.setOptions(options);
            m_model.forgetExport();
        } else {
            change([index](ExportOptions& o) { o.fps = Product::frameRates[index]; });
        }
    });
    // How the fragment plays shows only in the playing preview, as the frame rate does.
    const auto replay = [this](auto apply) {
        ExportOptions options = m_model.options();
        apply(options);
        m_model.setOptions(options);
        m_model.forgetExport();
    };
    connect(m_order, &SegmentedControl::chosen, this, [replay](int index) {
        replay([index](ExportOptions& o) { o.order = allPlaybackOrders[size_t(index)]; });
    });
    connect(m_speed, &SegmentedControl::chosen, this, [replay](int index) {
        replay([index](ExportOptions& o) { o.speed = playbackSpeeds[size_t(index)]; });
    });
    connect(&m_model, &StudioModel::optionsChanged, this, &StudioAnimationControls::sync);
    connect(&m_model, &StudioModel::mediaChanged, this, &StudioAnimationControls::sync);
    sync();
}

void StudioAnimationControls::sync() {
    const auto& media = m_model.media();
    const ExportOptions& options = m_model.options();
    const bool still = media && !media->animated;
    const bool animated = media && media->animated;
    const bool gif = options.format == OutputFormat::gif;
    const QSignalBlocker blockRotation(m_rotation);
    m_rotation->setVisible(still);
    m_rotation->setChecked(options.rotation);
    m_turnGroup->setVisible(still && options.rotation);
    m_turn->show(1, 8, options.rotationSeconds);
    m_direction->setCurrent(options.clockwise ? 0 : 1);
    m_format->setCurrent(gif ? 0 : 1);
    m_format->setEnabled(!options.rotation);
    m_fragment->setVisible(animated);
    if (animated) {
        const double duration = media->duration;
        m_start->show(0, std::max(duration - 0.1, 0.01), options.start);
        // One scale for the whole media; what the start leaves is marked on it.
        m_length->show(
            0.1, std::max(std::min(duration, Product::maxSeconds), 0.1), options.length,
            std::max(std::min(duration - options.start, FragmentPlan::longest(options.order)),
                     0.1));
    }
    m_gifGroup->setVisible(animated && gif);
    m_order->setCurrent(
        int(std::find(allPlaybackOrders.begin(), allPlaybackOrders.end(), options.order) -
            allPlaybackOrders.begin()));
    m_speed->setCurrent(speedIndex(options.speed));
    m_fpsGroup->setVisible((animated && gif) || (still && options.rotation));
    m_fps->setCurrent(fpsIndex(options.fps));
    m_fpsNote->setText(animated
                           ? QStringLiteral("Zapętlony GIF, maks. %1 s i %2.")
                                 .arg(FragmentPlan::longest(options.order))
                                 .arg(PolishFormat::limitMegabytes(MediaProcessor::maxGifBytes))
                           : QStringLiteral("GIF · %1 · maks. %2")
                                 .arg(Product::screenSizeText(),
                                      PolishFormat::limitMegabytes(MediaProcessor::maxGifBytes)));
}

StudioCaptionControls::StudioCaptionControls(StudioModel& model, QWidget* parent)
    : CaptionFields(QStringLiteral("Tytuł"), Order::switchAbove, parent)
    , m_model(model) {
    offerClearing();
    const auto change = [this](auto apply) {
        ExportOptions options = m_model.options();
        apply(options);
        m_model.setOptions(options);
        m_model.refreshPreview();
    };
    connect(this, &CaptionFields::captionsToggled, this,
            [change](bool on) { change([on](ExportOptions& o) { o.captions = on; }); });
    connect(this, &CaptionFields::titleTyped, this, [change](const QString& text) {
        change([&text](ExportOptions& o) { type(o, &ExportOptions::captionTitle, text); });
    });
    connect(this, &CaptionFields::subtitleTyped, this, [change](const QString& text) {
        change([&text](ExportOptions& o) { type(o, &ExportOptions::captionSubtitle, text); });
    });
    connect(&m_model, &StudioModel::optionsChanged, this, &StudioCaptionControls::sync);
    sync();
}

void StudioCaptionControls::sync() {
    const ExportOptions& options = m_model.options();
    display(options.captions, options.captionTitle, options.captionSubtitle);
}

} // namespace tovi

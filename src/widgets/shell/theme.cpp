#include "theme.h"

#include "app/resource_bundle.h"
#include "app/studio_mode.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QProcess>
#include <QStyle>
#include <QStyleFactory>
#include <QSvgRenderer>
#include <QWidget>

namespace tovi {

namespace Theme {

QPalette palette(bool dark) {
    const QColor window = StudioAppearance::background(dark);
    const QColor text = dark ? QColor(236, 236, 238) : QColor(28, 28, 30);
    const QColor base = dark ? QColor(44, 44, 46) : QColor(255, 255, 255);
    const QColor button = dark ? QColor(58, 58, 60) : QColor(252, 252, 252);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, dark ? QColor(38, 38, 40) : QColor(246, 246, 246));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, StudioStyle::accent());
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, StudioStyle::accent());
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    QColor placeholder = text;
    placeholder.setAlphaF(0.45f);
    p.setColor(QPalette::PlaceholderText, placeholder);
    p.setColor(QPalette::Light, dark ? QColor(80, 80, 84) : QColor(255, 255, 255));
    p.setColor(QPalette::Midlight, dark ? QColor(66, 66, 70) : QColor(232, 232, 232));
    p.setColor(QPalette::Mid, dark ? QColor(54, 54, 58) : QColor(200, 200, 200));
    p.setColor(QPalette::Dark, dark ? QColor(20, 20, 22) : QColor(160, 160, 160));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0));
    // Disabled controls: opaque mixes of text and window, so they read the same on any fill.
    const auto mix = [&](double share) {
        return QColor::fromRgbF(float(text.redF() * share + window.redF() * (1 - share)),
                                float(text.greenF() * share + window.greenF() * (1 - share)),
                                float(text.blueF() * share + window.blueF() * (1 - share)));
    };
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, mix(0.45));
    p.setColor(QPalette::Disabled, QPalette::PlaceholderText, mix(0.35));
    p.setColor(QPalette::Disabled, QPalette::Highlight, mix(0.3));
    return p;
}

namespace {

// Runs its owner's restyling now and after each change of theme, while the owner lives.
class ThemeFollower : public QObject {
public:
    ThemeFollower(QObject* owner, std::function<void()> restyle)
        : QObject(owner)
        , m_restyle(std::move(restyle)) {
        followers().append(this);
        m_restyle();
    }
    ~ThemeFollower() override { followers().removeOne(this); }

    static QList<ThemeFollower*>& followers() {
        static QList<ThemeFollower*> all;
        return all;
    }

    void restyle() { m_restyle(); }

private:
    std::function<void()> m_restyle;
};

} // namespace

void apply(bool dark) {
    if (QApplication::style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Set first: widgets ask for it while the new palette reaches them.
    qApp->setProperty("toviDark", dark);
    QApplication::setPalette(palette(dark));
    for (ThemeFollower* follower : ThemeFollower::followers())
        follower->restyle();
}

bool isDark() {
    return qApp->property("toviDark").toBool();
}

void follow(QObject* owner, std::function<void()> restyle) {
    new ThemeFollower(owner, std::move(restyle));
}

void followWithStyleSheet(QWidget* widget, std::function<QString()> sheet) {
    follow(widget, [widget, sheet = std::move(sheet)] {
        // A widget under a sheet keeps the palette it was polished with, so it and its
        // children would stay in the old theme's colours: drop the sheet first so the new
        // palette reaches them, then build the sheet from it.
        if (!widget->styleSheet().isEmpty())
            widget->setStyleSheet(QString());
        widget->setStyleSheet(sheet());
    });
}

void followWithIcon(QAbstractButton* button, const QString& name, int size, double opacity) {
    follow(button, [button, name, size, opacity] {
        button->setIcon(Icons::icon(name, primary(nullptr, opacity), size));
    });
}

QString css(const QColor& color) {
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

QColor primary(const QWidget* widget, double opacity) {
    QColor color = widget ? widget->palette().color(QPalette::WindowText)
                          : QApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(float(opacity));
    return color;
}

QColor secondary(const QWidget* widget) {
    return primary(widget, 0.55);
}

QColor error() {
    return isDark() ? QColor(255, 105, 97) : QColor(208, 48, 40);
}

bool reduceMotion() {
    static const bool reduced = [] {
        if (qEnvironmentVariableIsSet("TOVI_REDUCE_MOTION"))
            return qEnvironmentVariableIntValue("TOVI_REDUCE_MOTION") != 0;
        QProcess gsettings;
        gsettings.start(QStringLiteral("gsettings"),
                        {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                         QStringLiteral("enable-animations")});
        if (!gsettings.waitForFinished(500))
            return false;
        return gsettings.readAllStandardOutput().trimmed() == "false";
    }();
    return reduced;
}

bool reduceTransparency() {
    return qEnvironmentVariableIntValue("TOVI_REDUCE_TRANSPARENCY") != 0;
}

} // namespace Theme

namespace StudioStyle {
QColor accent() {
    static const QColor colour = StudioAppearance::accent();
    return colour;
}
} // namespace StudioStyle

namespace Typography {

QFont font(Style style, QFont::Weight weight) {
    QFont font = QApplication::font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    // The proportions of the usual desktop scale around a 13-point body text.
    qreal factor = 1.0;
    switch (style) {
    case Style::largeTitle:
        factor = 26.0 / 13.0;
        break;
    case Style::title:
        factor = 22.0 / 13.0;
        break;
    case Style::title2:
        factor = 17.0 / 13.0;
        break;
    case Style::title3:
        factor = 15.0 / 13.0;
        break;
    case Style::headline:
        if (weight == QFont::Normal)
            weight = QFont::DemiBold;
        break;
    case Style::body:
        break;
    case Style::callout:
        factor = 12.0 / 13.0;
        break;
    case Style::subheadline:
        factor = 11.0 / 13.0;
        break;
    case Style::caption:
        factor = 10.0 / 13.0;
        break;
    }
    font.setPointSizeF(base * factor);
    font.setWeight(weight);
    return font;
}

} // namespace Typography

namespace Icons {

QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio) {
    static QHash<QString, QByteArray> sources;
    auto found = sources.find(name);
    if (found == sources.end()) {
        QFile file(ResourceBundle::main().folder() + QStringLiteral("/icons/") + name +
                   QStringLiteral(".svg"));
        found =
            sources.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    if (found->isEmpty())
        return {};
    QSvgRenderer renderer(*found);
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon icon(const QString& name, const QColor& color, int size) {
    QIcon icon;
    icon.addPixmap(pixmap(name, color, size));
    return icon;
}

} // namespace Icons

} // namespace tovi

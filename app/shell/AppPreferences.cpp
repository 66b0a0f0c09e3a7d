#include "AppPreferences.h"

#include "DesktopColorScheme.h"
#include "PathBytes.h"

#include "platform/HostProfile.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QWidget>

namespace AppPreferences {

namespace {

// Fusion pads a push button's label by a few pixels once the label is wider than its minimum width, so
// "Deselect All" or "Open Software Update" touch their frames; every framed label gets room on both sides.
// It also sets a button's symbol 4 pixels from its text, which reads as touching ("Select Folder"): the
// gap here is a third of the text's height.
class PaddedButtonStyle : public QProxyStyle {
public:
    PaddedButtonStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override
    {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        if (type == CT_PushButton) {
            const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            if (button && hasSymbolAndText(*button))
                size.rwidth() += iconGap(*button) - fusionIconGap;
            if (button && !button->text.isEmpty() && !(button->features & QStyleOptionButton::Flat))
                size.setWidth(qMax(size.width(), contents.width() + 2 * (option->fontMetrics.height() / 2 + 4)));
        }
        return size;
    }

    // Like GNOME, dialog buttons carry no icons: Fusion's stock ones stay black in a dark appearance.
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returned) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }

    // A symbol and its text centred together with a gap that grows with the font; and since Fusion
    // marks the focus of a framed button on its frame, a flat one gets a ring.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (element == CE_PushButtonLabel && button && hasSymbolAndText(*button)) {
            drawSymbolAndText(button, painter);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_PushButton || !button || !(button->features & QStyleOptionButton::Flat) ||
            !(option->state & State_HasFocus) || !(option->state & State_KeyboardFocusChange))
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        QColor ring = option->palette.color(QPalette::Active, QPalette::Highlight);
        painter->setPen(QPen(ring, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(1, 1, -1, -1), 4, 4);
        painter->restore();
    }

private:
    void drawSymbolAndText(const QStyleOptionButton* button, QPainter* painter) const
    {
        // The symbol, the gap and the text, centred together.
        const QSize iconSize = button->iconSize;
        const int gap = iconGap(*button);
        const int textWidth = button->fontMetrics.horizontalAdvance(QString(button->text).remove(QLatin1Char('&')));
        const QRect area = button->rect;
        const int left = area.x() + qMax(0, (area.width() - iconSize.width() - gap - textWidth) / 2);
        const QIcon::Mode mode = !(button->state & State_Enabled) ? QIcon::Disabled : QIcon::Normal;
        const QIcon::State on = button->state & State_On ? QIcon::On : QIcon::Off;
        button->icon.paint(painter, QRect(QPoint(left, area.center().y() - iconSize.height() / 2 + 1), iconSize),
                           Qt::AlignCenter, mode, on);
        QStyleOptionButton textOnly = *button;
        textOnly.icon = QIcon();
        textOnly.rect = QRect(left + iconSize.width() + gap, area.y(), area.right() - left - iconSize.width() - gap + 1,
                              area.height());
        QProxyStyle::drawItemText(painter, textOnly.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                                  textOnly.palette, button->state & State_Enabled, textOnly.text, QPalette::ButtonText);
    }

private:
    static constexpr int fusionIconGap = 4;
    static bool hasSymbolAndText(const QStyleOptionButton& button) { return !button.icon.isNull() && !button.text.isEmpty(); }
    static int iconGap(const QStyleOptionButton& button) { return qMax(fusionIconGap + 2, button.fontMetrics.height() / 3); }
};

struct DesktopLook {
    bool captured = false;
    QPalette palette;
};

DesktopLook& desktopLook()
{
    static DesktopLook look;
    return look;
}

struct SchemeSource {
    QPointer<DesktopColorScheme> source;
    QMetaObject::Connection followed;
};

SchemeSource& schemeSource()
{
    static SchemeSource value;
    return value;
}

Appearance& applied()
{
    static Appearance value = Appearance::system;
    return value;
}

QPalette lightPalette()
{
    QPalette p;
    const QColor window(0xf2, 0xf2, 0xf4);
    const QColor base(0xff, 0xff, 0xff);
    const QColor text(0x1d, 0x1d, 0x1f);
    const QColor accent(0x25, 0x63, 0xeb);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0xf5, 0xf5, 0xf7));
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0xfb, 0xfb, 0xfd));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xe5, 0xe5, 0xea));
    p.setColor(QPalette::Mid, QColor(0xc7, 0xc7, 0xcc));
    p.setColor(QPalette::Dark, QColor(0xa0, 0xa0, 0xa6));
    p.setColor(QPalette::Shadow, QColor(0x60, 0x60, 0x66));
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, accent);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0xa1, 0xa1, 0xa6));
    return p;
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x24, 0x24, 0x27);
    const QColor base(0x1c, 0x1c, 0x1e);
    const QColor text(0xf2, 0xf2, 0xf7);
    const QColor accent(0x3b, 0x82, 0xf6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2a, 0x2e));
    p.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3c));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3c));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    p.setColor(QPalette::Midlight, QColor(0x3a, 0x3a, 0x3c));
    p.setColor(QPalette::Mid, QColor(0x2c, 0x2c, 0x2e));
    p.setColor(QPalette::Dark, QColor(0x15, 0x15, 0x17));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x60, 0xa5, 0xfa));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x6e, 0x6e, 0x73));
    return p;
}
} // namespace

QString rawValue(Appearance appearance)
{
    switch (appearance) {
    case Appearance::light: return QStringLiteral("light");
    case Appearance::dark: return QStringLiteral("dark");
    case Appearance::system: break;
    }
    return QStringLiteral("system");
}

std::optional<Appearance> appearanceFromRawValue(const QString& raw)
{
    for (Appearance a : allAppearances) {
        if (raw == rawValue(a))
            return a;
    }
    return std::nullopt;
}

QString label(Appearance appearance)
{
    switch (appearance) {
    case Appearance::light: return QStringLiteral("Light");
    case Appearance::dark: return QStringLiteral("Dark");
    case Appearance::system: break;
    }
    return QStringLiteral("Follow System");
}

Appearance appearance()
{
    const QVariant stored = QSettings(settingsOrganization, settingsApplication).value(appearanceKey);
    if (!stored.isValid() || stored.typeId() != QMetaType::QString)
        return Appearance::system;
    return appearanceFromRawValue(stored.toString()).value_or(Appearance::system);
}

void setAppearance(Appearance appearance)
{
    QSettings s(settingsOrganization, settingsApplication);
    s.setValue(appearanceKey, rawValue(appearance));
    s.sync();
}

bool rememberScans()
{
    return QSettings(settingsOrganization, settingsApplication).value(rememberScansKey, true).toBool();
}

void setRememberScans(bool remember)
{
    QSettings s(settingsOrganization, settingsApplication);
    s.setValue(rememberScansKey, remember);
    s.sync();
}

void removeLanguageKeys()
{
    QSettings s(settingsOrganization, settingsApplication);
    for (const std::string& key : brisklet::hostProfile().languageOverrideKeys)
        s.remove(utf8Text(key));
    s.sync();
}

void useDesktopColorScheme(DesktopColorScheme* source)
{
    SchemeSource& current = schemeSource();
    QObject::disconnect(current.followed);
    current.source = source;
    if (source) {
        current.followed = QObject::connect(source, &DesktopColorScheme::changed, qApp, [] {
            if (applied() == Appearance::system)
                applyAppearance(Appearance::system);
        });
    }
}

void applyAppearance(Appearance appearance)
{
    if (!schemeSource().source)
        useDesktopColorScheme(&DesktopColorScheme::session());
    DesktopLook& look = desktopLook();
    if (!look.captured) {
        look.palette = QApplication::palette();
        look.captured = true;
        QApplication::setStyle(new PaddedButtonStyle);
    }
    switch (appearance) {
    case Appearance::system:
        switch (schemeSource().source->preference()) {
        case DesktopColorScheme::Preference::dark: QApplication::setPalette(darkPalette()); break;
        case DesktopColorScheme::Preference::light: QApplication::setPalette(lightPalette()); break;
        default: QApplication::setPalette(look.palette); break;
        }
        break;
    case Appearance::light: QApplication::setPalette(lightPalette()); break;
    case Appearance::dark: QApplication::setPalette(darkPalette()); break;
    }
    applied() = appearance;
}

Appearance appliedAppearance() { return applied(); }

} // namespace AppPreferences

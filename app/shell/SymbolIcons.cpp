#include "SymbolIcons.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

namespace SymbolIcons {

namespace {
// Symbol name -> file in the vendored set. Where the set has no exact equivalent, the closest
// metaphor stands in (a life preserver for the anchor, a drive with a plug for external drives).
const QHash<QString, QString>& table()
{
    static const QHash<QString, QString> map = {
        // sections
        {"gauge", "speedometer2"},
        {"chart.pie", "pie-chart"},
        {"sparkles", "stars"},
        {"trash", "trash"},
        {"list.bullet.rectangle", "card-list"},
        {"network", "diagram-3"},
        // sidebar, settings and update button
        {"gearshape", "gear"},
        {"arrow.down.circle", "arrow-down-circle"},
        {"arrow.down.circle.dotted", "cloud-arrow-down"},
        {"shippingbox", "box-seam"},
        {"exclamationmark.arrow.circlepath", "arrow-repeat"},
        // analyzer
        {"clock.arrow.circlepath", "clock-history"},
        {"folder", "folder"},
        {"folder.fill", "folder-fill"},
        {"doc", "file-earmark"},
        {"arrow.turn.left.up", "arrow-90deg-up"},
        {"lock.fill", "lock-fill"},
        {"sailboat.fill", "sailboat-fill"},
        // smart clean and its catalog
        {"checkmark.seal", "patch-check"},
        {"chevron.down", "chevron-down"},
        {"chevron.right", "chevron-right"},
        {"iphone", "phone"},
        {"hammer", "hammer"},
        {"brewingstand", "cup-straw"},
        {"python", "filetype-py"},
        {"swift.speedometer", "speedometer"},
        {"cup.and.saucer", "cup-hot"},
        {"puzzlepiece.extension", "puzzle"},
        {"square.stack.3d.up", "stack"},
        {"doc.text.magnifyingglass", "file-earmark-text"},
        {"music.note", "music-note"},
        // uninstaller
        {"square.grid.2x2", "grid"},
        // dashboard, processes, ports
        {"arrow.clockwise", "arrow-clockwise"},
        {"internaldrive.fill", "device-hdd-fill"},
        {"internaldrive", "device-hdd"},
        {"externaldrive", "usb-drive"},
        {"anchor", "life-preserver"},
        {"doc.on.doc", "files"},
        {"globe", "globe"},
    };
    return map;
}
} // namespace

QStringList names()
{
    QStringList result = table().keys();
    result.sort();
    return result;
}

QString resourcePath(const QString& symbolName)
{
    const auto it = table().constFind(symbolName);
    if (it == table().constEnd())
        return {};
    return QStringLiteral(":/icons/%1.svg").arg(it.value());
}

QPixmap pixmap(const QString& symbolName, int pointSize, const QColor& tint, qreal devicePixelRatio)
{
    const QString path = resourcePath(symbolName);
    if (path.isEmpty() || pointSize <= 0)
        return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    const int side = qMax(1, qRound(pointSize * devicePixelRatio));
    QPixmap result(side, side);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, side, side));
        // The SVGs draw in one colour; repaint every covered pixel in the tint, keeping coverage.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(result.rect(), tint);
    }
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon icon(const QString& symbolName, const QPalette& palette, int pointSize)
{
    QIcon result;
    for (qreal ratio : {1.0, 2.0}) {
        result.addPixmap(pixmap(symbolName, pointSize, palette.color(QPalette::Active, QPalette::ButtonText), ratio),
                         QIcon::Normal);
        result.addPixmap(pixmap(symbolName, pointSize, palette.color(QPalette::Disabled, QPalette::ButtonText), ratio),
                         QIcon::Disabled);
    }
    return result;
}

namespace {
// Draws the symbol in the application palette of the moment: a switch of the appearance repaints the
// widgets, and the next paint asks for the new colours.
class PaletteSymbolEngine : public QIconEngine {
public:
    explicit PaletteSymbolEngine(QString symbolName) : m_symbolName(std::move(symbolName)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap drawn = scaledPixmap(rect.size(), mode, state, ratio);
        painter->drawPixmap(rect, drawn);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        const QPalette palette = QApplication::palette();
        const QColor tint = palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                                          QPalette::ButtonText);
        const int side = qMax(1, qMin(size.width(), size.height()));
        return SymbolIcons::pixmap(m_symbolName, side, tint, scale);
    }

    // Square and scalable: as large as the widget's icon size asks.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return {side, side};
    }

    QIconEngine* clone() const override { return new PaletteSymbolEngine(m_symbolName); }
    QString key() const override { return QStringLiteral("brisklet.symbol"); }

private:
    QString m_symbolName;
};
} // namespace

QIcon icon(const QString& symbolName)
{
    if (resourcePath(symbolName).isEmpty())
        return {};
    return QIcon(new PaletteSymbolEngine(symbolName));
}

QIcon applicationIcon()
{
    return QIcon(QStringLiteral(":/icons/brisklet.svg"));
}

} // namespace SymbolIcons

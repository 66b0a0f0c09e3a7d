// Named symbols: one table from every symbol name the program uses to an SVG of the vendored icon
// set (resources/icons, licence beside it). Symbols are monochrome; callers pick the tint.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace SymbolIcons {

// Every symbol name in the table.
QStringList names();
// The resource path for a symbol, or an empty string for an unknown name.
QString resourcePath(const QString& symbolName);
// The symbol drawn in one colour at pointSize x pointSize logical pixels (device pixel ratio applied).
// An unknown name gives a null pixmap.
QPixmap pixmap(const QString& symbolName, int pointSize, const QColor& tint, qreal devicePixelRatio = 1.0);
// An icon in the given palette's colours: normal in the text colour, disabled in the disabled text colour.
// Its colours are fixed; prefer the one below for a widget that stays on screen.
QIcon icon(const QString& symbolName, const QPalette& palette, int pointSize = 16);
// The same in the application palette of each paint, so it follows a switch of the appearance; drawn at
// the widget's icon size.
QIcon icon(const QString& symbolName);
// The application's own icon.
QIcon applicationIcon();

} // namespace SymbolIcons

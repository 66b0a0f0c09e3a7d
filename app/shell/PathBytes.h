// The app's one conversion point between the engine's bytes and Qt's text. Every other file converts
// through these functions (a test fails on any other conversion in app/), so a path can never pass a
// lossy decoder on its way from the engine to a screen and back.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

class QUrl;

// Paths are the file system's bytes, and a QString holds them without loss: valid UTF-8 decodes as
// usual, and each byte of an invalid sequence becomes the lone surrogate U+DC00 + byte (drawn as a
// replacement mark), which pathBytes() turns back into that very byte. A name that is not UTF-8 thus
// reaches the engine unchanged instead of turning into a different name made of U+FFFD marks, and two
// names that differ only in such bytes stay two strings.
QString pathFromBytes(std::string_view bytes);
std::string pathBytes(const QString& path);
inline QString pathFromBytes(const QByteArray& bytes)
{
    return pathFromBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}
inline QByteArray pathByteArray(const QString& path)
{
    const std::string bytes = pathBytes(path);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The local path of a dropped or picked file URL, from its percent-encoded bytes (QUrl::toLocalFile
// decodes them as UTF-8 and loses any other byte); empty for a URL that is not a local file.
QString pathFromUrl(const QUrl& url);

// A local path as a file URL whose percent-encoding carries the path's own bytes.
QUrl urlFromPath(const QString& path);

// The last name of a path and the folder that holds it ("/a/b": "b" and "/a"; "/a": "a" and "/"; "b": "b"
// and "."), from the path's own text: no file-system call, and no byte lost on the way.
QString pathName(const QString& path);
QString pathFolder(const QString& path);

// Text that is UTF-8 by contract: the engine's messages, titles, formatted sizes and identifiers, the
// program's own tables. Never a path or a name read from the file system.
QString utf8Text(std::string_view text);
std::string utf8String(const QString& text);

// A name or path as a one-line label or a copied row shows it: a control character (a newline, a tab)
// would break the row or the line, and a byte kept from an invalid sequence has no glyph, so each
// shows as U+FFFD. Only for showing, never for the path itself.
QString visibleText(QString text);

#include "FileImage.h"

#include "platform/FileServices.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace {
constexpr std::uint64_t largestPicture = 8 * 1024 * 1024; // a bigger "icon" is not one to draw in a row
} // namespace

QImage readImage(const std::string& path, int pixels)
{
    if (path.empty())
        return {};
    // Opened without following a FIFO or device into a wait, and read by the path's own bytes.
    std::optional<std::string> contents = brisklet::platform::readRegularFile(path, largestPicture);
    if (!contents)
        return {};
    QByteArray bytes = QByteArray::fromStdString(*contents);
    QBuffer buffer(&bytes);
    const std::size_t dot = path.rfind('.');
    QImageReader reader(&buffer, dot == std::string::npos ? QByteArray() : QByteArray::fromStdString(path.substr(dot + 1)));
    reader.setAutoDetectImageFormat(true);
    const QSize size = reader.size();
    // A vector picture is drawn at the wanted size; a larger bitmap is scaled down smoothly.
    if (!size.isValid() || size.width() > pixels || size.height() > pixels)
        reader.setScaledSize(size.isValid() ? size.scaled(pixels, pixels, Qt::KeepAspectRatio) : QSize(pixels, pixels));
    return reader.read();
}

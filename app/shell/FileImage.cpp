#include "FileImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <fstream>
#include <iterator>

#include <sys/stat.h>

QImage readImage(const std::string& path, int pixels)
{
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    std::ifstream stream(path, std::ios::binary);
    QByteArray bytes = QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(stream), {}));
    QBuffer buffer(&bytes);
    const std::string extension = path.substr(path.rfind('.') + 1);
    QImageReader reader(&buffer, QByteArray::fromStdString(extension));
    const QSize size = reader.size();
    // A vector picture is drawn at the wanted size; a larger bitmap is scaled down smoothly.
    if (!size.isValid() || size.width() > pixels || size.height() > pixels)
        reader.setScaledSize(size.isValid() ? size.scaled(pixels, pixels, Qt::KeepAspectRatio) : QSize(pixels, pixels));
    return reader.read();
}

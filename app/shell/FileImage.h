// readImage: a picture file read by its path's own bytes (Qt's readers take a QString name, which loses
// a byte that is not UTF-8). Only a regular file is read, so a FIFO or a device cannot block.
#pragma once

#include <QImage>

#include <string>

// The picture at path, no larger than pixels square (a vector picture is drawn at that size); a null
// image for anything that is not a readable picture.
QImage readImage(const std::string& path, int pixels);

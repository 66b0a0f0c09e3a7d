// Application icons as pictures, read off the GUI thread.
//
// load() finds the file of an icon a desktop entry names (the name itself when it is a path, else the
// desktop's themes, then hicolor and the pixmaps folder) and reads it as an image at most `pixels` on a
// side (a vector icon drawn at that size). It touches the file system, so it runs on a worker, never on
// the GUI thread; only a regular file is read (a FIFO or device in its place is refused at once). The
// GUI thread turns the image into a pixmap.
#pragma once

#include <QImage>
#include <QString>

#include <string>
#include <vector>

namespace IconImages {

struct Found {
    QString file; // the file the picture came from; empty when there is none
    QImage image; // null when the icon names no file that holds a picture
};

Found load(const std::string& icon, const std::vector<std::string>& themes, int pixels,
           const std::vector<std::string>& dataFolders);
// The same in the usual data folders.
Found load(const std::string& icon, const std::vector<std::string>& themes, int pixels);

// The desktop's icon theme and its fallback, for load(); asked on the GUI thread.
std::vector<std::string> desktopThemes();

} // namespace IconImages

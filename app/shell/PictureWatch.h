// What the pictures (Brisklet --screenshots) show, for a test that reads every text the program puts on
// screen while they are taken. Each picture calls taken() with the widget it is about to grab.
#pragma once

#include <functional>

class QWidget;

namespace PictureWatch {

using Observer = std::function<void(QWidget* shown)>;

// Replaces the observer (none: pictures are only taken).
void setObserver(Observer observer);
void taken(QWidget* shown);

} // namespace PictureWatch

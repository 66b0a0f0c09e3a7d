#include "PictureWatch.h"

namespace PictureWatch {

namespace {
Observer& current()
{
    static Observer observer; // pictures are taken on the GUI thread only
    return observer;
}
} // namespace

void setObserver(Observer observer) { current() = std::move(observer); }

void taken(QWidget* shown)
{
    if (current())
        current()(shown);
}

} // namespace PictureWatch

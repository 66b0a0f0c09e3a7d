// What the section container tells a screen besides showing and hiding it. A screen that refreshes on
// appearance (or pauses work while hidden) inherits this next to QWidget; others need not.
//
// sectionDidAppear() runs after the screen became the shown section, sectionDidDisappear() after another
// section replaced it. Both run on the GUI thread and must return at once (start work through the
// screen's BackgroundRunner).
#pragma once

class SectionScreen {
public:
    virtual ~SectionScreen() = default;
    virtual void sectionDidAppear() {}
    virtual void sectionDidDisappear() {}
};

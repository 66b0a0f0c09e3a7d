// What the section container tells a screen besides showing and hiding it. A screen that refreshes on
// appearance (or pauses work while hidden) inherits this next to QWidget; others need not.
//
// sectionDidAppear() runs after the screen became the shown section, sectionDidDisappear() after another
// section replaced it. Both run on the GUI thread and must return at once (start work through the
// screen's BackgroundRunner).
//
// The menu bar reaches the screens through the same interface: View > Refresh calls sectionRefresh() of
// the shown screen, File > New Scan shows the section with a scan and calls its sectionNewScan().
#pragma once

class SectionScreen {
public:
    virtual ~SectionScreen() = default;
    virtual void sectionDidAppear() {}
    virtual void sectionDidDisappear() {}
    // Read the shown figures or listing again.
    virtual void sectionRefresh() {}
    // Start over with a new scan (the screen's own "New Scan").
    virtual void sectionNewScan() {}
};

// FolderDropView: the analyzer screen's root, a drop target for one folder.
//
// A drag whose first URL (text/uri-list) names a local path is taken while a worker of the shell's
// BackgroundRunner asks whether the path exists and is a folder (links followed): the GUI thread never
// touches the file system, which may hang on a network mount. A folder is highlighted and stays taken;
// anything else is refused from the answer on, as a remote URL or plain text is at once. A new drag or
// leaving drops the pending answer and clears the highlight. A drop while the drag is taken clears the
// highlight and checks the path again on a worker (it may have gone meanwhile); only a folder reaches
// onFolderDropped, with the path's own bytes, and only while drops are still accepted and no later
// drop came. While acceptDrops() is off every drag is refused. The highlight is a dashed accent outline
// drawn over the children by an overlay that lets every mouse event through.
#pragma once

#include "shell/BackgroundRunner.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QMimeData;

class FolderDropView : public QWidget {
    Q_OBJECT
public:
    explicit FolderDropView(QWidget* parent = nullptr);

    bool highlight() const { return m_highlight; }
    // The local path a drag carries (the first URL's, with its own bytes), or nothing when it carries
    // anything else. Does not look at the file system.
    static std::optional<QString> draggedPath(const QMimeData* data);

    std::function<void(const QString& folder)> onFolderDropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class DragCheck { none, checking, folder, refused };
    void setHighlight(bool on);
    void forgetDrag();

    bool m_highlight = false;
    DragCheck m_dragCheck = DragCheck::none;
    QWidget* m_overlay = nullptr;
    BackgroundRunner m_dragRunner{this}; // the current drag's check: stopped when the drag ends
    BackgroundRunner m_dropRunner{this}; // the last drop's check: stopped by the next drop
};

// FolderDropView: the analyzer screen's root, a drop target for one folder.
//
// A drag is accepted (copy, highlighted) only when the first URL of its text/uri-list names a local
// path that exists and is a folder (links followed); anything else (a file, a remote URL, plain text) is
// refused and clears the highlight. Leaving clears it. Dropping clears it, checks the folder again (it
// may have gone meanwhile) and hands it to onFolderDropped. While acceptDrops() is off every drag is
// refused. The highlight is a dashed accent outline drawn over the children by an overlay that lets
// every mouse event through.
#pragma once

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
    // The folder a drag carries, or nothing when it carries anything else.
    static std::optional<QString> droppedFolder(const QMimeData* data);

    std::function<void(const QString& folder)> onFolderDropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setHighlight(bool on);

    bool m_highlight = false;
    QWidget* m_overlay = nullptr;
};

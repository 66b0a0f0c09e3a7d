#include "FolderDropView.h"

#include "shell/PathBytes.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include <sys/stat.h>

namespace {
// The dashed accent outline shown while a folder hovers over the screen.
class DropHighlight : public QWidget {
public:
    explicit DropHighlight(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(palette().color(QPalette::Highlight), 2);
        pen.setDashPattern({3, 2}); // 6 on, 4 off at a width of 2
        painter.setPen(pen);
        painter.drawRoundedRect(QRectF(rect()).adjusted(6, 6, -6, -6), 8, 8);
    }
};
} // namespace

FolderDropView::FolderDropView(QWidget* parent) : QWidget(parent)
{
    setAcceptDrops(true);
    m_overlay = new DropHighlight(this);
}

std::optional<QString> FolderDropView::draggedPath(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return std::nullopt;
    const QString path = QDir::cleanPath(pathFromUrl(urls.first()));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

namespace {
// Blocks while the file system answers: for workers only.
bool isFolder(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}
} // namespace

void FolderDropView::forgetDrag()
{
    m_dragRunner.stopAll();
    m_dragCheck = DragCheck::none;
    setHighlight(false);
}

void FolderDropView::setHighlight(bool on)
{
    m_highlight = on;
    m_overlay->setGeometry(rect());
    m_overlay->setVisible(on);
    if (on)
        m_overlay->raise();
}

void FolderDropView::dragEnterEvent(QDragEnterEvent* event)
{
    forgetDrag();
    const std::optional<QString> path = acceptDrops() ? draggedPath(event->mimeData()) : std::nullopt;
    if (!path) {
        event->ignore();
        return;
    }
    // Taken until the answer says otherwise: a drag refused now would be told of the answer only when
    // the pointer moves again, and a drop without moving would be lost.
    m_dragCheck = DragCheck::checking;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_dragRunner.run([bytes = pathBytes(*path)](std::stop_token) { return isFolder(bytes); },
                     [this](bool folder) {
                         m_dragCheck = folder ? DragCheck::folder : DragCheck::refused;
                         setHighlight(folder);
                     });
}

void FolderDropView::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptDrops() && (m_dragCheck == DragCheck::checking || m_dragCheck == DragCheck::folder)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FolderDropView::dragLeaveEvent(QDragLeaveEvent* event)
{
    forgetDrag();
    event->accept();
}

void FolderDropView::dropEvent(QDropEvent* event)
{
    const bool taken = acceptDrops() && (m_dragCheck == DragCheck::checking || m_dragCheck == DragCheck::folder);
    forgetDrag();
    const std::optional<QString> path = taken ? draggedPath(event->mimeData()) : std::nullopt;
    if (!path) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_dropRunner.stopAll();
    m_dropRunner.run([bytes = pathBytes(*path)](std::stop_token) { return isFolder(bytes); },
                     [this, folder = *path](bool found) {
                         // A scan started meanwhile (a volume picked) turned drops off: this one is late.
                         if (found && acceptDrops() && onFolderDropped)
                             onFolderDropped(folder);
                     });
}

void FolderDropView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_overlay->setGeometry(rect());
}

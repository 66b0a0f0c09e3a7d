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

std::optional<QString> FolderDropView::droppedFolder(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return std::nullopt;
    const QString path = QDir::cleanPath(pathFromUrl(urls.first()));
    struct stat status {};
    if (path.isEmpty() || ::stat(pathBytes(path).c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return std::nullopt;
    return path;
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
    if (acceptDrops() && droppedFolder(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        setHighlight(true);
    } else {
        event->ignore();
        setHighlight(false);
    }
}

void FolderDropView::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_highlight) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FolderDropView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setHighlight(false);
    event->accept();
}

void FolderDropView::dropEvent(QDropEvent* event)
{
    const bool prepared = m_highlight && acceptDrops();
    setHighlight(false);
    const std::optional<QString> folder = prepared ? droppedFolder(event->mimeData()) : std::nullopt;
    if (!folder) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (onFolderDropped)
        onFolderDropped(*folder);
}

void FolderDropView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_overlay->setGeometry(rect());
}

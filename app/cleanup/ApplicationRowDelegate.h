// Draws an uninstaller row: the check box (greyed for a protected application), the icon (the one the
// application names, else its initial on a tile), the name over the detail line, the lock of a
// protected application, and the size or, until measured, a spinning arc. The host advances
// spinnerPhase and repaints while sizes are being measured.
//
// Icons are files, found and read on a worker (BackgroundRunner), never while painting: a row whose
// icon is not read yet shows a blank tile and is repainted when the picture arrives; one that cannot be
// read shows the initial's tile. A read cannot be stopped (it may hang on a dead network mount), so at
// most maxReads run at once, the rest wait in a queue, and a name whose read is still running is never
// read again meanwhile: stuck icons hold a bounded number of the shared pool's threads. Each icon is
// read once per listing; clearIconCache(names) (a new listing) forgets the names it no longer has and
// reads the others again when next painted, showing the pictures already read meanwhile. An answer
// that started before the new listing is kept as the picture to show but counts as unread.
#pragma once

#include "shell/BackgroundRunner.h"

#include <QHash>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QStyledItemDelegate>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAbstractItemView;

class ApplicationRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Reads an icon (a theme name or a file) as a picture, on a worker; a null image when it has none.
    using Reader = std::function<QImage(const std::string& icon)>;
    static constexpr int maxReads = 2;

    explicit ApplicationRowDelegate(QObject* parent = nullptr, Reader read = {});

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void setSpinnerPhase(qreal phase) { m_phase = phase; }
    // A new listing whose rows name these icons.
    void clearIconCache(const QStringList& listed);

private:
    struct Icon {
        QIcon picture;        // null: none to show (the initial's tile stands in)
        bool known = false;   // read at least once: picture is worth showing
        bool current = false; // read since the last clearIconCache()
        bool queued = false;  // waiting in m_queue for a reader
        QList<std::pair<QPointer<QAbstractItemView>, QPersistentModelIndex>> waiting; // rows to repaint
    };
    // The picture to draw for an icon name or file; nothing while it is being read for the first time.
    std::optional<QIcon> iconFor(const QString& icon, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void iconRead(const QString& icon, quint64 generation, const QImage& image) const;
    void startReads() const;

    qreal m_phase = 0;
    Reader m_read;
    mutable QHash<QString, Icon> m_icons;
    mutable std::deque<QString> m_queue;
    mutable QSet<QString> m_reading; // names whose read is running; never more than maxReads
    quint64 m_generation = 0;        // counts listings; an answer from an older one is stale
    mutable BackgroundRunner m_runner{this}; // last: its destructor drops answers before the members above go
};

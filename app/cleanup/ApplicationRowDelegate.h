// Draws an uninstaller row: the check box (greyed for a protected application), the icon (the one the
// application names, else its initial on a tile), the name over the detail line, the lock of a
// protected application, and the size or, until measured, a spinning arc. The host advances
// spinnerPhase and repaints while sizes are being measured.
//
// Icons are files, found and read on a worker (BackgroundRunner), never while painting: a row whose
// icon is not read yet shows a blank tile and is repainted when the picture arrives. Each icon is read
// once; clearIconCache() (a new listing) reads them again, showing the pictures already read meanwhile,
// and drops the answers still on their way.
#pragma once

#include "shell/BackgroundRunner.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

#include <optional>
#include <string>
#include <vector>

class QAbstractItemView;

class ApplicationRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ApplicationRowDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void setSpinnerPhase(qreal phase) { m_phase = phase; }
    void clearIconCache();

private:
    struct Icon {
        QIcon picture;        // null: none to show (the initial's tile stands in)
        bool known = false;   // read at least once: picture is worth showing
        bool current = false; // read since the last clearIconCache()
        bool loading = false;
        QList<std::pair<QPointer<QAbstractItemView>, QPersistentModelIndex>> waiting; // rows to repaint
    };
    // The picture to draw for an icon name or file; nothing while it is being read for the first time.
    std::optional<QIcon> iconFor(const QString& icon, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void iconRead(const QString& icon, const QImage& image) const;

    qreal m_phase = 0;
    std::vector<std::string> m_themes;
    mutable QHash<QString, Icon> m_icons;
    mutable BackgroundRunner m_runner{this}; // last: its destructor drops answers before the members above go
};

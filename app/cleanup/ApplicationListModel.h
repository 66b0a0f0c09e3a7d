// The uninstaller's list: every application the last listing found (allApps), the ones the search
// leaves (visibleApps, the rows), their measured sizes, the ticked bundle paths and the identifiers of
// running applications.
//
// Rows tick through Qt::CheckStateRole; protected applications cannot be ticked. A size recorded for a
// path replaces that entry in both lists and repaints only its row; sizes of paths no longer listed are
// ignored. The search keeps, in order, the entries whose name or identifier contains the text (spaces
// and tabs around it do not count; case does not matter).
#pragma once

#include "apps/ApplicationEntry.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QString>

#include <set>
#include <vector>

class ApplicationListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // IconRole: the theme icon name or icon file the application names, empty when it names none.
    enum Role { DetailRole = Qt::UserRole + 1, SizeTextRole, ProtectedRole, MeasuredRole, PathRole, IconRole };

    explicit ApplicationListModel(QObject* parent = nullptr);

    // A new listing: sizes are forgotten, ticks are kept for paths still listed.
    void setApplications(std::vector<brisklet::ApplicationEntry> applications, const std::set<std::string>& running);
    void setRunning(const std::set<std::string>& running);
    void recordSize(const QString& path, qint64 bytes);
    // Largest first, equal sizes by name (localized, case-insensitive, stable).
    void sortBySize();
    void setSearchText(const QString& text);
    // Drops the entries at these paths and their ticks.
    void removePaths(const QSet<QString>& paths);
    bool setChecked(int row, bool on);

    const std::vector<brisklet::ApplicationEntry>& allApps() const { return m_all; }
    const std::vector<brisklet::ApplicationEntry>& visibleApps() const { return m_visible; }
    std::vector<brisklet::ApplicationEntry> checkedApps() const;
    const QHash<QString, qint64>& sizes() const { return m_sizes; }
    bool isRunning(const brisklet::ApplicationEntry& application) const;
    // Some listed application has no measured size yet.
    bool isSizing() const;

    // "N apps selected · SIZE", or the visible total ("… total", or "… measuring sizes, … so far").
    QString summary() const;
    // "Uninstall", or "Uninstall N Apps" for more than one ticked application.
    QString uninstallTitle() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The ticks, the rows or a size changed: the summary needs redoing.
    void summaryChanged();

private:
    void applyFilter();
    QString detailLine(const brisklet::ApplicationEntry& application) const;

    std::vector<brisklet::ApplicationEntry> m_all;
    std::vector<brisklet::ApplicationEntry> m_visible;
    QHash<QString, qint64> m_sizes;
    QSet<QString> m_checkedPaths;
    QSet<QString> m_runningIDs;
    QString m_searchText;
};

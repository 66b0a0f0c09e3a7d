#include "ApplicationListModel.h"

#include "deletion/DeletionItems.h"
#include "platform/HostProfile.h"
#include "shell/PlainText.h"
#include "shell/RowCopy.h"
#include "shell/SearchText.h"

#include <QCollator>

#include <algorithm>

namespace {
// Identifiers are the engine's text; paths are the file system's bytes, kept byte for byte so that two
// bundles whose names differ only in bytes that are not UTF-8 stay two rows. A name may come from a file
// name, so it shows as one.
QString text(const std::string& value)
{
    return utf8Text(value);
}

QString pathOf(const brisklet::ApplicationEntry& application)
{
    return pathFromBytes(application.path);
}

QString nameOf(const brisklet::ApplicationEntry& application)
{
    return visibleText(pathFromBytes(application.name));
}

} // namespace

ApplicationListModel::ApplicationListModel(QObject* parent) : QAbstractListModel(parent) {}

void ApplicationListModel::setApplications(std::vector<brisklet::ApplicationEntry> applications,
                                           const std::set<std::string>& running)
{
    m_all = std::move(applications);
    m_sizes.clear();
    QSet<QString> listed;
    for (const brisklet::ApplicationEntry& application : m_all)
        listed.insert(pathOf(application));
    m_checkedPaths.intersect(listed);
    m_runningIDs.clear();
    for (const std::string& id : running)
        m_runningIDs.insert(text(id));
    applyFilter();
}

void ApplicationListModel::setRunning(const std::set<std::string>& running)
{
    m_runningIDs.clear();
    for (const std::string& id : running)
        m_runningIDs.insert(text(id));
    if (!m_visible.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {DetailRole});
}

void ApplicationListModel::recordSize(const QString& path, qint64 bytes)
{
    const std::string key = pathBytes(path);
    const auto at = [&key](const brisklet::ApplicationEntry& application) { return application.path == key; };
    const auto listed = std::find_if(m_all.begin(), m_all.end(), at);
    if (listed == m_all.end())
        return;
    m_sizes.insert(path, bytes);
    *listed = listed->withSize(bytes);
    const auto shown = std::find_if(m_visible.begin(), m_visible.end(), at);
    if (shown != m_visible.end()) {
        *shown = shown->withSize(bytes);
        const QModelIndex row = index(static_cast<int>(shown - m_visible.begin()));
        emit dataChanged(row, row);
    }
    emit summaryChanged();
}

void ApplicationListModel::sortBySize()
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(m_all.begin(), m_all.end(), [&collator](const auto& a, const auto& b) {
        if (a.sizeBytes != b.sizeBytes)
            return a.sizeBytes > b.sizeBytes;
        return collator.compare(nameOf(a), nameOf(b)) < 0;
    });
    applyFilter();
}

void ApplicationListModel::setSearchText(const QString& text)
{
    m_searchText = SearchText::trimmed(text);
    applyFilter();
}

void ApplicationListModel::removePaths(const QSet<QString>& paths)
{
    std::erase_if(m_all, [&paths](const auto& application) { return paths.contains(pathOf(application)); });
    m_checkedPaths.subtract(paths);
    applyFilter();
}

void ApplicationListModel::applyFilter()
{
    beginResetModel();
    m_visible.clear();
    for (const brisklet::ApplicationEntry& application : m_all) {
        const bool matches = m_searchText.isEmpty()
            || nameOf(application).contains(m_searchText, Qt::CaseInsensitive)
            || (application.bundleID && text(*application.bundleID).contains(m_searchText, Qt::CaseInsensitive));
        if (matches)
            m_visible.push_back(application);
    }
    endResetModel();
    emit summaryChanged();
}

bool ApplicationListModel::setChecked(int row, bool on)
{
    if (row < 0 || row >= rowCount() || m_visible[row].isProtected)
        return false;
    const QString path = pathOf(m_visible[row]);
    if (on)
        m_checkedPaths.insert(path);
    else
        m_checkedPaths.remove(path);
    emit dataChanged(index(row), index(row), {Qt::CheckStateRole});
    emit summaryChanged();
    return true;
}

std::vector<brisklet::ApplicationEntry> ApplicationListModel::checkedApps() const
{
    std::vector<brisklet::ApplicationEntry> checked;
    for (const brisklet::ApplicationEntry& application : m_all) {
        if (m_checkedPaths.contains(pathOf(application)))
            checked.push_back(application);
    }
    return checked;
}

bool ApplicationListModel::isRunning(const brisklet::ApplicationEntry& application) const
{
    return application.bundleID && m_runningIDs.contains(text(*application.bundleID));
}

bool ApplicationListModel::isSizing() const
{
    return std::any_of(m_all.begin(), m_all.end(),
                       [this](const auto& application) { return !m_sizes.contains(pathOf(application)); });
}

QString ApplicationListModel::summary() const
{
    const std::vector<brisklet::ApplicationEntry> checked = checkedApps();
    const auto total = [](const std::vector<brisklet::ApplicationEntry>& list) {
        qint64 bytes = 0;
        for (const brisklet::ApplicationEntry& application : list)
            bytes += application.sizeBytes;
        return formatBytes(bytes);
    };
    if (!checked.empty()) {
        const auto count = static_cast<qint64>(checked.size());
        return QStringLiteral("%1 app%2 selected · %3").arg(count).arg(pluralEnding(count), total(checked));
    }
    if (m_visible.empty())
        return {};
    if (isSizing())
        return QStringLiteral("%1 apps · measuring sizes, %2 so far").arg(m_visible.size()).arg(total(m_visible));
    return QStringLiteral("%1 apps · %2 total").arg(m_visible.size()).arg(total(m_visible));
}

QString ApplicationListModel::uninstallTitle() const
{
    const qsizetype count = m_checkedPaths.size();
    return count > 1 ? QStringLiteral("Uninstall %1 Apps").arg(count) : QStringLiteral("Uninstall");
}

QString ApplicationListModel::detailLine(const brisklet::ApplicationEntry& application) const
{
    QString detail = application.bundleID ? text(*application.bundleID) : visibleText(pathOf(application));
    if (application.isProtected)
        detail.prepend(text(brisklet::hostProfile().systemAppDetailPrefix));
    if (isRunning(application))
        detail.prepend(QStringLiteral("Running · "));
    return detail;
}

int ApplicationListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_visible.size());
}

QVariant ApplicationListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const brisklet::ApplicationEntry& application = m_visible[index.row()];
    const QString path = pathOf(application);
    const bool measured = m_sizes.contains(path);
    const QString size = measured ? formatBytes(application.sizeBytes) : QString();
    switch (role) {
    case Qt::DisplayRole: return nameOf(application);
    case DetailRole: return detailLine(application);
    case SizeTextRole: return size;
    case ProtectedRole: return application.isProtected;
    case MeasuredRole: return measured;
    case PathRole: return path;
    case IconRole: return application.icon ? pathFromBytes(*application.icon) : QString();
    case Qt::CheckStateRole: return m_checkedPaths.contains(path) ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole: return measured ? PlainText::toolTip(visibleText(path)) : QStringLiteral("Measuring size");
    case Qt::AccessibleTextRole:
        return QStringLiteral("%1, %2").arg(nameOf(application), measured ? size : QStringLiteral("measuring size"));
    case Qt::AccessibleDescriptionRole:
        return application.isProtected ? detailLine(application) + QStringLiteral(", Protected") : detailLine(application);
    case RowCopy::TextRole:
        return QStringLiteral("%1\t%2\t%3").arg(nameOf(application), detailLine(application), size);
    default: return {};
    }
}

bool ApplicationListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole)
        return false;
    return setChecked(index.row(), value.toInt() == Qt::Checked);
}

Qt::ItemFlags ApplicationListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_visible[index.row()].isProtected)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

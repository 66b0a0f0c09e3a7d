#include "SmartCleanModel.h"

#include "shell/CountedLinks.h"
#include "shell/PlainText.h"
#include "shell/RowCopy.h"

#include <QFileInfo>

namespace {
const QString simulatorID = QStringLiteral("ios-simulators");

// Category texts come from the engine's catalog; paths and names from the file system, kept byte for byte
// so that two names differing only in bytes that are not UTF-8 stay two items.
QString text(const std::string& value)
{
    return utf8Text(value);
}

QString path(const std::string& value)
{
    return pathFromBytes(value);
}

TrashCandidate candidate(const brisklet::FileEntry& entry)
{
    return {path(entry.path()), entry.sizeBytes, entry.isDirectory};
}
} // namespace

SmartCleanModel::SmartCleanModel(QObject* parent) : QAbstractItemModel(parent) {}

SmartCleanModel::CountedLinks SmartCleanModel::findCountedLinks(const std::vector<brisklet::CleanCategoryResult>& results)
{
    std::vector<LinkedFile> linked;
    for (const brisklet::CleanCategoryResult& result : results)
        for (const brisklet::FileEntry& member : result.children)
            if (!member.isDirectory && member.linkCount > 1)
                linked.push_back({member.path(), member.linkedSizeBytes > 0});
    CountedLinks counted;
    for (const auto& [other, carrier] : matchCountedLinks(linked))
        counted.emplace(linked[other].path, linked[carrier].path);
    return counted;
}

void SmartCleanModel::setResults(std::vector<brisklet::CleanCategoryResult> results, CountedLinks countedLinks)
{
    beginResetModel();
    m_countedLinks = std::move(countedLinks);
    m_results.clear();
    for (brisklet::CleanCategoryResult& result : results) {
        if (result.exists())
            m_results.push_back(std::move(result));
    }
    m_checkedIDs.clear();
    m_partialChildren.clear();
    rebuildRows();
    endResetModel();
    emit selectionChanged();
}

void SmartCleanModel::rebuildRows()
{
    m_rows.clear();
    m_rowOfResult.assign(m_results.size(), -1);
    for (std::size_t i = 0; i < m_results.size(); ++i) {
        const auto group = m_results[i].category.group;
        if (i == 0 || m_results[i - 1].category.group != group)
            m_rows.push_back({Kind::header, -1, text(std::string(brisklet::CleanCategory::rawValue(group)))});
        m_rowOfResult[i] = static_cast<int>(m_rows.size());
        m_rows.push_back({Kind::category, static_cast<int>(i), {}});
    }
}

QString SmartCleanModel::idOf(int result) const
{
    return text(m_results[result].category.id);
}

QSet<QString> SmartCleanModel::allChildPaths(int result) const
{
    QSet<QString> paths;
    for (const brisklet::FileEntry& child : m_results[result].children)
        paths.insert(path(child.path()));
    return paths;
}

void SmartCleanModel::setCategoryChecked(int result, bool on)
{
    const QString id = idOf(result);
    if (on)
        m_checkedIDs.insert(id);
    else
        m_checkedIDs.remove(id);
    m_partialChildren.remove(id);
    selectionDidChange(result);
}

void SmartCleanModel::setChildChecked(int result, int child, bool on)
{
    const QString id = idOf(result);
    QSet<QString> chosen = m_partialChildren.contains(id) ? m_partialChildren.value(id)
        : m_checkedIDs.contains(id)                      ? allChildPaths(result)
                                                         : QSet<QString>();
    const QString member = path(m_results[result].children[child].path());
    if (on)
        chosen.insert(member);
    else
        chosen.remove(member);
    applyChildSet(result, std::move(chosen));
    selectionDidChange(result);
}

void SmartCleanModel::applyChildSet(int result, QSet<QString> chosen)
{
    const QString id = idOf(result);
    m_partialChildren.remove(id);
    m_checkedIDs.remove(id);
    if (chosen.isEmpty())
        return;
    if (chosen == allChildPaths(result))
        m_checkedIDs.insert(id);
    else
        m_partialChildren.insert(id, std::move(chosen));
}

void SmartCleanModel::selectAll()
{
    m_partialChildren.clear();
    for (int i = 0; i < static_cast<int>(m_results.size()); ++i)
        m_checkedIDs.insert(idOf(i));
    selectionDidChange(-1);
}

void SmartCleanModel::deselectAll()
{
    m_checkedIDs.clear();
    m_partialChildren.clear();
    selectionDidChange(-1);
}

void SmartCleanModel::selectionDidChange(int result)
{
    const auto refresh = [this](int r) {
        const QModelIndex category = index(m_rowOfResult[r], 0);
        emit dataChanged(category, category, {Qt::CheckStateRole});
        const int children = static_cast<int>(m_results[r].children.size());
        if (children > 0)
            emit dataChanged(index(0, 0, category), index(children - 1, 0, category), {Qt::CheckStateRole});
    };
    if (result >= 0) {
        refresh(result);
    } else {
        for (int r = 0; r < static_cast<int>(m_results.size()); ++r)
            refresh(r);
    }
    emit selectionChanged();
}

Qt::CheckState SmartCleanModel::categoryState(int result) const
{
    const QString id = idOf(result);
    if (m_partialChildren.contains(id))
        return Qt::PartiallyChecked;
    return m_checkedIDs.contains(id) ? Qt::Checked : Qt::Unchecked;
}

bool SmartCleanModel::isChildChecked(int result, int child) const
{
    const QString id = idOf(result);
    const auto partial = m_partialChildren.constFind(id);
    if (partial != m_partialChildren.constEnd())
        return partial->contains(path(m_results[result].children[child].path()));
    return m_checkedIDs.contains(id);
}

qint64 SmartCleanModel::effectiveSize(int result) const
{
    const QString id = idOf(result);
    const auto partial = m_partialChildren.constFind(id);
    if (partial != m_partialChildren.constEnd()) {
        qint64 bytes = 0;
        for (const brisklet::FileEntry& child : m_results[result].children) {
            if (partial->contains(path(child.path())))
                bytes += child.sizeBytes;
        }
        return bytes;
    }
    return m_checkedIDs.contains(id) ? m_results[result].sizeBytes() : 0;
}

int SmartCleanModel::selectedCount() const
{
    int count = 0;
    for (int i = 0; i < static_cast<int>(m_results.size()); ++i)
        count += effectiveSize(i) > 0 ? 1 : 0;
    return count;
}

bool SmartCleanModel::everythingTicked() const
{
    return m_partialChildren.isEmpty() && m_checkedIDs.size() == static_cast<qsizetype>(m_results.size());
}

QString SmartCleanModel::summary(std::optional<qint64> reclaimable) const
{
    if (m_results.empty())
        return {};
    qint64 bytes = 0;
    for (int i = 0; i < static_cast<int>(m_results.size()); ++i)
        bytes += effectiveSize(i);
    if (reclaimable)
        bytes = *reclaimable;
    const int count = selectedCount();
    return QStringLiteral("%1 categor%2 selected · %3 reclaimable")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("y") : QStringLiteral("ies"))
        .arg(formatBytes(bytes));
}

QList<TrashCandidate> SmartCleanModel::itemsToClean() const
{
    QList<TrashCandidate> items;
    for (const brisklet::CleanCategoryResult& result : m_results) {
        const QString id = text(result.category.id);
        const auto partial = m_partialChildren.constFind(id);
        if (partial != m_partialChildren.constEnd()) {
            for (const brisklet::FileEntry& child : result.children) {
                if (partial->contains(path(child.path())))
                    items.append(candidate(child));
            }
        } else if (m_checkedIDs.contains(id)) {
            for (const brisklet::FileEntry& item : result.items)
                items.append(candidate(item));
        }
    }
    return items;
}

void SmartCleanModel::removeMoved(const QSet<QString>& paths)
{
    const auto moved = [&paths](const brisklet::FileEntry& entry) { return paths.contains(path(entry.path())); };
    beginResetModel();
    std::vector<brisklet::CleanCategoryResult> kept;
    for (brisklet::CleanCategoryResult& result : m_results) {
        std::erase_if(result.items, moved);
        std::erase_if(result.children, moved);
        const QString id = text(result.category.id);
        if (result.items.empty()) {
            m_checkedIDs.remove(id);
            m_partialChildren.remove(id);
            continue;
        }
        if (auto partial = m_partialChildren.find(id); partial != m_partialChildren.end()) {
            partial->subtract(paths);
            if (partial->isEmpty())
                m_partialChildren.erase(partial);
        }
        kept.push_back(std::move(result));
    }
    m_results = std::move(kept);
    rebuildRows();
    endResetModel();
    emit selectionChanged();
}

SmartCleanModel::Kind SmartCleanModel::kind(const QModelIndex& index) const
{
    if (index.internalId() != 0)
        return Kind::child;
    return m_rows[index.row()].kind;
}

int SmartCleanModel::resultOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return -1;
    if (index.internalId() != 0)
        return static_cast<int>(index.internalId()) - 1;
    return m_rows[index.row()].result;
}

QStringList SmartCleanModel::pathsAt(const QModelIndex& index) const
{
    const int result = resultOf(index);
    if (result < 0)
        return {};
    if (kind(index) == Kind::child)
        return {path(m_results[result].children[index.row()].path())};
    QStringList paths;
    for (const brisklet::FileEntry& item : m_results[result].items)
        paths << path(item.path());
    return paths;
}

QModelIndex SmartCleanModel::categoryIndex(const QString& id) const
{
    for (int i = 0; i < static_cast<int>(m_results.size()); ++i) {
        if (idOf(i) == id)
            return index(m_rowOfResult[i], 0);
    }
    return {};
}

QModelIndex SmartCleanModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < static_cast<int>(m_rows.size()) ? createIndex(row, 0, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0 || m_rows[parent.row()].kind != Kind::category)
        return {};
    const int result = m_rows[parent.row()].result;
    if (row >= static_cast<int>(m_results[result].children.size()))
        return {};
    return createIndex(row, 0, quintptr(result + 1));
}

QModelIndex SmartCleanModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(m_rowOfResult[child.internalId() - 1], 0, quintptr(0));
}

int SmartCleanModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return static_cast<int>(m_rows.size());
    if (parent.column() != 0 || parent.internalId() != 0 || m_rows[parent.row()].kind != Kind::category)
        return 0;
    return static_cast<int>(m_results[m_rows[parent.row()].result].children.size());
}

int SmartCleanModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant SmartCleanModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Kind rowKind = kind(index);
    if (role == KindRole)
        return static_cast<int>(rowKind);
    if (rowKind == Kind::header) {
        const QString heading = m_rows[index.row()].heading;
        switch (role) {
        case Qt::DisplayRole: return heading.toUpper();
        case Qt::AccessibleTextRole:
        case RowCopy::TextRole: return heading;
        default: return {};
        }
    }
    const int result = resultOf(index);
    const brisklet::CleanCategoryResult& measured = m_results[result];
    const bool isChild = rowKind == Kind::child;
    const brisklet::FileEntry* child = isChild ? &measured.children[index.row()] : nullptr;
    const QString title = isChild ? visibleText(path(child->name)) : text(measured.category.title);
    // A member whose size the scan counted at another of its hard links (0 here, so the category counts
    // it once) shows its own size with the link mark, as the analyzer does.
    const bool countedElsewhere = isChild && !child->isDirectory && child->sizeBytes <= 0 && child->linkedSizeBytes > 0;
    const QString size = countedElsewhere ? linkedSize(child->linkedSizeBytes)
                                          : formatBytes(isChild ? child->sizeBytes : measured.sizeBytes());
    switch (role) {
    case Qt::DisplayRole: return title;
    case DetailRole: return isChild ? QString() : text(measured.category.detail);
    case SizeTextRole: return size;
    case SymbolRole:
        if (!isChild)
            return text(measured.category.symbolName);
        if (idOf(result) == simulatorID)
            return QStringLiteral("iphone");
        return child->isDirectory ? QStringLiteral("folder") : QStringLiteral("doc");
    case Qt::CheckStateRole:
        if (isChild)
            return isChildChecked(result, index.row()) ? Qt::Checked : Qt::Unchecked;
        return categoryState(result);
    case Qt::ToolTipRole: {
        QStringList shown;
        for (const QString& each : pathsAt(index))
            shown << visibleText(each);
        if (countedElsewhere) {
            const auto at = m_countedLinks.find(child->path());
            shown << countedElsewhereNote(at != m_countedLinks.end() ? visibleText(pathFromBytes(at->second)) : QString());
        }
        return PlainText::toolTip(shown.join(QLatin1Char('\n')));
    }
    case Qt::AccessibleTextRole:
        // The link mark is a picture to a screen reader: say it.
        return countedElsewhere
            ? QStringLiteral("%1, %2, counted at another hard link").arg(title, formatBytes(child->linkedSizeBytes))
            : QStringLiteral("%1, %2").arg(title, size);
    case Qt::AccessibleDescriptionRole: return isChild ? path(child->path()) : text(measured.category.detail);
    case RowCopy::TextRole: return QStringLiteral("%1\t%2\t%3").arg(title, size, pathsAt(index).join(QStringLiteral(", ")));
    default: return {};
    }
}

bool SmartCleanModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole || kind(index) == Kind::header)
        return false;
    const bool on = value.toInt() != Qt::Unchecked;
    if (kind(index) == Kind::child)
        setChildChecked(resultOf(index), index.row(), on);
    else
        setCategoryChecked(resultOf(index), on);
    return true;
}

Qt::ItemFlags SmartCleanModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (kind(index) == Kind::header)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

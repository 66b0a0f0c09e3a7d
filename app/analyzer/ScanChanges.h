// ScanChanges: how the shown scan differs from an earlier scan of the same root, for the Change column,
// the header's "since" text and the Changes colouring.
//
// Items are found by their path bytes. Only folders and files of 1 MiB or more (and smaller files an
// earlier scan kept) are kept one by one in the store, so another small file has no change of its own
// (find() answers nothing) and counts in its folder's. A file that was below that size before shows
// the least it can have grown ("+2.1 MB or more"), and what lies in a folder either scan could not
// read is "not compared", never new or gone. Gone items have no row: they are told in a line of the changes bar and in the tool tip of
// the Change cell of the folder they were in; an item inside a gone folder goes with its folder.
// Built once on a worker; read on the GUI thread only.
#pragma once

#include "AnalyzerTreeNode.h"
#include "history/ScanHistory.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class ScanChanges {
public:
    explicit ScanChanges(brisklet::ScanComparison comparison);
    ScanChanges(const ScanChanges&) = delete; // the gone lists point into the map
    ScanChanges& operator=(const ScanChanges&) = delete;

    const brisklet::StoredScan& earlier() const { return m_earlier; }
    const brisklet::StoredScan& later() const { return m_later; }

    const brisklet::ScanChange* find(const std::string& pathBytes) const;
    const brisklet::ScanChange* find(const AnalyzerTreeNode& node) const;
    // The largest change below the root in either direction, at least 1: the full strength of a colour.
    std::int64_t largestDifference() const { return m_largest; }

    // What is gone since the earlier scan, each item once (not again inside a gone folder).
    std::int64_t goneCount() const { return static_cast<std::int64_t>(m_gone.size()); }
    std::int64_t goneBytes() const { return m_goneBytes; }
    // "3 items gone (2.1 GB)", "" when nothing is gone.
    QString goneText() const;
    // The largest gone items with their paths below the root and sizes, one a line, as plain text.
    QString goneList() const;
    // The gone items that were directly in folder, names and sizes, "" when none.
    QString goneList(const AnalyzerTreeNode& folder) const;
    // "Gone since 3 Dec, 14:05:" and the list, as a tool tip: of all (the changes bar) or of the folder
    // (its Change cell); "" when none.
    QString goneToolTip() const;
    QString goneToolTip(const AnalyzerTreeNode& folder) const;

    // "+1.2 GB", "-300 MB", "new", "" when unchanged; "+2.1 MB or more" for a file that was below the
    // kept size (or not there) before, "-2.1 MB or more" for one that may be below it (or gone) now,
    // "not compared" where either scan could not read.
    static QString text(const brisklet::ScanChange& change);
    // The Change column's order: largest growth first, new items by their size.
    static std::int64_t sortKey(const brisklet::ScanChange* change);
    // "since 3 Dec, 14:05" (the year added when it is not this year's).
    static QString since(std::int64_t finishedAtMs);
    // The same, with " (incomplete)" when that scan was partial or cancelled.
    static QString since(const brisklet::StoredScan& earlier);
    // The Change column's title: "Change since 3 Dec, 14:05", broken before the date where the column
    // is narrow; " (incomplete)" after it as in since().
    QString columnTitle(bool twoLines = false) const;
    // "3 Dec 2026, 14:05 · 1.2 GB", "· partial" or "· cancelled" after it.
    static QString scanLabel(const brisklet::StoredScan& scan);
    // The labels of scans for a menu: to the minute, with the seconds (then the milliseconds) only for
    // scans that would otherwise read the same.
    static QStringList scanLabels(const std::vector<brisklet::StoredScan>& scans);

    // Warm for growth, cool for shrinkage, deeper with the size of the change against the largest;
    // nothing for an item without a change of its own or one not compared.
    std::optional<QColor> color(const AnalyzerTreeNode& node) const;
    static QColor grownColor(double strength);
    static QColor shrunkColor(double strength);
    static QColor unchangedColor();

private:
    QString toolTipOf(const QString& goneList) const;

    brisklet::StoredScan m_earlier;
    brisklet::StoredScan m_later;
    std::unordered_map<std::string, brisklet::ScanChange> m_byPath;
    std::int64_t m_largest = 1;
    std::vector<const brisklet::ScanChange*> m_gone; // largest first
    std::unordered_map<std::string, std::vector<const brisklet::ScanChange*>> m_goneIn; // by folder path
    std::int64_t m_goneBytes = 0;
};

// The processes list's rules, apart from any widget: a sample becomes rows once (texts converted, the
// protected flag asked once, the application a process runs named), then every search or sort change
// filters and orders those rows.
//
// A process that runs a desktop application shows the application's name and icon; every other one
// its kernel name and the generic symbol. The full command line tells processes of one name apart.
//
// Search: the text trimmed of spaces and tabs; empty keeps all. Otherwise a row stays when its shown
// name, kernel name or user contains the text case-insensitively, or its decimal pid contains it.
// Sort: CPU share or resident memory, largest first; ties by name in plain code-point order (so "Zsh"
// comes before "bash"); stable, so rows equal in both keep their sample order.
#pragma once

#include "system/ProcessLister.h"

#include <QPixmap>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

struct ProcessRow {
    brisklet::ProcessEntry entry;
    QString name; // the application's name, else the kernel's
    QString user;
    QString pidText;
    bool isProtected = false;
    QString processName; // the kernel's name
    QString command;     // the full command line; empty when unreadable
    QPixmap icon;        // the application's icon; null for the generic symbol
};

// The application a process runs, as the list shows it.
struct ProcessApplication {
    QString name;
    QPixmap icon;
};

namespace ProcessRows {

enum class SortKey { cpu, memory };

// Sort control selection 1 is Memory; every other selection sorts by CPU.
SortKey sortKeyForSegment(int segment);

std::vector<ProcessRow> fromSample(const std::vector<brisklet::ProcessEntry>& sample,
                                   const std::unordered_map<std::int32_t, ProcessApplication>& applications = {});
// Names a row across readings: the pid with the process's start time, as a pid may be reused.
QString rowKey(const ProcessRow& row);
// The command line, else the kernel name: the row's tool tip.
QString commandText(const ProcessRow& row);
std::vector<ProcessRow> visible(const std::vector<ProcessRow>& all, const QString& search, SortKey key);
void sort(std::vector<ProcessRow>& rows, SortKey key);

// 100 x the share with one decimal and a per-cent sign, at most "999.0%".
QString cpuText(double cpuFraction);
// Above 0.8 of a core the figure is shown in red.
bool isBusy(double cpuFraction);
// "PID 42 · root", with " · protected" for processes that cannot be stopped.
QString detailText(const ProcessRow& row);
// "12 processes · 1.2 GB resident" (the plural for any count).
QString summaryText(const std::vector<ProcessRow>& rows);

} // namespace ProcessRows

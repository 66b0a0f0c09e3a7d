// RecentScansView: the start view's list of recently scanned folders, newest first, one row per folder
// with the date and total of its last stored scan; a click asks to scan that folder again (onPick).
//
// refresh() reads the store on a worker; a newer refresh drops an older answer. Hidden while there is
// nothing to list; emptied at once when every scan is forgotten (scansForgotten).
#pragma once

#include "history/ScanHistory.h"
#include "shell/BackgroundRunner.h"

#include <QWidget>

#include <functional>
#include <vector>

class QPushButton;
class QVBoxLayout;

class RecentScansView : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxRows = 5;

    explicit RecentScansView(QWidget* parent = nullptr);

    void refresh();
    void showScans(const std::vector<brisklet::StoredScan>& scans);
    std::vector<QPushButton*> rows() const;

    std::function<void(const QString& folder)> onPick;

private:
    QVBoxLayout* m_rows = nullptr;
    BackgroundRunner m_runner{this};
};

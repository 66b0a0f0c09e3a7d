#include "RecentScansView.h"

#include "AnalyzerHistory.h"
#include "shell/LayoutWidgets.h"
#include "shell/PathBytes.h"
#include "shell/PlainText.h"
#include "shell/ScreenStyle.h"
#include "deletion/DeletionItems.h"
#include "shell/NotificationCenter.h"

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <unordered_set>

RecentScansView::RecentScansView(QWidget* parent) : QWidget(parent)
{
    auto* title = new QLabel(QStringLiteral("Recent Scans"), this);
    title->setFont(ScreenStyle::font(13, QFont::DemiBold));
    m_rows = new QVBoxLayout;
    m_rows->setSpacing(2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(title);
    layout->addLayout(m_rows);
    setAccessibleName(QStringLiteral("Recent scans"));
    hide();
    NotificationCenter::shared().addObserver(NotificationNames::scansForgotten, this, [this](QObject*, const QVariantMap&) {
        m_runner.stopAll(); // a listing read before the forget
        showScans({});
    });
}

void RecentScansView::refresh()
{
    m_runner.stopAll();
    m_runner.run([history = AnalyzerHistory::store()](std::stop_token) { return history->scans(); },
                 [this](const std::vector<brisklet::StoredScan>& scans) { showScans(scans); });
}

void RecentScansView::showScans(const std::vector<brisklet::StoredScan>& scans)
{
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    std::unordered_set<std::string> listed;
    for (const brisklet::StoredScan& scan : scans) {
        if (static_cast<int>(listed.size()) == maxRows)
            break;
        // The newest finished scan of each folder only: a cancelled one holds only what it walked.
        if (scan.cancelled || !listed.insert(scan.root).second)
            continue;
        const QString folder = pathFromBytes(scan.root);
        // The last name, trailing slashes aside (roots stored before they were cleaned up may have
        // one); the whole path when there is none, as for "/".
        QString name = folder;
        while (name.size() > 1 && name.endsWith(QLatin1Char('/')))
            name.chop(1);
        name = name == QStringLiteral("/") ? name : name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
        const QString when = QDateTime::fromMSecsSinceEpoch(scan.finishedAtMs).toString(QStringLiteral("d MMM, HH:mm"));
        auto* row = new QPushButton(this);
        row->setFlat(true);
        // An & in a folder's name is shown, not taken as a mnemonic.
        row->setText(visibleText(name).replace(QLatin1Char('&'), QStringLiteral("&&")) + QStringLiteral("  \u00b7  ") + when +
                     QStringLiteral("  \u00b7  ") + utf8Text(brisklet::ByteFormat::humanReadable(scan.totals.bytes)));
        row->setToolTip(PlainText::toolTip(QStringLiteral("Scan %1 again").arg(visibleText(folder))));
        row->setStyleSheet(QStringLiteral("text-align: left; padding: 4px 8px;"));
        connect(row, &QPushButton::clicked, this, [this, folder] {
            if (onPick)
                onPick(folder);
        });
        m_rows->addWidget(row);
    }
    setVisible(!listed.empty());
}

std::vector<QPushButton*> RecentScansView::rows() const { return widgetsIn<QPushButton>(m_rows); }

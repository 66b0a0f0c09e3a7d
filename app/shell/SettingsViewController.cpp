#include "SettingsViewController.h"

#include "PathBytes.h"
#include "AppInfo.h"
#include "MainMenu.h"
#include "NotificationCenter.h"
#include "ScanHistoryStore.h"
#include "AppPreferences.h"
#include "Fonts.h"
#include "SegmentedControl.h"
#include "SymbolIcons.h"
#include "ToneLabel.h"


#include <QCheckBox>
#include <QDesktopServices>
#include <QMessageBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
std::function<void(const QUrl&)>& urlOpener()
{
    static std::function<void(const QUrl&)> opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return opener;
}

QLabel* rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(Fonts::relative(13));
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}

// Distance from a push button's top to its title's baseline (the style centres the title).
int buttonBaseline(const QPushButton* button)
{
    const QFontMetrics metrics = button->fontMetrics();
    return (button->sizeHint().height() - metrics.height()) / 2 + metrics.ascent();
}

// Lowers label so its first baseline meets the field's; both sit at the top of their grid row.
void alignOnBaseline(QLabel* label, int fieldBaseline)
{
    label->setContentsMargins(0, qMax(0, fieldBaseline - label->fontMetrics().ascent()), 0, 0);
}
} // namespace

SettingsViewController::SettingsViewController(QWidget* parent) : QWidget(parent)
{
    QStringList labels;
    for (AppPreferences::Appearance a : AppPreferences::allAppearances)
        labels << AppPreferences::label(a);
    m_appearanceControl = new SegmentedControl(labels, this);
    m_appearanceControl->setAccessibleName(QStringLiteral("Appearance"));
    const AppPreferences::Appearance current = AppPreferences::appearance();
    int selected = 0;
    for (int i = 0; i < static_cast<int>(AppPreferences::allAppearances.size()); ++i) {
        if (AppPreferences::allAppearances[static_cast<std::size_t>(i)] == current)
            selected = i;
    }
    m_appearanceControl->setSelectedIndex(selected);
    connect(m_appearanceControl, &SegmentedControl::selectionChanged, this, &SettingsViewController::appearanceChanged);

    m_feedbackButton = new QPushButton(QStringLiteral("Send Feedback"), this);
    m_feedbackButton->setAutoDefault(false);
    m_feedbackButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_feedbackButton, &QPushButton::clicked, this, &SettingsViewController::sendFeedback);

    // The default button: Return closes the sheet wherever the focus is, the segments included.
    m_doneButton = new QPushButton(QStringLiteral("Done"), this);
    m_doneButton->setDefault(true);
    connect(m_doneButton, &QPushButton::clicked, this, &SettingsViewController::close);

    // Header: icon, name and version.
    auto* icon = new QLabel(this);
    icon->setPixmap(SymbolIcons::applicationIcon().pixmap(QSize(56, 56), devicePixelRatioF()));
    icon->setFixedSize(56, 56);
    auto* name = new QLabel(AppInfo::name, this);
    name->setFont(Fonts::relative(15, QFont::DemiBold));
    auto* version = new ToneLabel(QStringLiteral("Version ") + MainMenu::versionText(AppInfo::appVersion(), AppInfo::appBuild()),
                                  TextTone::secondary, this);
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setFont(Fonts::relative(12));
    auto* nameColumn = new QVBoxLayout;
    nameColumn->setSpacing(2);
    nameColumn->addStretch(1);
    nameColumn->addWidget(name);
    nameColumn->addWidget(version);
    nameColumn->addStretch(1);
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(icon);
    header->addLayout(nameColumn, 1);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(16);
    grid->setHorizontalSpacing(12);
    // Rows align on their first baseline.
    QLabel* appearanceLabel = rowLabel(QStringLiteral("Appearance"), this);
    alignOnBaseline(appearanceLabel, m_appearanceControl->firstBaseline());
    QLabel* feedbackLabel = rowLabel(QStringLiteral("Feedback"), this);
    alignOnBaseline(feedbackLabel, buttonBaseline(m_feedbackButton));
    grid->addWidget(appearanceLabel, 0, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(m_appearanceControl, 0, 1, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(feedbackLabel, 1, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(m_feedbackButton, 1, 1, Qt::AlignLeft | Qt::AlignTop);
    grid->setColumnStretch(1, 1);

    m_rememberScans = new QCheckBox(QStringLiteral("Remember scans"), this);
    m_rememberScans->setChecked(AppPreferences::rememberScans());
    m_rememberScans->setToolTip(QStringLiteral("Keep each scan's folder sizes, so the next scan can show what grew"));
    connect(m_rememberScans, &QCheckBox::toggled, this, [](bool on) { AppPreferences::setRememberScans(on); });
    m_forgetScans = new QPushButton(QStringLiteral("Forget All Scans\u2026"), this);
    m_forgetScans->setAutoDefault(false);
    m_forgetScans->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_forgetScans, &QPushButton::clicked, this, &SettingsViewController::forgetScansClicked);
    auto* historyColumn = new QVBoxLayout;
    historyColumn->setSpacing(8);
    historyColumn->addWidget(m_rememberScans);
    historyColumn->addWidget(m_forgetScans);
    QLabel* historyLabel = rowLabel(QStringLiteral("Scan history"), this);
    alignOnBaseline(historyLabel, m_rememberScans->fontMetrics().ascent() +
                                      (m_rememberScans->sizeHint().height() - m_rememberScans->fontMetrics().height()) / 2);
    grid->addWidget(historyLabel, 2, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addLayout(historyColumn, 2, 1, Qt::AlignLeft | Qt::AlignTop);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_doneButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addSpacing(18);
    layout->addWidget(separator);
    layout->addSpacing(16);
    layout->addLayout(grid);
    layout->addSpacing(20);
    layout->addStretch(1);
    layout->addLayout(bottom);

    setFixedWidth(400);
}

void SettingsViewController::appearanceChanged()
{
    const int index = m_appearanceControl->selectedIndex();
    if (index < 0 || index > 2)
        return;
    AppPreferences::setAppearance(AppPreferences::allAppearances[static_cast<std::size_t>(index)]);
    AppPreferences::applyAppearance(AppPreferences::appearance());
}

QUrl SettingsViewController::feedbackUrl()
{
    const QByteArray subject = QUrl::toPercentEncoding(feedbackSubject);
    const QString text = QStringLiteral("mailto:") + feedbackAddress + QStringLiteral("?subject=")
                         + (subject.isEmpty() ? feedbackSubject : utf8Text(std::string_view(subject.constData(), static_cast<std::size_t>(subject.size()))));
    return QUrl(text, QUrl::StrictMode);
}

void SettingsViewController::setUrlOpener(std::function<void(const QUrl&)> opener)
{
    urlOpener() = std::move(opener);
}

void SettingsViewController::sendFeedback()
{
    const QUrl url = feedbackUrl();
    if (url.isValid() && urlOpener())
        urlOpener()(url);
}

void SettingsViewController::forgetScansClicked()
{
    if (m_forgetQuestion)
        return;
    m_forgetQuestion = new QMessageBox(QMessageBox::Warning, QStringLiteral("Forget all scans?"),
                                       QStringLiteral("Forget all scans?"), QMessageBox::NoButton, this);
    m_forgetQuestion->setInformativeText(
        QStringLiteral("Every stored scan is removed. Folders scanned again start without changes to compare."));
    QPushButton* forget = m_forgetQuestion->addButton(QStringLiteral("Forget All Scans"), QMessageBox::DestructiveRole);
    QPushButton* cancel = m_forgetQuestion->addButton(QMessageBox::Cancel);
    m_forgetQuestion->setDefaultButton(cancel); // an irreversible action is never the default
    m_forgetQuestion->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_forgetQuestion, &QMessageBox::buttonClicked, this, [this, forget](QAbstractButton* clicked) {
        m_forgetQuestion = nullptr;
        if (clicked != forget)
            return;
        m_forgetScans->setEnabled(false);
        m_runner.run([history = ScanHistoryStore::shared()](std::stop_token) { return history->forgetAll(); },
                     [this](bool forgotten) {
                         m_forgetScans->setEnabled(true);
                         m_forgetScans->setToolTip(forgotten ? QStringLiteral("All scans were forgotten.")
                                                             : QStringLiteral("The stored scans could not be removed."));
                         // Whatever was removed, the screens stop showing what they compared with.
                         NotificationCenter::shared().post(NotificationNames::scansForgotten, this);
                     });
    });
    m_forgetQuestion->open();
}

void SettingsViewController::close()
{
    if (QWidget* w = window())
        w->close();
}

#include "SidebarViewController.h"

#include "AccentButton.h"
#include "Fonts.h"
#include "NotificationCenter.h"
#include "SettingsViewController.h"
#include "SidebarRowView.h"
#include "SymbolIcons.h"
#include "ToneLabel.h"
#include "UpdateController.h"

#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {
QWidget* headerCell(const QString& text, bool first, QWidget* parent)
{
    auto* cell = new QWidget(parent);
    auto* label = new ToneLabel(text, TextTone::secondary, cell);
    label->setFont(Fonts::relative(11, QFont::DemiBold));
    const int textHeight = label->fontMetrics().height();
    cell->setFixedHeight(qMax(first ? 20 : 34, textHeight + (first ? 4 : 18)));
    auto* layout = new QVBoxLayout(cell);
    layout->setContentsMargins(10, 0, 10, 4);
    layout->addStretch(1);
    layout->addWidget(label);
    return cell;
}
} // namespace

SidebarViewController::SidebarViewController(UpdateController& updateController, QWidget* parent)
    : QWidget(parent), m_updateController(updateController)
{
    setAttribute(Qt::WA_StyledBackground, false);
    setAutoFillBackground(false);

    auto* stack = new QVBoxLayout;
    stack->setSpacing(2);
    stack->setContentsMargins(0, 0, 0, 0);
    bool first = true;
    QPointer<SidebarViewController> weakSelf(this);
    for (const Sections::Group& group : Sections::sidebarGroups()) {
        stack->addWidget(headerCell(group.header, first, this));
        first = false;
        for (Section section : group.sections) {
            auto* row = new SidebarRowView(section, [weakSelf](Section tapped) {
                if (!weakSelf)
                    return;
                weakSelf->highlight(tapped);
                if (weakSelf->onSelect)
                    weakSelf->onSelect(tapped);
            }, this);
            row->setObjectName(QStringLiteral("row.") + Sections::rawValue(section));
            row->onStep = [weakSelf, section](int step) {
                if (weakSelf)
                    weakSelf->stepSelection(section, step);
            };
            m_rowViews[section] = row;
            stack->addWidget(row);
        }
    }

    m_settingsButton = new QPushButton(QStringLiteral("Settings"), this);
    m_settingsButton->setFlat(true);
    m_settingsButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_settingsButton->setCursor(Qt::PointingHandCursor);
    connect(m_settingsButton, &QPushButton::clicked, this, &SidebarViewController::showSettings);

    m_updateButton = new AccentButton(this);
    m_updateButton->setObjectName(QStringLiteral("updateButton"));
    m_updateButton->hide();
    connect(m_updateButton, &QPushButton::clicked, this, &SidebarViewController::updateClicked);

    auto* bottomBar = new QHBoxLayout;
    bottomBar->setSpacing(6);
    bottomBar->setContentsMargins(0, 0, 0, 0);
    bottomBar->addWidget(m_settingsButton);
    bottomBar->addStretch(1);
    bottomBar->addWidget(m_updateButton);
    auto* bottom = new QWidget(this);
    bottom->setFixedHeight(30);
    bottom->setLayout(bottomBar);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 14, 12, 14);
    layout->setSpacing(0);
    layout->addLayout(stack);
    layout->addStretch(1);
    layout->addWidget(bottom);

    refreshSettingsIcon();
    highlight(Section::dashboard);

    NotificationCenter& center = NotificationCenter::shared();
    center.addObserver(NotificationNames::switchSection, this, [this](QObject*, const QVariantMap& userInfo) {
        const QVariant value = userInfo.value(NotificationNames::sectionKey);
        if (value.typeId() != QMetaType::QString)
            return;
        if (const auto section = Sections::fromRawValue(value.toString()))
            highlight(*section);
    });
    center.addObserver(NotificationNames::updateStateChanged, this,
                       [this](QObject*, const QVariantMap&) { renderUpdateState(); });
    renderUpdateState();
}

std::optional<Section> SidebarViewController::highlightedSection() const
{
    for (const auto& [section, row] : m_rowViews) {
        if (row->isHighlighted())
            return section;
    }
    return std::nullopt;
}

void SidebarViewController::highlight(Section section)
{
    bool focusInRows = false;
    for (const auto& [rowSection, row] : m_rowViews) {
        focusInRows = focusInRows || row->hasFocus();
        row->setHighlighted(rowSection == section);
    }
    // The keyboard focus stays on the selected row, also when another part of the program switched.
    if (focusInRows)
        m_rowViews.at(section)->setFocus(Qt::OtherFocusReason);
}

void SidebarViewController::stepSelection(Section from, int step)
{
    const std::vector<Section> order = Sections::all();
    const auto at = std::find(order.begin(), order.end(), from) - order.begin();
    const qsizetype last = static_cast<qsizetype>(order.size()) - 1;
    const qsizetype target = step == INT_MIN ? 0 : step == INT_MAX ? last : std::clamp<qsizetype>(at + step, 0, last);
    m_rowViews.at(order[static_cast<std::size_t>(target)])->tap(); // highlight keeps the focus on it
}

void SidebarViewController::showSettings()
{
    QWidget* host = window();
    if (host == this)
        host = nullptr; // a sidebar that is not inside a window has nothing to attach a sheet to
    auto* sheet = new QDialog(host);
    sheet->setWindowTitle(QStringLiteral("Settings"));
    sheet->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsViewController(sheet));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_settingsSheet = sheet;
    sheet->open();
}

void SidebarViewController::updateClicked()
{
    m_updateController.performPrimaryAction();
}

void SidebarViewController::renderUpdateState()
{
    m_updateButton->setEnabled(true);
    const UpdateController::ButtonLook look = UpdateController::buttonLook(m_updateController.state());
    if (!look.visible) {
        m_updateButton->hide();
        return;
    }
    m_updateButton->setText(look.title);
    m_updateSymbol = look.symbolName;
    m_updateButton->setIcon(QIcon(SymbolIcons::pixmap(look.symbolName, 14, Qt::white, devicePixelRatioF())));
    m_updateButton->setEnabled(look.enabled);
    m_updateButton->setToolTip(look.toolTip);
    m_updateButton->updateGeometry();
    m_updateButton->show();
}

void SidebarViewController::paintEvent(QPaintEvent*)
{
    // The sidebar material: a shade between the window background and the controls.
    QPainter painter(this);
    QColor tone = palette().color(QPalette::Window);
    tone = tone.lightness() > 128 ? tone.darker(104) : tone.lighter(118);
    painter.fillRect(rect(), tone);
}

void SidebarViewController::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        refreshSettingsIcon();
    }
    QWidget::changeEvent(event);
}

void SidebarViewController::refreshSettingsIcon()
{
    m_settingsButton->setIcon(QIcon(SymbolIcons::pixmap(QStringLiteral("gearshape"), 16,
                                                        palette().color(QPalette::WindowText), devicePixelRatioF())));
}

#include "SectionContainerViewController.h"

#include "NotificationCenter.h"
#include "SectionScreen.h"

#include <QVBoxLayout>

SectionContainerViewController::SectionContainerViewController(QWidget* parent, SectionScreens::Table screens)
    : QWidget(parent), m_screens(std::move(screens))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    show(Section::dashboard);
    m_observer = NotificationCenter::shared().addObserver(
        NotificationNames::switchSection, this, [this](QObject*, const QVariantMap& userInfo) {
            const QVariant value = userInfo.value(NotificationNames::sectionKey);
            if (value.typeId() != QMetaType::QString)
                return;
            if (const auto section = Sections::fromRawValue(value.toString()))
                show(*section);
        });
}

SectionContainerViewController::~SectionContainerViewController()
{
    NotificationCenter::shared().removeObserver(m_observer);
}

const std::map<Section, QWidget*>& SectionContainerViewController::controllers()
{
    if (!m_built) {
        m_built = true;
        for (const SectionScreens::Entry& entry : m_screens) {
            QWidget* screen = entry.make ? entry.make(this) : nullptr;
            if (!screen)
                continue;
            // Owned by the container; hidden until shown.
            if (screen->parentWidget() != this)
                screen->setParent(this);
            screen->hide();
            m_controllers[entry.section] = screen;
        }
    }
    return m_controllers;
}

void SectionContainerViewController::show(Section section)
{
    const auto& screens = controllers();
    const auto it = screens.find(section);
    if (it == screens.end())
        return;
    QWidget* screen = it->second;
    if (screen == m_current)
        return;
    QWidget* previous = m_current;
    if (previous) {
        layout()->removeWidget(previous);
        previous->hide();
    }
    layout()->addWidget(screen);
    screen->show();
    m_current = screen;
    if (auto* left = dynamic_cast<SectionScreen*>(previous))
        left->sectionDidDisappear();
    if (auto* shown = dynamic_cast<SectionScreen*>(screen))
        shown->sectionDidAppear();
}

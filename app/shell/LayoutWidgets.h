// widgetsIn: the widgets of one type a layout holds directly, in layout order (spacers, stretches and
// widgets of other types skipped). For views that rebuild a column of rows and hand the rows out.
#pragma once

#include <QLayout>
#include <QWidget>

#include <vector>

template <typename Widget>
std::vector<Widget*> widgetsIn(const QLayout* layout)
{
    std::vector<Widget*> widgets;
    for (int i = 0; i < layout->count(); ++i)
        if (auto* widget = qobject_cast<Widget*>(layout->itemAt(i)->widget()))
            widgets.push_back(widget);
    return widgets;
}

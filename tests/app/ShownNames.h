// Reads back how a screen shows names: each label, tool tip and list tool tip under a widget that
// mentions one, and whether Qt renders it as written or reads it as markup (Qt::mightBeRichText).
#pragma once

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QLabel>
#include <QTextDocument>
#include <QToolTip>

struct ShownNames {
    explicit ShownNames(QStringList shownNames) : names(std::move(shownNames)) {}
    QStringList names;
    int seen = 0;        // texts that mention a name
    QStringList misread; // of those, the ones Qt renders as something else
    void check(const QString& text, Qt::TextFormat format = Qt::AutoText)
    {
        QTextDocument document;
        document.setHtml(text);
        const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
        const QString shown = rich ? document.toPlainText() : text;
        for (const QString& name : names) {
            seen += text.contains(name) || shown.contains(name);
            if (text.contains(name) && !shown.contains(name))
                misread << text;
        }
    }
    void walkModel(const QAbstractItemModel* model, const QModelIndex& parent)
    {
        for (int row = 0; row < model->rowCount(parent); ++row)
            for (int column = 0; column < model->columnCount(parent); ++column) {
                check(model->index(row, column, parent).data(Qt::ToolTipRole).toString());
                walkModel(model, model->index(row, column, parent));
            }
    }
    ShownNames& walk(QWidget* root)
    {
        const QList<QWidget*> widgets = root->findChildren<QWidget*>() << root;
        for (QWidget* widget : widgets) {
            check(widget->toolTip());
            if (auto* label = qobject_cast<QLabel*>(widget))
                check(label->text(), label->textFormat());
            if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model())
                walkModel(view->model(), view->rootIndex());
        }
        return *this;
    }
    // The tool tip a chart shows for a point.
    ShownNames& hover(QWidget* chart, QPoint at)
    {
        QHelpEvent help(QEvent::ToolTip, at, chart->mapToGlobal(at));
        QCoreApplication::sendEvent(chart, &help);
        check(QToolTip::text());
        return *this;
    }
};

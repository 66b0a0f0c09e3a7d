// Reads back how a screen shows names: every label, tool tip and list tool tip under a widget that
// mentions one of them, and whether Qt renders it as written or reads it as markup.
#pragma once

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QLabel>
#include <QStringList>
#include <QTextDocument>
#include <QToolTip>

struct ShownNames {
    explicit ShownNames(QStringList shownNames) : names(std::move(shownNames)) {}

    QStringList names;
    int seen = 0;        // texts that mention a name
    QStringList misread; // of those, the ones Qt renders as something else

    void check(const QString& text, bool rich)
    {
        QTextDocument document;
        document.setHtml(text);
        const QString shown = rich ? document.toPlainText() : text;
        for (const QString& name : names) {
            if (!text.contains(name) && !shown.contains(name))
                continue;
            ++seen;
            if (!shown.contains(name))
                misread << text;
        }
    }
    // A tool tip or an automatic label is markup exactly when Qt::mightBeRichText says so.
    void checkAuto(const QString& text) { check(text, Qt::mightBeRichText(text)); }
    void walkModel(const QAbstractItemModel* model, const QModelIndex& parent)
    {
        for (int row = 0; row < model->rowCount(parent); ++row)
            for (int column = 0; column < model->columnCount(parent); ++column) {
                const QModelIndex index = model->index(row, column, parent);
                checkAuto(index.data(Qt::ToolTipRole).toString());
                walkModel(model, index);
            }
    }
    ShownNames& walk(QWidget* root)
    {
        QList<QWidget*> widgets = root->findChildren<QWidget*>();
        widgets << root;
        for (QWidget* widget : widgets) {
            checkAuto(widget->toolTip());
            if (auto* label = qobject_cast<QLabel*>(widget))
                check(label->text(), label->textFormat() == Qt::RichText ||
                                         (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text())));
            if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model())
                walkModel(view->model(), view->rootIndex());
        }
        return *this;
    }
    // The tool tip a chart shows for the point it is asked about.
    ShownNames& hover(QWidget* chart, QPoint at)
    {
        QHelpEvent help(QEvent::ToolTip, at, chart->mapToGlobal(at));
        QCoreApplication::sendEvent(chart, &help);
        checkAuto(QToolTip::text());
        return *this;
    }
};

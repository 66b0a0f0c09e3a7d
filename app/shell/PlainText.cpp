#include "PlainText.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

namespace PlainText {

void apply(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
}

void apply(QMessageBox* box)
{
    box->setTextFormat(Qt::PlainText);
    // The informative text has a label of its own, made when the text is first set.
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

QString toolTip(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}

} // namespace PlainText

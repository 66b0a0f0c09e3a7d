// Names shown as written. File, folder, application and process names are anyone's choice, and Qt
// reads a label's, a message box's or a tool tip's text as markup whenever it looks like markup
// (Qt::mightBeRichText): a folder named "<h1>big" would render as a heading. Every widget that can show
// such a name goes through these.
#pragma once

#include <QString>

class QLabel;
class QMessageBox;

namespace PlainText {

// The label shows its text as plain text, whatever it is later set to.
void apply(QLabel* label);
// The box's text, informative text and every label in it show as plain text.
void apply(QMessageBox* box);
// A tool tip that shows text as written: unchanged when Qt would read it as plain, else escaped into
// rich text that renders to exactly the text (line breaks kept).
QString toolTip(const QString& text);

} // namespace PlainText

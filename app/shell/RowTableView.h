// The table every list screen uses: whole rows are selected, arrows and Page keys move, and Ctrl+C
// copies the selected rows as text (RowCopy: a cell's RowCopy::TextRole, else its display text).
#pragma once

#include <QTableView>

class QLineEdit;

class RowTableView : public QTableView {
    Q_OBJECT
public:
    explicit RowTableView(QWidget* parent = nullptr);

    // The selected rows as the clipboard receives them.
    QString selectedRowsText() const;

signals:
    // Return or Enter on the current row.
    void rowActivated(int row);
    // Delete or Backspace on the current row.
    void rowDeleteRequested(int row);

public:
    // Wires a screen's search field to the table: the platform's Find keys (Ctrl+F) focus the field
    // from anywhere in the window while the screen is shown, Escape in the field clears it, Down moves
    // into the table.
    void attachSearchField(QLineEdit* field, QWidget* screen);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_searchField = nullptr;
};

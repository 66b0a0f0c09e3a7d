#include "../AppTestSupport.h"
#include "deletion/DestructiveButton.h"
#include "deletion/ReviewSheetViewController.h"
#include "shell/ScreenStyle.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct SheetProbe {
    QList<QList<ConfirmedItem>> confirmed;
    int cancelled = 0;
    QPointer<ReviewSheetViewController> sheet;

    explicit SheetProbe(const QList<TrashCandidate>& items)
    {
        sheet = new ReviewSheetViewController(
            items, [this](const QList<ConfirmedItem>& chosen) { confirmed.append(chosen); }, [this] { ++cancelled; });
        sheet->open();
    }
    ~SheetProbe() { delete sheet.data(); }
    QString subtitle() const { return sheet->subtitleLabel()->text(); }
    QString button() const { return sheet->confirmButton()->text(); }
};

const QList<TrashCandidate> threeItems{{"/data/a.bin", 5000, false}, {"/data/b", 9000, true}, {"/data/c.bin", 5000, false}};

} // namespace

TEST(ReviewSheet, SortsLargestFirstAndKeepsTheCallersOrderAmongEqualSizes) {
    SheetProbe probe(threeItems);
    const auto& items = probe.sheet->items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].path, "/data/b");
    EXPECT_EQ(items[1].path, "/data/a.bin");
    EXPECT_EQ(items[2].path, "/data/c.bin");
    EXPECT_TRUE(items[0].checked && items[1].checked && items[2].checked);
}

TEST(ReviewSheet, SubtitleAndButtonFollowTheTickedRows) {
    SheetProbe probe(threeItems);
    EXPECT_EQ(probe.subtitle(), QStringLiteral("3 items · ") + formatBytes(19000));
    EXPECT_EQ(probe.button(), "Move 3 Items to Trash");
    probe.sheet->toggle(0);
    EXPECT_EQ(probe.subtitle(), QStringLiteral("2 of 3 selected · ") + formatBytes(10000));
    EXPECT_EQ(probe.button(), "Move 2 Items to Trash");
    probe.sheet->toggle(1);
    EXPECT_EQ(probe.button(), "Move 1 Item to Trash");
    probe.sheet->toggle(2);
    EXPECT_EQ(probe.button(), "Move 0 Items to Trash");
    EXPECT_FALSE(probe.sheet->confirmButton()->isEnabled());
    QTest::keyClick(probe.sheet->tableView(), Qt::Key_Return); // nothing ticked: Return moves nothing
    EXPECT_TRUE(probe.confirmed.isEmpty());

    SheetProbe single({{"/data/only", 7, false}});
    EXPECT_EQ(single.subtitle(), QStringLiteral("1 item · ") + formatBytes(7));
    EXPECT_EQ(single.button(), "Move 1 Item to Trash");
}

TEST(ReviewSheet, AToggleOutsideTheTableChangesNothing) {
    SheetProbe probe(threeItems);
    probe.sheet->toggle(-1);
    probe.sheet->toggle(3);
    EXPECT_EQ(probe.sheet->checkedItems().size(), 3);
    EXPECT_EQ(probe.button(), "Move 3 Items to Trash");
}

TEST(ReviewSheet, ReturnConfirmsOnlyTheTickedRowsInRowOrder) {
    QTemporaryDir work(QDir::homePath() + "/sheet-XXXXXX");
    const QString a = work.path() + "/a.bin", b = work.path() + "/b", c = work.path() + "/c.bin";
    ASSERT_TRUE(QFile(a).open(QIODevice::WriteOnly) && QDir().mkdir(b) && QFile(c).open(QIODevice::WriteOnly));
    SheetProbe probe({{a, 5000, false}, {b, 9000, true}, {c, 5000, false}});
    ASSERT_TRUE(sheetReady(probe.sheet));
    QTest::keyClick(probe.sheet->tableView(), Qt::Key_Down); // second row current and selected
    QTest::keyClick(probe.sheet->tableView(), Qt::Key_Space);
    QTest::keyClick(probe.sheet->tableView(), Qt::Key_Return);
    ASSERT_EQ(probe.confirmed.size(), 1);
    EXPECT_EQ(probe.confirmed[0], (QList<ConfirmedItem>{{b, 9000}, {c, 5000}}));
    EXPECT_EQ(probe.cancelled, 0);
}

TEST(ReviewSheet, AConfirmationBeforeTheProtectedItemsAreKnownDoesNothing) {
    QTemporaryDir work(QDir::homePath() + "/sheet-XXXXXX");
    QFile file(work.path() + "/notes.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString config = QDir::homePath() + "/.config";
    SheetProbe probe({{file.fileName(), 100, false}, {config, 900, true}});
    // Straight away, before the worker's answer can arrive (no events run in between): the button is
    // off, and neither Return nor the slot confirms.
    EXPECT_FALSE(probe.sheet->confirmButton()->isEnabled());
    QTest::keyClick(probe.sheet->tableView(), Qt::Key_Return);
    probe.sheet->confirmClicked();
    EXPECT_TRUE(probe.confirmed.isEmpty()) << "confirmed before the protected item was refused";
    ASSERT_TRUE(sheetReady(probe.sheet));
    EXPECT_TRUE(probe.sheet->confirmButton()->isEnabled());
    QTest::keyClick(probe.sheet->tableView(), Qt::Key_Return);
    ASSERT_EQ(probe.confirmed.size(), 1);
    EXPECT_EQ(probe.confirmed[0], (QList<ConfirmedItem>{{file.fileName(), 100}}));
}

TEST(ReviewSheet, EscapeCancelsAndMovesNothing) {
    SheetProbe probe(threeItems);
    QTest::keyClick(probe.sheet->tableView(), Qt::Key_Escape);
    probe.sheet->confirmClicked(); // a late click on a closed sheet does nothing either
    EXPECT_EQ(probe.cancelled, 1);
    EXPECT_TRUE(probe.confirmed.isEmpty());
}

TEST(ReviewSheet, ReturnOnTheFocusedCancelButtonCancelsRatherThanMovingTheItems) {
    SheetProbe probe(threeItems);
    probe.sheet->cancelButton()->setFocus();
    QTest::keyClick(probe.sheet->cancelButton(), Qt::Key_Return);
    EXPECT_EQ(probe.cancelled, 1);
    EXPECT_TRUE(probe.confirmed.isEmpty());
}

TEST(ReviewSheet, CopyPutsTheSelectedRowsOnTheClipboard) {
    SheetProbe probe(threeItems);
    probe.sheet->tableView()->selectAll();
    QTest::keySequence(probe.sheet->tableView(), QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("b\t%1\t/data\na.bin\t%2\t/data\nc.bin\t%2\t/data").arg(formatBytes(9000), formatBytes(5000)));
}

TEST(ReviewSheet, AProtectedItemIsListedUntickedAndDisabledWithItsRefusalAndLeftOutOfTheCount) {
    QTemporaryDir work(QDir::homePath() + "/sheet-XXXXXX");
    QFile file(work.path() + "/notes.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString config = QDir::homePath() + "/.config";
    SheetProbe probe({{file.fileName(), 100, false}, {config, 900, true}, {"/usr/share", 800, true}});
    const QAbstractItemModel* model = probe.sheet->tableView()->model();
    ASSERT_TRUE(waitFor([&] { return !(model->index(0, 0).flags() & Qt::ItemIsEnabled); }));
    const QString refusals[] = {"Protected: the system or your desktop needs this folder",
                                "Protected: everything in /usr belongs to the system"};
    for (int row : {0, 1}) {
        EXPECT_EQ(model->index(row, 0).data(Qt::AccessibleDescriptionRole).toString(), refusals[row]);
        EXPECT_GT(probe.sheet->tableView()->rowHeight(row), 26) << "the refusal shows under the name";
        EXPECT_FALSE(model->index(row, 0).flags() & Qt::ItemIsEnabled);
        probe.sheet->toggle(row);
        EXPECT_FALSE(probe.sheet->items()[static_cast<std::size_t>(row)].checked);
    }
    EXPECT_EQ(probe.button(), "Move 1 Item to Trash");
    EXPECT_TRUE(probe.subtitle().startsWith("1 item · ")) << "refused rows are not counted among the offered";
    EXPECT_TRUE(probe.subtitle().endsWith(" · 2 can't be moved")) << probe.subtitle().toStdString();
    probe.sheet->toggle(2);
    EXPECT_TRUE(probe.subtitle().startsWith("0 of 1 selected · ")) << probe.subtitle().toStdString();
    probe.sheet->toggle(2);
    QTest::keyClick(probe.sheet->tableView(), Qt::Key_Return);
    ASSERT_EQ(probe.confirmed.size(), 1);
    EXPECT_EQ(probe.confirmed[0], (QList<ConfirmedItem>{{file.fileName(), 100}}));
    SheetProbe onlyRefused({{config, 900, true}});
    ASSERT_TRUE(sheetReady(onlyRefused.sheet));
    EXPECT_EQ(onlyRefused.subtitle(), "This item can't be moved") << "no counts of nothing";
}

// A note wider than the name column wraps, inside one long folder name too, and its row holds every line
// (an elided note, or one that runs past the cell, is one line high).
TEST(ReviewSheet, ANoteWiderThanItsColumnWrapsEvenInsideOneLongNameAndItsRowHoldsEveryLine) {
    QTemporaryDir work(QDir::homePath() + "/sheet-XXXXXX");
    SheetProbe probe({{work.path(), 900, true, false, QString(240, 'x')}}); // no place to break
    ASSERT_TRUE(sheetReady(probe.sheet)); // the columns have their widths
    EXPECT_GE(probe.sheet->tableView()->rowHeight(0), 26 + 2 * QFontMetrics(ScreenStyle::font(11)).lineSpacing() - 4);
}

TEST(ReviewSheet, TheKeyboardNeverRestsOnARefusedRowAndSpaceNeverTicksOne) {
    QTemporaryDir work(QDir::homePath() + "/sheet-XXXXXX");
    const QString a = work.path() + "/a", b = work.path() + "/b";
    ASSERT_TRUE(QFile(a).open(QIODevice::WriteOnly) && QFile(b).open(QIODevice::WriteOnly));
    const QString config = QDir::homePath() + "/.config";
    // Rows by size: the two refused ones first, where the current row starts.
    SheetProbe probe({{a, 100, false, false}, {config, 900, true}, {"/usr/share", 800, true}, {b, 50, false, false}});
    QTableView* table = probe.sheet->tableView();
    ASSERT_TRUE(waitFor([&] { return probe.sheet->items()[0].refused && probe.sheet->items()[1].refused; }));
    const auto current = [table] { return table->currentIndex().row(); };
    EXPECT_EQ(current(), 2) << "the focus frame stayed on a refused row";
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int row;
    } keys[] = {{Qt::Key_Up, {}, 2}, {Qt::Key_Down, {}, 3}, {Qt::Key_Home, Qt::ControlModifier, 2},
                {Qt::Key_End, Qt::ControlModifier, 3}, {Qt::Key_PageUp, {}, 2}};
    for (const auto& press : keys) {
        QTest::keyClick(table, press.key, press.modifiers);
        EXPECT_EQ(current(), press.row) << "after key " << int(press.key);
    }
    table->selectAll();
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_FALSE(probe.sheet->items()[0].checked || probe.sheet->items()[1].checked);
    EXPECT_TRUE(probe.sheet->items()[2].checked && probe.sheet->items()[3].checked);

    SheetProbe refusedOnly({{config, 900, true}});
    ASSERT_TRUE(waitFor([&] { return refusedOnly.sheet->items()[0].refused; }));
    EXPECT_FALSE(refusedOnly.sheet->tableView()->currentIndex().isValid());
    QTest::keyClick(refusedOnly.sheet->tableView(), Qt::Key_Space);
    EXPECT_FALSE(refusedOnly.sheet->items()[0].checked);
}

TEST(DestructiveButton, KeepsItsLookForTheEnabledStateAcrossTitleChanges) {
    DestructiveButton button(QStringLiteral("Free 1 MB now"));
    const QColor red = DestructiveButton::destructiveColor();
    EXPECT_EQ(button.palette().color(QPalette::Button), red);
    button.setEnabled(false);
    EXPECT_NE(button.palette().color(QPalette::Button), red);
    button.setTitle(QStringLiteral("Free 2 MB now"));
    EXPECT_NE(button.palette().color(QPalette::Button), red);
    EXPECT_EQ(button.font().weight(), QFont::Normal);
    button.setEnabled(true);
    button.setTitle(QStringLiteral("Free 3 MB now"));
    EXPECT_EQ(button.palette().color(QPalette::Button), red);
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), QColor(Qt::white));
    EXPECT_EQ(button.font().weight(), QFont::Medium);
}

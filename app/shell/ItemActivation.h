// Opening an item of a list or outline, the one gesture for every view that acts on a row: a double
// click or Return (Enter) on the current row. Never the view's `activated` signal: on a desktop set to
// single-click activation it fires on every click, so selecting a row would already act on it.
#pragma once

#include <functional>

class QAbstractItemView;
class QModelIndex;

namespace ItemActivation {

// From now on a double click on a row of view, or Return or Enter on its current row, calls open with
// that row's index. Return and Enter are taken by view only when it has a current row.
void onOpen(QAbstractItemView* view, std::function<void(const QModelIndex&)> open);

} // namespace ItemActivation

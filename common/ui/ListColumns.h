#pragma once
// Report-style lists: short values (types, codes, states, times) take the width of their
// contents, and the name columns share what is left. No column then hides behind the scroll
// bar, and none takes half the list for a one-digit code.

#include <initializer_list>

class QTreeView;
class QTreeWidgetItem;

namespace zorva::ui {

void GiveWidthToNameColumns(QTreeView& list, std::initializer_list<int> nameColumns);

// Centres the text of each of the row's columns.
void CenterAllColumns(QTreeWidgetItem& row);

}  // namespace zorva::ui

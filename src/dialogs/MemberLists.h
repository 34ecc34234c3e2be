#pragma once
// What the group dialogs share about their member lists.
#include <vector>

class ListViewUIControl;

// The item data of every row, top to bottom.
std::vector<int> RowData(const ListViewUIControl& list);

// Shares the list's width out between its name and fax number columns, leaving room
// for a vertical scroll bar whether or not one shows, so a long list never gets a
// horizontal one as well.
void FitMemberColumns(ListViewUIControl& list);

#pragma once

#include "FunctionTree.h"

class QTreeWidget;

// The function picker of the menu, toolbar and group-bar editors: a catalogue
// tree in which the function bound to an entry is the selected node.

// Selects the first node, in display order, of function `id` and shows it;
// an empty or unknown `id` leaves no node selected.
void SelectPickerFunction(QTreeWidget* picker, const QString& id);
// The record of the selected node; an empty one when none is selected.
TFunc PickedFunction(const QTreeWidget* picker);

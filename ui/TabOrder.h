#pragma once

#include <QList>

class QButtonGroup;
class QWidget;

// Puts the window's controls that Tab stops at into screen order: rows from top to bottom,
// left to right within a row. Controls whose tops lie within half the height of a row's
// first control share its row (a button a pixel higher than the field beside it still comes
// after it). Only the window's direct children are ordered; the order is returned.
QList<QWidget*> orderTabsByScreen(QWidget* window);

// Of a group of exclusive buttons only the checked one is a Tab stop; the arrow keys choose
// among them. (Once one of them has had the focus, Qt keeps it so; this sets the start.) Call
// it after the order is set.
void tabStopOnChecked(QButtonGroup* group);

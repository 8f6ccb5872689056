#include "ui/TabOrder.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QWidget>
#include <algorithm>

QList<QWidget*> orderTabsByScreen(QWidget* window) {
    QList<QWidget*> stops;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && !child->isHidden() && (child->focusPolicy() & Qt::TabFocus))
            stops << child;
    }
    std::stable_sort(stops.begin(), stops.end(), [](const QWidget* a, const QWidget* b) {
        return a->geometry().top() < b->geometry().top();
    });
    QList<QWidget*> ordered;
    for (qsizetype first = 0; first < stops.size();) {
        const QRect leader = stops[first]->geometry();
        qsizetype end = first + 1;
        while (end < stops.size() &&
               stops[end]->geometry().top() <= leader.top() + leader.height() / 2)
            ++end;
        QList<QWidget*> row = stops.mid(first, end - first);
        std::stable_sort(row.begin(), row.end(), [](const QWidget* a, const QWidget* b) {
            return a->geometry().left() < b->geometry().left();
        });
        ordered << row;
        first = end;
    }
    for (qsizetype i = 1; i < ordered.size(); ++i)
        QWidget::setTabOrder(ordered[i - 1], ordered[i]);
    return ordered;
}

void tabStopOnChecked(QButtonGroup* group) {
    for (QAbstractButton* button : group->buttons()) {
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(button->isChecked() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                   : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

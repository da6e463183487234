// A window as a keyboard user and a screen reader meet it: the widgets the Tab key
// visits, and the controls without a name to speak.
#pragma once

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace t720::test {

// The focus from `first` on, one Tab at a time, until it comes round again.
inline std::vector<QWidget*> TabOrder(QWidget* first) {
    std::vector<QWidget*> order;
    first->setFocus();
    for (QWidget* w = QApplication::focusWidget();
         w && std::find(order.begin(), order.end(), w) == order.end();
         w = QApplication::focusWidget()) {
        order.push_back(w);
        QTest::keyClick(w, Qt::Key_Tab);
    }
    return order;
}

// Class names of the shown controls (what takes the focus) that have no name.
inline std::vector<QString> Unnamed(const QWidget& window) {
    std::vector<QString> unnamed;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus)) continue;
        const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
            unnamed.push_back(QString::fromLatin1(w->metaObject()->className()));
    }
    return unnamed;
}

}  // namespace t720::test

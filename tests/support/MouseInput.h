#pragma once
// Mouse input as the window system delivers it.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace qv::test {

// A double click: press, release, then the double-click event and its
// release.
inline void DoubleClick(QWidget* w, QPoint pos)
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, pos);
    const QPointF local(pos);
    const QPointF global(w->mapToGlobal(pos));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &dbl);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, pos);
}

} // namespace qv::test

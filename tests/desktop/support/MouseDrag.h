#pragma once
// A left-button (or other) drag through the given points, as the window
// system delivers it: one press, one move per further point, one release.

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <vector>

namespace velto::test {

inline void drag(QWidget* on, const std::vector<QPoint>& points, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(on, button, Qt::NoModifier, points.front());
    for (size_t i = 1; i < points.size(); ++i) {
        QMouseEvent move(QEvent::MouseMove, points[i], on->mapToGlobal(points[i]), Qt::NoButton, button,
                         Qt::NoModifier);
        QApplication::sendEvent(on, &move);
    }
    QTest::mouseRelease(on, button, Qt::NoModifier, points.back());
}

}  // namespace velto::test

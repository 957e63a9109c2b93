#include "widgets/NotifyStatic.h"

#include <utility>

#include <QMouseEvent>

void CNotifyStatic::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_bPressed = true;
    }
}

void CNotifyStatic::mouseDoubleClickEvent(QMouseEvent*) {
    // The press that makes a click a double click starts no click of its own (the base class
    // would take it as a press).
}

void CNotifyStatic::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && std::exchange(m_bPressed, false) &&
        rect().contains(event->position().toPoint())) {
        OnClicked();
    }
}

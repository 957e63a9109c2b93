#pragma once

#include <QLabel>

// A static text that tells of clicks on it: a left button pressed and released over the
// text is one click. The second press of a double click, and its release, are none, so a
// double click is one click too.
class CNotifyStatic : public QLabel {
public:
    using QLabel::QLabel;

    virtual void OnClicked() = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Between a press of the left button on the text and its release.
    bool m_bPressed = false;
};

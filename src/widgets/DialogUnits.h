#pragma once

#include <QRect>

class QFont;

// Dialog units of a font, in which dialog templates give their rectangles: a horizontal
// unit is a quarter of the font's average letter width, a vertical unit an eighth of its
// line height. Converting with the font the dialog shows keeps its controls in proportion
// to their texts whatever font the system substitutes.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    // The rectangle in pixels, each edge rounded to the nearest pixel.
    QRect MapDialogRect(int x, int y, int nWidth, int nHeight) const;

    int BaseWidth() const { return m_nBaseWidth; }
    int BaseHeight() const { return m_nBaseHeight; }

private:
    int m_nBaseWidth;
    int m_nBaseHeight;
};

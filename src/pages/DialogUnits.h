#pragma once

#include <QRect>

// A rectangle of a page's template, given in dialog units of the pages' 8 point Verdana, in
// pixels: a horizontal unit is a quarter of the font's mean character width (7 pixels), a
// vertical unit an eighth of its height (13 pixels).
constexpr QRect DialogUnitsToPixels(int x, int y, int nWidth, int nHeight) {
    return {x * 7 / 4, y * 13 / 8, nWidth * 7 / 4, nHeight * 13 / 8};
}

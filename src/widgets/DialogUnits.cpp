#include "widgets/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>

namespace {

// n * nNumerator / nDenominator, rounded half away from zero.
int MulDiv(int n, int nNumerator, int nDenominator) {
    const long long nProduct = static_cast<long long>(n) * nNumerator;
    const long long nHalf = nDenominator / 2;
    return static_cast<int>(nProduct >= 0 ? (nProduct + nHalf) / nDenominator
                                          : (nProduct - nHalf) / nDenominator);
}

}  // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width of the 52 Latin letters, rounded to the nearest pixel.
    const int nLetters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseWidth = (nLetters / 26 + 1) / 2;
    m_nBaseHeight = metrics.height();
}

QRect CDialogUnits::MapDialogRect(int x, int y, int nWidth, int nHeight) const {
    const int nLeft = MulDiv(x, m_nBaseWidth, 4);
    const int nTop = MulDiv(y, m_nBaseHeight, 8);
    const int nRight = MulDiv(x + nWidth, m_nBaseWidth, 4);
    const int nBottom = MulDiv(y + nHeight, m_nBaseHeight, 8);
    return {nLeft, nTop, nRight - nLeft, nBottom - nTop};
}

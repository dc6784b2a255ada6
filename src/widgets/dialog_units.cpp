#include "widgets/dialog_units.h"

#include <QFontMetrics>

namespace quillstamper {

DialogUnits::DialogUnits(const QFont& font) : m_baseWidth(1), m_baseHeight(1) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average over both cases, rounded, as dialog templates expect.
    m_baseWidth = std::max(1, (alphabet / 26 + 1) / 2);
    m_baseHeight = std::max(1, metrics.height());
}

DialogUnits::DialogUnits(int baseWidth, int baseHeight)
    : m_baseWidth(baseWidth), m_baseHeight(baseHeight) {}

int DialogUnits::ToPixelsX(int units) const {
    return (units * m_baseWidth + 2) / 4;
}

int DialogUnits::ToPixelsY(int units) const {
    return (units * m_baseHeight + 4) / 8;
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return QRect(left, top, ToPixelsX(x + width) - left, ToPixelsY(y + height) - top);
}

} // namespace quillstamper

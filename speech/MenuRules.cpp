#include "speech/MenuRules.h"

#include <algorithm>

#include "speech/SpeechRoutines.h"

namespace sor::menu {

int divRoundHalfEven(long long num, long long den)
{
    long long q = num / den;
    long long r = num % den;
    if (r < 0) {  // floor division, so that the remainder is 0 .. den-1
        q -= 1;
        r += den;
    }
    if (2 * r > den || (2 * r == den && (q % 2 != 0)))
        q += 1;
    return int(q);
}

namespace {

int lightenValue(int v, int percent)
{
    // v + percent/100 × (255 − v), in hundredths so that halves are exact.
    return divRoundHalfEven(100LL * v + 1LL * percent * (255 - v), 100);
}

}  // namespace

Rgb lighten(Rgb c, int percent)
{
    return {lightenValue(c.r, percent), lightenValue(c.g, percent), lightenValue(c.b, percent)};
}

Rgb darken(Rgb c, int amount)
{
    return {std::max(0, c.r - amount), std::max(0, c.g - amount), std::max(0, c.b - amount)};
}

int storedMinHeight(int value)
{
    return std::max(20, value);
}

void measureItem(const ItemFacts& item, int minWidth, int minHeight, int& width, int& height)
{
    if (item.barItem) {
        width = item.captionWidth;
        return;
    }
    if (!item.hasImageList) {
        height = std::max(item.textHeightW + 4, minHeight);
        width = std::max(minWidth, item.captionShortcutWidth + height + 15);
        if (item.separator)
            height = height <= 20 ? 5 : 11;
        return;
    }
    if (item.separator) {
        height = std::max(minHeight, item.imageHeight) <= 20 ? 5 : 11;
        return;
    }
    height = std::max(minHeight, std::max(item.textHeightW, item.imageHeight) + 4);
    const int g = item.imageWidth < height ? height : item.imageWidth + 5;
    width = std::max(minWidth, item.captionShortcutWidth + g + 15);
}

int gutterWidth(const ItemFacts& item, int rectHeight, int minHeight)
{
    int g = 0;
    if (item.hasImageList) {
        g = std::max(item.imageWidth + 4, rectHeight);
        if (item.separator)
            g = std::max(g, item.textHeightW + 4);
    } else {
        g = item.separator ? item.textHeightW + 4 : rectHeight;
    }
    return std::max(g, minHeight) + 1;
}

QString checkMarkPattern()
{
    return QStringLiteral(
        "000000000000-000000000000-000000000000-000000001000-000000011000-001000111000-"
        "001101110000-001111100000-000111000000-000010000000-000000000000-000000000000");
}

QList<QPair<int, int>> checkMarkPixels()
{
    QList<QPair<int, int>> pixels;
    int column = 0;
    int row = 0;
    for (const QChar c : checkMarkPattern()) {
        if (c == QLatin1Char('-')) {
            ++row;
            column = 0;
            continue;
        }
        if (c == QLatin1Char('1'))
            pixels.append({column, row});
        ++column;
    }
    return pixels;
}

void MenuSpeechCounter::selectedDrawing(bool barItem, const QString& phrase)
{
    // Stop-first, which silences the item before: no separate stop is needed.
    // The menu voices itself to a screen reader.
    sayPhrase(phrase, true, Phrase::Shown);
    value_ = barItem ? 2 : 0;
}

}  // namespace sor::menu

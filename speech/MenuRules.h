#pragma once
// The rules of the speaking menus that do not draw: the colour arithmetic, the
// item sizes and the gutter, the check-mark pattern and the speech counter.
// The drawer (TRyMenu, speech/RyMenus.h) feeds them what it measured with the
// menu font and paints what they decide; tests call them directly.

#include <QString>
#include <QList>
#include <QPair>

namespace sor::menu {

// Red, green and blue, 0 to 255 each.
struct Rgb
{
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// num / den rounded to the nearest integer, halves to the even neighbour (den > 0).
int divRoundHalfEven(long long num, long long den);

// Each value v becomes round(v + percent / 100 × (255 − v)), halves to even.
Rgb lighten(Rgb c, int percent);
// Each value v becomes the greater of 0 and v − amount.
Rgb darken(Rgb c, int amount);

// The least height (and least gutter width) a menu keeps: never below 20.
int storedMinHeight(int value);

// What the sizes of one item depend on, measured with the menu font.
struct ItemFacts
{
    bool barItem = false;       // stands directly on a menu bar
    bool separator = false;
    bool hasImageList = false;  // its menu gives it pictures
    int imageWidth = 0;         // of the image list
    int imageHeight = 0;
    int captionWidth = 0;       // text width of the caption alone
    int captionShortcutWidth = 0;  // text width of caption + shortcut text, joined
    int textHeightW = 0;        // text height of "W"
};

// The measuring rules. width and height come in as the platform's own values
// and go out as the item's size.
void measureItem(const ItemFacts& item, int minWidth, int minHeight, int& width, int& height);

// The gutter (the strip for check marks and pictures) of a drop-down item
// drawn in a rectangle rectHeight high.
int gutterWidth(const ItemFacts& item, int rectHeight, int minHeight);

// The check mark, 12 × 12: the pattern it is built from, and the black pixels
// as (column, row) pairs, read from the pattern from its first character at
// column 0, row 0: "-" goes to the next row at column 0, any other character
// one column on, a "1" marking the pixel first. The rest is a white background
// drawn transparent.
constexpr int kCheckMarkSize = 12;
QString checkMarkPattern();
QList<QPair<int, int>> checkMarkPixels();

// Who speaks a highlighted item. One counter is shared by every menu of the
// program and lives for the whole run; it starts at 2.
//
// Every selected drawing of an item is spoken, stop-first, so that each item
// the highlight moves to is heard once (and again when the highlighted item
// is painted anew), and that cuts off the speech in progress. The counter
// only tells where the highlight was last drawn: 2 after a bar item, 0 after a
// drop-down item.
// (Menus that paint the first item of an opening drop-down twice would need a
// silent step here; Qt paints it once, so none is taken: it would silence the
// item the highlight moves to next.)
class MenuSpeechCounter
{
public:
    static constexpr int kAtStart = 2;

    // A selected drawing of an item: speaks `phrase` stop-first (SpeechOut),
    // then notes whether it was a bar item.
    void selectedDrawing(bool barItem, const QString& phrase);

    int value() const { return value_; }
    void reset(int value = kAtStart) { value_ = value; }

private:
    int value_ = kAtStart;
};

}  // namespace sor::menu

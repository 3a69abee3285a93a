#pragma once
// The speaking menus: TRyMenu measures and paints every item of the menus
// handed to it, in a flat style with a coloured gutter for check marks and
// pictures, and speaks the item under the highlight with its shortcut and its
// state, so that a blind player hears where the highlight is while walking the
// menus with the keyboard (or the mouse).
//
// One shared instance serves the whole program. The main window hands it its
// menu bar once, after every menu and item is in place:
//
//     // TfrMain's constructor, after MainMenu1 (a QMenuBar) is built:
//     RyMenu()->Add(MainMenu1);
//
// Add(menu bar) hooks every item below the bar at every depth and switches the
// bar and each of its menus to owner drawing: they get a style of this drawer,
// which measures items through MeasureItem and paints them through
// AdvancedDrawItem. Items added later are not hooked and keep the plain look.
// It also gives the bar what a desktop main menu has: F10 or a lone Alt press
// puts the bar into keyboard mode (the first item highlighted) and takes it
// out again (also from an open menu), the arrows walk the bar and its menus,
// and disabled items can be highlighted (and are spoken) too.
//
// What is spoken for a highlighted item: caption + " " + shortcut text + state
// text, stop-first, where the shortcut text is "Shift+", "Ctrl+", "Alt+" in
// this order and the key ("Ctrl+Alt+S", "F1") and the state text " выключено. "
// for a disabled item or " отмечено. " for a checked one. Each item the
// highlight moves to is spoken once, as it is drawn selected (see
// sor::menu::MenuSpeechCounter, RyMenuSpeechCounter()); the repaints Qt makes
// of the same highlighted item (at every move of the mouse within it) say
// nothing more until the highlight has left it or its menu has closed.
//
// A selected drawing that Qt leaves out is not spoken either: an item passed
// over faster than the menu paints (keys sent in one burst) gets no drawing.
//
// In Qt terms an item is "drawn selected" when the platform paints it
// highlighted: a drop-down item that is the menu's active action; a bar item
// whose drop-down is open or that the keyboard highlights (the bar has the
// focus). A bar item under the mouse alone is "hot": painted in the selected
// colour but not spoken. The bar item's repaint as its drop-down opens (it only
// changes its look to "pushed") is not a new highlight and says nothing.

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QRect>

#include "speech/MenuRules.h"

class QAction;
class QMenu;
class QMenuBar;
class QPainter;
class QWidget;

namespace sor {

// A colour as the menus keep it: red, green and blue, or one of the system's
// colours, which follows the desktop's palette. A system colour is turned into
// its current red, green and blue values (ColorToRGB) before any arithmetic.
class TColor
{
public:
    TColor() = default;
    TColor(const QColor& rgb) : rgb_(rgb.toRgb()) {}  // NOLINT: colours convert freely
    static TColor system(QPalette::ColorRole role);

    bool isSystem() const { return system_; }
    QPalette::ColorRole role() const { return role_; }
    QColor rgb() const;  // the value now: a system colour from the application's palette

    friend bool operator==(const TColor& a, const TColor& b)
    {
        return a.system_ == b.system_ && (a.system_ ? a.role_ == b.role_ : a.rgb_ == b.rgb_);
    }

private:
    bool system_ = false;
    QPalette::ColorRole role_ = QPalette::NoRole;
    QColor rgb_ = Qt::black;
};

// The system colours the menus use.
TColor clBtnFace();     // the face of buttons and menus
TColor clBtnShadow();   // the shadow side of buttons
TColor clHighlight();   // the selection

QColor ColorToRGB(const TColor& c);
menu::Rgb toRgb(const QColor& c);
QColor toColor(menu::Rgb c);

// The pictures a menu gives its items: one row of equal-sized images; an item
// shows the one its image index names. Set on a menu bar or a menu; an item
// takes the list of the nearest menu above it that has one.
class TImageList : public QObject
{
    Q_OBJECT

public:
    TImageList(int width, int height, QObject* parent = nullptr);
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return int(images_.size()); }
    int Add(const QImage& image);  // scaled to the list's size; returns its index
    QImage image(int index) const;

private:
    int width_;
    int height_;
    QList<QImage> images_;
};

void SetMenuImages(QWidget* menuOrBar, TImageList* images);
TImageList* ItemImageList(const QAction* item);  // null: the item's menu has none
void SetImageIndex(QAction* item, int index);
int ImageIndex(const QAction* item);  // -1 when none

// The owner-draw state of an item.
enum TOwnerDrawStateBit {
    odSelected = 0x1,
    odGrayed = 0x2,
    odDisabled = 0x4,
    odChecked = 0x8,
    odFocused = 0x10,
    odDefault = 0x20,
    odHotLight = 0x40,
};
Q_DECLARE_FLAGS(TOwnerDrawState, TOwnerDrawStateBit)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOwnerDrawState)

class RyMenuStyle;

class TRyMenu : public QObject
{
    Q_OBJECT

public:
    // The owner is nominal: the drawer does not become its child and lives
    // until it is destroyed explicitly.
    explicit TRyMenu(QObject* AOwner = nullptr);
    ~TRyMenu() override;

    // A menu bar: hooks every item below it at every depth, then switches the
    // bar and its menus to owner drawing. A pop-up menu: the same for the menu
    // and its submenus (all its items are drop-down items). An item: hooks the
    // item and every item below it. Null does nothing.
    void Add(QMenuBar* Menu);
    void Add(QMenu* Menu);
    void Add(QAction* Item);
    bool IsHooked(const QAction* item) const;

    // The measuring handler: the size of the item, with Width and Height
    // coming in as the platform's own values.
    void MeasureItem(QAction* Sender, int& Width, int& Height);
    // The drawing handler: speaks the item when it is drawn selected, then
    // paints it into ARect.
    void AdvancedDrawItem(QAction* Sender, QPainter* ACanvas, const QRect& ARect, TOwnerDrawState State);
    // The gutter width of the item drawn in the rectangle.
    int GutterWidth(QAction* item, const QRect& rect) const;

    TColor MenuColor() const { return FMenuColor; }
    void SetMenuColor(const TColor& value) { FMenuColor = value; }
    TColor GutterColor() const { return FGutterColor; }
    void SetGutterColor(const TColor& value) { FGutterColor = value; }
    TColor SelectedColor() const { return FSelectedColor; }
    void SetSelectedColor(const TColor& value);  // also the check-mark frame: lightened by 75 %
    TColor SelLightColor() const { return FSelLightColor; }
    QFont Font() const { return FFont; }
    void SetFont(const QFont& value) { FFont = value; }
    int MinHeight() const { return FMinHeight; }
    void SetMinHeight(int value) { FMinHeight = menu::storedMinHeight(value); }
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int value) { FMinWidth = value; }

private:
    friend class RyMenuStyle;

    void hook(QAction* item);
    void ownerDraw(QWidget* menu);
    menu::ItemFacts facts(const QAction* item) const;
    void paintItem(QAction* item, QPainter* canvas, const QRect& rect, TOwnerDrawState state);

    QFont FFont;
    TColor FGutterColor;
    TColor FMenuColor;
    TColor FSelectedColor;
    TColor FSelLightColor;
    int FMinWidth = 0;
    int FMinHeight = 20;

    RyMenuStyle* style_ = nullptr;
    QList<QPointer<QWidget>> drawn_;  // the bars and menus switched to owner drawing
};

// Whether the item stands directly on a menu bar (a bar item) rather than in
// a drop-down or pop-up menu.
bool IsBarItem(const QAction* item);

}  // namespace sor

// The program's shared drawer, created on first use (after the application
// object) with the defaults; never destroyed.
sor::TRyMenu* RyMenu();

// The speech counter shared by every menu of the program (2 at start).
sor::menu::MenuSpeechCounter& RyMenuSpeechCounter();

// The 12 × 12 check mark: black on a transparent background.
const QImage& RyCheckMark();

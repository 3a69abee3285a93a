#include "speech/RyMenus.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QSet>
#include <QShortcut>
#include <QStyleOption>

#include "speech/Announce.h"

namespace sor {
namespace {

const char kHookedBy[] = "sorRyMenu";         // the drawer an item is hooked to
const char kImages[] = "sorRyImages";         // the image list of a menu or bar
const char kImageIndex[] = "sorRyImageIndex"; // an item's image
const char kBarLook[] = "sorRyBarLook";       // how a bar item was last drawn
const char kF10[] = "sorRyMenuF10";           // what makes F10 work on a bar or menu
const char kSpokenItem[] = "sorRySpokenItem"; // the drop-down item last said as highlighted

// Room the platform leaves around an owner-measured bar item, as desktop menu
// bars do, so that the highlight does not hug the caption.
constexpr int kBarItemPadding = 6;

// How a bar item was last drawn, to tell a new highlight from a change of look.
enum BarLook { LookPlain = 0, LookHot = 1, LookSelected = 2, LookPushed = 3 };

// The menus and bars an item stands in.
QList<QWidget*> containersOf(const QAction* item)
{
    QList<QWidget*> list;
    for (QObject* o : item->associatedObjects())
        if (qobject_cast<QMenu*>(o) || qobject_cast<QMenuBar*>(o))
            list.append(static_cast<QWidget*>(o));
    return list;
}

TImageList* ownImages(const QWidget* w)
{
    return qobject_cast<TImageList*>(w->property(kImages).value<QObject*>());
}

// The image list of the nearest menu above the item that has one.
TImageList* imagesAbove(const QAction* item, int depth)
{
    if (depth > 16)
        return nullptr;  // menus can be linked in a ring; a real tree is never this deep
    const QList<QWidget*> containers = containersOf(item);
    for (QWidget* w : containers)
        if (TImageList* images = ownImages(w))
            return images;
    for (QWidget* w : containers)
        if (auto* m = qobject_cast<QMenu*>(w))
            if (TImageList* images = imagesAbove(m->menuAction(), depth + 1))
                return images;
    return nullptr;
}

// Whether the menu is reached from a menu bar (not a context menu).
bool reachedFromBar(const QMenu* menu, int depth = 0)
{
    if (depth > 16)
        return false;
    for (QWidget* w : containersOf(menu->menuAction())) {
        if (qobject_cast<QMenuBar*>(w))
            return true;
        if (auto* m = qobject_cast<QMenu*>(w); m && reachedFromBar(m, depth + 1))
            return true;
    }
    return false;
}

// The caption as the rules see it: a separator's is "-".
QString captionOf(const QAction* item)
{
    return item->isSeparator() ? QStringLiteral("-") : item->text();
}

bool isDefaultItem(const QAction* item)
{
    for (QWidget* w : containersOf(item))
        if (auto* m = qobject_cast<QMenu*>(w); m && m->defaultAction() == item)
            return true;
    return false;
}

// The item a size request is about: the style is asked with a copy of the
// item's look, not the item, so it is found among the menu's items by what
// the copy shows (items that look alike measure alike).
QAction* measuredItem(const QStyleOptionMenuItem* opt, const QWidget* widget)
{
    if (!widget)
        return nullptr;
    const bool separator = opt->menuItemType == QStyleOptionMenuItem::Separator;
    const QString caption = opt->text.section(QLatin1Char('\t'), 0, 0);
    const QString keys = opt->text.section(QLatin1Char('\t'), 1);
    QAction* found = nullptr;
    for (QAction* a : widget->actions()) {
        if (!a->isVisible() || a->isSeparator() != separator)
            continue;
        if (!separator && a->text().section(QLatin1Char('\t'), 0, 0) != caption)
            continue;
        if (!keys.isEmpty() && !a->text().contains(QLatin1Char('\t')) &&
            a->shortcut().toString(QKeySequence::NativeText) != keys)
            continue;
        found = a;
        break;
    }
    return found;
}

// The shortcut column a drop-down menu adds on its own to the widest item.
// The drawer's measured widths already hold the shortcut text, so the column
// is taken off again and the menu is as wide as its widest measured item.
int shortcutColumn(const QMenu* menu)
{
    const QFontMetrics qfm = menu->fontMetrics();
    const bool contextMenu = !reachedFromBar(menu);
    int width = 0;
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        const QString s = a->text();
        const qsizetype tab = s.indexOf(QLatin1Char('\t'));
        if (tab != -1)
            width = qMax(width, qfm.horizontalAdvance(s.mid(tab + 1)));
        else if ((a->isShortcutVisibleInContextMenu() || !contextMenu) && !a->shortcut().isEmpty())
            width = qMax(width, qfm.horizontalAdvance(a->shortcut().toString(QKeySequence::NativeText)));
    }
    return width;
}

// Gives the bar the lone Alt press (down and up) the platform would, after the
// key being handled now: in and out of keyboard mode.
void toggleKeyboardMode(QMenuBar* bar)
{
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != bar->window())
        target = bar->window();
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier));
}

// F10 in an open drop-down does what a lone Alt does there: leaves the menus.
class F10InMenu : public QObject
{
public:
    explicit F10InMenu(QMenu* menu) : QObject(menu)
    {
        setObjectName(QLatin1String(kF10));
        menu->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F10 &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            QKeyEvent alt(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
            QCoreApplication::sendEvent(watched, &alt);
            return true;
        }
        return false;
    }
};

QImage silhouette(const QImage& image, const QColor& colour)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb paint = colour.rgb();
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const bool transparent = qAlpha(p) == 0;
            const bool white = (p & 0xFFFFFF) == 0xFFFFFF;
            line[x] = (transparent || white) ? qRgba(0, 0, 0, 0) : paint;
        }
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------- colours

TColor TColor::system(QPalette::ColorRole role)
{
    TColor c;
    c.system_ = true;
    c.role_ = role;
    return c;
}

QColor TColor::rgb() const
{
    if (!system_)
        return rgb_;
    return QGuiApplication::palette().color(QPalette::Active, role_).toRgb();
}

TColor clBtnFace()
{
    return TColor::system(QPalette::Button);
}

TColor clBtnShadow()
{
    return TColor::system(QPalette::Dark);
}

TColor clHighlight()
{
    return TColor::system(QPalette::Highlight);
}

QColor ColorToRGB(const TColor& c)
{
    return c.rgb();
}

menu::Rgb toRgb(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return {rgb.red(), rgb.green(), rgb.blue()};
}

QColor toColor(menu::Rgb c)
{
    return QColor(c.r, c.g, c.b);
}

namespace {

QColor lightened(const TColor& c, int percent)
{
    return toColor(menu::lighten(toRgb(ColorToRGB(c)), percent));
}

QColor darkened(const TColor& c, int amount)
{
    return toColor(menu::darken(toRgb(ColorToRGB(c)), amount));
}

}  // namespace

// ---------------------------------------------------------------- pictures

TImageList::TImageList(int width, int height, QObject* parent) : QObject(parent), width_(width), height_(height) {}

int TImageList::Add(const QImage& image)
{
    images_.append(image.size() == QSize(width_, height_)
                       ? image.convertToFormat(QImage::Format_ARGB32)
                       : image.scaled(width_, height_).convertToFormat(QImage::Format_ARGB32));
    return int(images_.size()) - 1;
}

QImage TImageList::image(int index) const
{
    return index >= 0 && index < images_.size() ? images_.at(index) : QImage();
}

void SetMenuImages(QWidget* menuOrBar, TImageList* images)
{
    if (!menuOrBar)
        return;
    menuOrBar->setProperty(kImages, QVariant::fromValue<QObject*>(images));
    if (images) {
        // A list that goes away is no longer the menu's.
        QObject::connect(images, &QObject::destroyed, menuOrBar, [menuOrBar, images] {
            if (menuOrBar->property(kImages).value<QObject*>() == images)
                menuOrBar->setProperty(kImages, QVariant());
        });
    }
}

TImageList* ItemImageList(const QAction* item)
{
    return item ? imagesAbove(item, 0) : nullptr;
}

void SetImageIndex(QAction* item, int index)
{
    if (item)
        item->setProperty(kImageIndex, index);
}

int ImageIndex(const QAction* item)
{
    const QVariant v = item ? item->property(kImageIndex) : QVariant();
    return v.isValid() ? v.toInt() : -1;
}

bool IsBarItem(const QAction* item)
{
    for (QWidget* w : containersOf(item))
        if (qobject_cast<QMenuBar*>(w))
            return true;
    return false;
}

// ---------------------------------------------------------------- the style

// Owner drawing as Qt has it: the bar and menus handed to the drawer use this
// style, which asks the drawer for the size of each hooked item and lets it
// paint the item; everything else is the application's own style.
class RyMenuStyle : public QProxyStyle
{
public:
    explicit RyMenuStyle(TRyMenu* owner) : owner_(owner) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        switch (hint) {
        case SH_MenuBar_AltKeyNavigation:   // a lone Alt opens the bar to the keyboard
        case SH_Menu_AllowActiveAndDisabled:  // disabled items are walked and spoken too
        case SH_MenuBar_MouseTracking:
        case SH_Menu_MouseTracking:
            return 1;
        case SH_Menu_FlashTriggeredItem:  // a flash would be heard as the item again
        case SH_Menu_FadeOutOnHide:
            return 0;
        default:
            return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_MenuPanelWidth:
            return 1;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
        case PM_MenuBarItemSpacing:
        case PM_MenuBarPanelWidth:
        case PM_MenuBarHMargin:
        case PM_MenuBarVMargin:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        const QSize platform = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type != CT_MenuItem && type != CT_MenuBarItem)
            return platform;
        const auto* opt = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        QAction* item = opt ? measuredItem(opt, widget) : nullptr;
        if (!item || !owner_->IsHooked(item))
            return platform;
        int width = platform.width();
        int height = platform.height();
        owner_->MeasureItem(item, width, height);
        if (type == CT_MenuBarItem)
            return QSize(width + 2 * kBarItemPadding, height);
        if (auto* menu = qobject_cast<const QMenu*>(widget))
            width = qMax(1, width - shortcutColumn(menu));
        return QSize(width, height);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_MenuItem) {
            if (auto* menu = qobject_cast<const QMenu*>(widget)) {
                QAction* item = menu->actionAt(option->rect.center());
                if (item && owner_->IsHooked(item)) {
                    drawMenuItem(item, option, painter, menu);
                    return;
                }
            }
        } else if (element == CE_MenuBarItem) {
            if (auto* bar = qobject_cast<const QMenuBar*>(widget)) {
                QAction* item = bar->actionAt(option->rect.center());
                if (item && owner_->IsHooked(item)) {
                    drawBarItem(item, option, painter, bar);
                    return;
                }
            }
        } else if (element == CE_MenuBarEmptyArea) {
            painter->fillRect(option->rect, ColorToRGB(clBtnFace()));
            return;
        } else if (element == CE_MenuEmptyArea) {
            painter->fillRect(option->rect, ColorToRGB(owner_->FMenuColor));
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        switch (element) {
        case PE_PanelMenuBar:
            painter->fillRect(option->rect, ColorToRGB(clBtnFace()));
            return;
        case PE_PanelMenu:
            painter->fillRect(option->rect, ColorToRGB(owner_->FMenuColor));
            return;
        case PE_FrameMenu:
            painter->save();
            painter->setPen(ColorToRGB(clBtnShadow()));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            painter->restore();
            return;
        default:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
        }
    }

private:
    static TOwnerDrawState commonState(QAction* item, const QStyleOption* option)
    {
        TOwnerDrawState state;
        if (!item->isEnabled() || !(option->state & State_Enabled))
            state |= odDisabled | odGrayed;
        if (item->isChecked())
            state |= odChecked;
        if (isDefaultItem(item))
            state |= odDefault;
        return state;
    }

    void drawMenuItem(QAction* item, const QStyleOption* option, QPainter* painter, const QMenu* menu) const
    {
        TOwnerDrawState state = commonState(item, option);
        const bool selected = option->state & State_Selected;
        if (selected)
            state |= odSelected;
        // Qt paints the highlighted item again at every move of the mouse
        // within it: said once, until the highlight has left it (it is then
        // drawn plain) or the menu has closed.
        auto* spoken = static_cast<QObject*>(menu->property(kSpokenItem).value<QObject*>());
        bool speak = false;
        if (selected && spoken != item) {
            speak = true;
            const_cast<QMenu*>(menu)->setProperty(kSpokenItem, QVariant::fromValue<QObject*>(item));
        } else if (!selected && spoken == item) {
            const_cast<QMenu*>(menu)->setProperty(kSpokenItem, QVariant());
        }
        // The drawer works in the menu's client area, inside its frame, where
        // the items start at the left edge.
        const int inset = pixelMetric(PM_MenuPanelWidth, option, menu) + pixelMetric(PM_MenuHMargin, option, menu);
        const int top = pixelMetric(PM_MenuPanelWidth, option, menu) + pixelMetric(PM_MenuVMargin, option, menu);
        painter->save();
        painter->translate(inset, top);
        if (speak)
            owner_->AdvancedDrawItem(item, painter, option->rect.translated(-inset, -top), state);
        else
            owner_->paintItem(item, painter, option->rect.translated(-inset, -top), state);
        painter->restore();
        if (item->menu()) {
            // The platform marks an item that opens a submenu, over the owner's drawing.
            QStyleOption arrow(*option);
            const int size = option->rect.height() / 2;
            arrow.rect = QRect(option->rect.right() - size - 2, option->rect.top() + (option->rect.height() - size) / 2,
                               size, size);
            arrow.palette.setColor(QPalette::ButtonText, item->isEnabled() ? Qt::black : QColor(128, 128, 128));
            arrow.palette.setColor(QPalette::WindowText, item->isEnabled() ? Qt::black : QColor(128, 128, 128));
            QProxyStyle::drawPrimitive(PE_IndicatorArrowRight, &arrow, painter, menu);
        }
    }

    void drawBarItem(QAction* item, const QStyleOption* option, QPainter* painter, const QMenuBar* bar) const
    {
        TOwnerDrawState state = commonState(item, option);
        const bool highlighted = option->state & State_Selected;
        const bool pushed = highlighted && (option->state & State_Sunken);
        // Highlighted with its drop-down open or by the keyboard: selected.
        // Under the mouse only: hot.
        const bool selected = highlighted && (pushed || bar->hasFocus());
        BarLook look = LookPlain;
        if (selected) {
            state |= odSelected;
            look = pushed ? LookPushed : LookSelected;
        } else if (highlighted) {
            state |= odHotLight;
            look = LookHot;
        }
        const int before = item->property(kBarLook).toInt();
        item->setProperty(kBarLook, int(look));
        // Opening its drop-down only changes the item's look: not a new highlight.
        const bool speak = !(before == LookSelected && look == LookPushed);
        if (speak)
            owner_->AdvancedDrawItem(item, painter, option->rect, state);
        else
            owner_->paintItem(item, painter, option->rect, state);
    }

    TRyMenu* owner_;
};

// ---------------------------------------------------------------- the drawer

TRyMenu::TRyMenu(QObject* /*AOwner*/)
{
    FFont = QApplication::font("QMenu");
    FGutterColor = clBtnFace();
    FMenuColor = lightened(clBtnFace(), 85);
    FSelectedColor = lightened(clHighlight(), 65);
    FSelLightColor = lightened(clHighlight(), 75);
    style_ = new RyMenuStyle(this);
    style_->setParent(this);
}

TRyMenu::~TRyMenu()
{
    // The bars and menus still alive go back to the plain look before the
    // style they use goes away.
    for (const QPointer<QWidget>& w : std::as_const(drawn_))
        if (w && w->style() == style_)
            w->setStyle(nullptr);
}

void TRyMenu::SetSelectedColor(const TColor& value)
{
    FSelectedColor = value;
    FSelLightColor = lightened(value, 75);
}

void TRyMenu::hook(QAction* item)
{
    item->setProperty(kHookedBy, QVariant::fromValue<QObject*>(this));
}

bool TRyMenu::IsHooked(const QAction* item) const
{
    return item && item->property(kHookedBy).value<QObject*>() == this;
}

void TRyMenu::Add(QAction* Item)
{
    // Menus can be linked in a ring: each submenu is walked once.
    QSet<const QMenu*> walked;
    const std::function<void(QAction*)> add = [&](QAction* item) {
        if (!item)
            return;
        hook(item);
        QMenu* sub = item->menu();
        if (!sub || walked.contains(sub))
            return;
        walked.insert(sub);
        for (QAction* a : sub->actions())
            add(a);
    };
    add(Item);
}

void TRyMenu::ownerDraw(QWidget* menu)
{
    if (menu->style() != style_) {
        menu->setStyle(style_);
        drawn_.append(menu);
    }
    if (auto* m = qobject_cast<QMenu*>(menu)) {
        if (!m->findChild<QObject*>(QLatin1String(kF10), Qt::FindDirectChildrenOnly)) {
            new F10InMenu(m);
            // A menu opened again says its highlighted item again.
            QObject::connect(m, &QMenu::aboutToHide, m, [m] { m->setProperty(kSpokenItem, QVariant()); });
        }
        for (QAction* a : m->actions())
            if (a->menu() && a->menu() != m && a->menu()->style() != style_)
                ownerDraw(a->menu());
    }
}

void TRyMenu::Add(QMenuBar* Menu)
{
    if (!Menu)
        return;
    for (QAction* a : Menu->actions())
        Add(a);
    ownerDraw(Menu);
    for (QAction* a : Menu->actions())
        if (a->menu())
            ownerDraw(a->menu());
    if (!Menu->findChild<QObject*>(QLatin1String(kF10), Qt::FindDirectChildrenOnly)) {
        auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), Menu);
        f10->setObjectName(QLatin1String(kF10));
        f10->setContext(Qt::WindowShortcut);
        QObject::connect(f10, &QShortcut::activated, Menu, [Menu] { toggleKeyboardMode(Menu); });
    }
}

void TRyMenu::Add(QMenu* Menu)
{
    if (!Menu)
        return;
    for (QAction* a : Menu->actions())
        Add(a);
    ownerDraw(Menu);
}

menu::ItemFacts TRyMenu::facts(const QAction* item) const
{
    const QFontMetrics fm(FFont);
    menu::ItemFacts f;
    f.barItem = IsBarItem(item);
    f.separator = item->isSeparator();
    const QString caption = captionOf(item);
    f.captionWidth = fm.horizontalAdvance(caption);
    f.captionShortcutWidth = fm.horizontalAdvance(caption + shortcutText(item->shortcut()));
    f.textHeightW = fm.height();
    if (const TImageList* images = ItemImageList(item)) {
        f.hasImageList = true;
        f.imageWidth = images->Width();
        f.imageHeight = images->Height();
    }
    return f;
}

void TRyMenu::MeasureItem(QAction* Sender, int& Width, int& Height)
{
    if (!Sender)
        return;
    menu::measureItem(facts(Sender), FMinWidth, FMinHeight, Width, Height);
}

int TRyMenu::GutterWidth(QAction* item, const QRect& rect) const
{
    return menu::gutterWidth(facts(item), rect.height(), FMinHeight);
}

void TRyMenu::AdvancedDrawItem(QAction* Sender, QPainter* ACanvas, const QRect& ARect, TOwnerDrawState State)
{
    if (!Sender)
        return;
    if (State & odSelected) {
        const QString phrase = menuItemPhrase(Sender->text(), shortcutText(Sender->shortcut()),
                                              !(State & odDisabled), bool(State & odChecked));
        RyMenuSpeechCounter().selectedDrawing(IsBarItem(Sender), phrase);
    }
    if (ACanvas)
        paintItem(Sender, ACanvas, ARect, State);
}

void TRyMenu::paintItem(QAction* item, QPainter* canvas, const QRect& rect, TOwnerDrawState state)
{
    // The rectangle's edges as the drawing rules count them: right and bottom
    // are just outside.
    int L = rect.left();
    const int T = rect.top();
    int R = rect.left() + rect.width();
    const int B = rect.top() + rect.height();
    const menu::ItemFacts f = facts(item);
    const int G = menu::gutterWidth(f, rect.height(), FMinHeight);
    const bool bar = f.barItem;
    const bool selected = state & odSelected;

    canvas->save();
    canvas->setFont(FFont);
    canvas->setRenderHint(QPainter::Antialiasing, false);
    const QColor frame = darkened(clHighlight(), 50);

    // A filled rectangle with a one-pixel frame, right and bottom exclusive.
    auto rectangle = [&](int x1, int y1, int x2, int y2, const QColor& pen, const QColor& fill) {
        if (x2 <= x1 || y2 <= y1)
            return;
        canvas->fillRect(QRect(x1, y1, x2 - x1, y2 - y1), fill);
        canvas->setPen(pen);
        canvas->setBrush(Qt::NoBrush);
        canvas->drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
    };

    if (bar && selected) {
        canvas->fillRect(QRect(L, T, R - L, B - T), lightened(clBtnFace(), 50));
        canvas->setPen(darkened(clBtnShadow(), 50));
        const QPoint open[] = {QPoint(L, B - 1), QPoint(L, T), QPoint(R - 1, T), QPoint(R - 1, B - 1)};
        canvas->drawPolyline(open, 4);
    } else if (selected) {
        rectangle(L, T, R, B, frame, ColorToRGB(FSelectedColor));
    } else if (bar && (state & odHotLight)) {
        rectangle(L, T, R, B, frame, ColorToRGB(FSelectedColor));
    } else if (bar) {
        canvas->fillRect(QRect(L, T, R - L, B - T), ColorToRGB(clBtnFace()));
    } else {
        canvas->fillRect(QRect(L, T, G, B - T), ColorToRGB(FGutterColor));
        canvas->fillRect(QRect(L + G, T, R - L - G, B - T), ColorToRGB(FMenuColor));
    }

    if (state & odChecked)
        rectangle(L + 1, T + 1, L + G - 2, B - 1, frame, ColorToRGB(FSelLightColor));

    const TImageList* images = bar ? nullptr : ItemImageList(item);
    const int index = ImageIndex(item);
    if (images && index >= 0) {
        QImage picture = images->image(index);
        if (state & odDisabled)
            picture = silhouette(picture, ColorToRGB(clBtnShadow()));
        const int x = (L + G - 1 - images->Width()) / 2;
        const int y = (T + B - images->Height()) / 2;
        canvas->drawImage(x, y, picture);
    } else if (state & odChecked) {
        const int x = (L + G - 1 - menu::kCheckMarkSize) / 2;
        const int y = (T + B - menu::kCheckMarkSize) / 2;
        canvas->drawImage(x, y, RyCheckMark());
    }

    QFont font = FFont;
    font.setBold(state & odDefault);
    canvas->setFont(font);
    canvas->setPen((state & odDisabled) ? QColor(128, 128, 128) : QColor(Qt::black));
    canvas->setBackgroundMode(Qt::TransparentMode);

    if (!bar)
        L = L + G + 5;

    if (f.separator) {
        canvas->setPen(ColorToRGB(clBtnShadow()));
        const int y = T + (B - T) / 2;
        if (R - 1 >= L)
            canvas->drawLine(L, y, R - 1, y);
    } else {
        const QFontMetrics fm(font);
        // One line, vertically centred, cut with an ellipsis when it does not
        // fit, "&" marking the access key.
        auto text = [&](const QString& s, int align) {
            const QRect box(L, T, R - L, B - T);
            const QString shown = fm.elidedText(s, Qt::ElideRight, qMax(0, box.width()), Qt::TextShowMnemonic);
            canvas->drawText(box, align | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic |
                                      Qt::TextDontClip, shown);
        };
        text(item->text(), bar ? Qt::AlignHCenter : Qt::AlignLeft);
        const QString keys = shortcutText(item->shortcut());
        if (!keys.isEmpty()) {
            R = R - 5;
            text(keys, Qt::AlignRight);
        }
    }
    canvas->restore();
}

}  // namespace sor

// ---------------------------------------------------------------- module state

const QImage& RyCheckMark()
{
    static const QImage mark = [] {
        QImage image(sor::menu::kCheckMarkSize, sor::menu::kCheckMarkSize, QImage::Format_ARGB32);
        image.fill(Qt::transparent);  // the white background is never drawn
        for (const auto& [column, row] : sor::menu::checkMarkPixels())
            image.setPixel(column, row, qRgb(0, 0, 0));
        return image;
    }();
    return mark;
}

sor::menu::MenuSpeechCounter& RyMenuSpeechCounter()
{
    static sor::menu::MenuSpeechCounter counter;
    return counter;
}

sor::TRyMenu* RyMenu()
{
    static sor::TRyMenu* shared = [] {
        RyCheckMark();  // built before the instance, as the module starts
        return new sor::TRyMenu(qApp);
    }();
    return shared;
}

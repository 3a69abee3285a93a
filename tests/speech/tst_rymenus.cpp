// The speaking menus: the drawer's colours and defaults, what it paints, how
// it hooks menus, and what the player hears walking a replica of the main
// window's menu with the keyboard and the mouse. Built twice: on the offscreen
// platform with keys sent by QTest, and under Xvfb (SOR_EXPECT_XCB) with the
// keys really typed by xdotool.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTest>

#include <memory>

#include "speech/RyMenus.h"
#include "support/MenuWalk.h"
#include "support/SpeechRig.h"
#include "support/XInput.h"

using sor::TColor;
using sor::TRyMenu;
using sortest::onX;

namespace {

// A palette like the classic desktop's, so that colours can be checked by value.
QPalette knownPalette()
{
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Button, QColor(212, 208, 200));
    p.setColor(QPalette::Highlight, QColor(10, 36, 106));
    p.setColor(QPalette::Dark, QColor(128, 128, 128));
    return p;
}

// The main window's menu as the game builds it.
class Replica : public QMainWindow
{
public:
    Replica()
    {
        edit = new QLineEdit(this);
        setCentralWidget(edit);
        MainMenu1 = menuBar();
        MainMenu1->setObjectName("MainMenu1");
        N1 = MainMenu1->addMenu("Речь ");
        N2SpeechOnOff = item(N1, "Включить / Отключить речь", "Ctrl+Alt+S");
        N2SpeechOnOff->setCheckable(true);
        N2SpeechOnOff->setChecked(true);  // speech is on
        N2 = item(N1, "Настройки речи...", "");
        N3 = N1->addSeparator();
        N4 = item(N1, "Осталось времени", "Ctrl+T");
        G1 = item(N1, "Прочитать вопрос", "Ctrl+Q");
        N5 = item(N1, "Все варианты ответов", "Ctrl+A");
        N5->setEnabled(false);  // as while no question is shown
        for (int i = 1; i <= 4; ++i)
            item(N1, QStringLiteral("Прочитать ответ №%1").arg(i), QStringLiteral("Ctrl+F%1").arg(i));
        item(N1, "Читать медленнее", "Ctrl+Z");
        item(N1, "Читать быстрее", "Ctrl+X");
        Y1 = MainMenu1->addAction("Настройки");
        N6 = MainMenu1->addMenu("Справка");
        N7 = item(N6, "Горячие клавишы", "F1");
        N8 = item(N6, "О программе", "");
        N9 = MainMenu1->addAction("Выход");
        resize(837, 486);
    }

    QAction* item(QMenu* menu, const QString& caption, const QString& shortcut)
    {
        QAction* a = menu->addAction(caption);
        a->setShortcut(QKeySequence(shortcut));
        return a;
    }

    QLineEdit* edit;
    QMenuBar* MainMenu1;
    QMenu* N1;
    QMenu* N6;
    QAction *N2SpeechOnOff, *N2, *N3, *N4, *G1, *N5, *Y1, *N7, *N8, *N9;
};

// Paints one item of the drawer into a fresh picture.
QImage paint(TRyMenu& drawer, QAction* item, QSize size, sor::TOwnerDrawState state)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter p(&image);
    drawer.AdvancedDrawItem(item, &p, QRect(QPoint(0, 0), size), state);
    p.end();
    return image;
}

QColor at(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

}  // namespace

class TestRyMenus : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig_;
    std::unique_ptr<Replica> window_;
    QStringList expected_;

    QAction* highlighted() const
    {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            return popup->activeAction();
        return window_->MainMenu1->hasFocus() ? window_->MainMenu1->activeAction() : nullptr;
    }

    // One key, typed for real under X, else sent to whatever has the keyboard.
    void press(const char* xName, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        if (onX()) {
            sortest::xdotool({"key", QString::fromLatin1(xName)});
        } else {
            QWidget* target = QApplication::activePopupWidget();
            if (!target)
                target = QApplication::focusWidget();
            QVERIFY(target);
            QTest::keyClick(target, key, modifiers);
        }
    }

    // A key of the walk: the highlight lands on `lands`, the player hears
    // `said` and the speech counter ends at `counter`. What was heard so far is
    // compared as a whole, so a phrase where a silent step should be shows up
    // too. Waiting for the counter as well makes sure the step was painted
    // before the next key (keys sent faster than the menu paints would skip
    // the drawing of an item passed over).
    void walk(const char* xName, Qt::Key key, QAction* lands, const QStringList& said, int counter,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        press(xName, key, modifiers);
        QTRY_COMPARE(highlighted(), lands);
        expected_ += said;
        QTRY_COMPARE(rig_->heard(), expected_);
        QTRY_COMPARE(RyMenuSpeechCounter().value(), counter);
    }

    void openWindow()
    {
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        window_->edit->setFocus();
        QTRY_VERIFY(window_->edit->hasFocus());
        rig_->clear();
        expected_.clear();
        RyMenuSpeechCounter().reset();
    }

    void closeMenus()
    {
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

private slots:
    void initTestCase()
    {
#ifdef SOR_EXPECT_XCB
        QVERIFY2(onX(), "this build types real keys: it must run on X");
#endif
        QApplication::setPalette(knownPalette());
    }

    void init()
    {
        rig_ = std::make_unique<sortest::SpeechRig>();
        window_ = std::make_unique<Replica>();
        RyMenu()->Add(window_->MainMenu1);
    }

    void cleanup()
    {
        closeMenus();
        window_.reset();
        rig_.reset();
    }

    void defaultsFollowThePalette()
    {
        TRyMenu drawer;
        QCOMPARE(drawer.MenuColor().rgb(), QColor(249, 248, 247));      // button face lightened by 85 %
        QCOMPARE(drawer.SelectedColor().rgb(), QColor(169, 178, 203));  // highlight lightened by 65 %
        QCOMPARE(drawer.SelLightColor().rgb(), QColor(194, 200, 218));  // highlight lightened by 75 %
        QCOMPARE(drawer.MinHeight(), 20);
        QCOMPARE(drawer.MinWidth(), 0);
        QCOMPARE(drawer.Font(), QApplication::font("QMenu"));
        // The gutter keeps the system colour itself: it follows a new palette.
        QVERIFY(drawer.GutterColor().isSystem());
        QCOMPARE(drawer.GutterColor().rgb(), QColor(212, 208, 200));
        QPalette other = knownPalette();
        other.setColor(QPalette::Button, QColor(190, 190, 190));
        QApplication::setPalette(other);
        QCOMPARE(drawer.GutterColor().rgb(), QColor(190, 190, 190));
        QCOMPARE(drawer.MenuColor().rgb(), QColor(249, 248, 247));
        QApplication::setPalette(knownPalette());
    }

    void propertyRules()
    {
        TRyMenu drawer;
        drawer.SetMinHeight(10);
        QCOMPARE(drawer.MinHeight(), 20);
        drawer.SetMinHeight(26);
        QCOMPARE(drawer.MinHeight(), 26);
        drawer.SetSelectedColor(QColor(255, 0, 0));
        QCOMPARE(drawer.SelectedColor().rgb(), QColor(255, 0, 0));
        QCOMPARE(drawer.SelLightColor().rgb(), QColor(255, 191, 191));
        // A system colour is resolved before it is lightened.
        drawer.SetSelectedColor(sor::clHighlight());
        QCOMPARE(drawer.SelLightColor().rgb(), QColor(194, 200, 218));
    }

    void checkMarkPicture()
    {
        const QImage& mark = RyCheckMark();
        QCOMPARE(mark.size(), QSize(12, 12));
        int black = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const QRgb p = mark.pixel(x, y);
                if (qAlpha(p) == 0)
                    continue;
                QCOMPARE(p & 0xFFFFFF, QRgb(0));  // black, or not there at all
                ++black;
            }
        QCOMPARE(black, 21);
        QCOMPARE(qAlpha(mark.pixel(8, 3)), 255);  // the tip
        QCOMPARE(qAlpha(mark.pixel(4, 9)), 255);  // the foot
        QCOMPARE(qAlpha(mark.pixel(0, 0)), 0);
    }

    void dropDownItemPaint()
    {
        TRyMenu drawer;
        QAction item("A");
        // Not highlighted: the gutter strip, then the menu colour, full height.
        QImage img = paint(drawer, &item, {200, 20}, {});
        const int g = drawer.GutterWidth(&item, QRect(0, 0, 200, 20));
        QCOMPARE(g, 21);
        QCOMPARE(at(img, 0, 0), QColor(212, 208, 200));
        QCOMPARE(at(img, g - 1, 19), QColor(212, 208, 200));
        QCOMPARE(at(img, g, 0), QColor(249, 248, 247));
        QCOMPARE(at(img, 199, 19), QColor(249, 248, 247));

        // Highlighted: the whole item in the selected colour inside a frame of
        // the highlight darkened by 50, no gutter.
        drawer.SetSelectedColor(QColor(255, 0, 0));
        img = paint(drawer, &item, {200, 20}, sor::odSelected);
        const QColor frame(0, 0, 56);
        QCOMPARE(at(img, 0, 0), frame);
        QCOMPARE(at(img, 199, 19), frame);
        QCOMPARE(at(img, 0, 10), frame);
        QCOMPARE(at(img, 5, 2), QColor(255, 0, 0));
        QCOMPARE(at(img, 198, 18), QColor(255, 0, 0));
    }

    void separatorLineStartsAfterTheGutter()
    {
        TRyMenu drawer;
        QAction separator;
        separator.setSeparator(true);
        const QImage img = paint(drawer, &separator, {200, 5}, {});
        const int g = drawer.GutterWidth(&separator, QRect(0, 0, 200, 5));
        const QColor shadow(128, 128, 128);
        QCOMPARE(at(img, g + 5, 2), shadow);
        QCOMPARE(at(img, 199, 2), shadow);
        QCOMPARE(at(img, g + 4, 2), QColor(249, 248, 247));
        QCOMPARE(at(img, g - 1, 2), QColor(212, 208, 200));
        QCOMPARE(at(img, g + 20, 1), QColor(249, 248, 247));
    }

    void checkedItemShowsTheMarkInItsFrame()
    {
        TRyMenu drawer;
        drawer.SetSelectedColor(QColor(255, 0, 0));  // frame fill 255, 191, 191
        QAction item("A");
        item.setCheckable(true);
        item.setChecked(true);
        const QImage img = paint(drawer, &item, {200, 20}, sor::odChecked);
        const QColor frame(0, 0, 56), fill(255, 191, 191);
        QCOMPARE(at(img, 1, 1), frame);       // the frame: 1 .. gutter − 3
        QCOMPARE(at(img, 18, 18), frame);
        QCOMPARE(at(img, 19, 10), QColor(212, 208, 200));  // gutter beyond it
        QCOMPARE(at(img, 0, 10), QColor(212, 208, 200));
        // The mark, centred in the gutter: at x (21 − 1 − 12) / 2 = 4, y (20 − 12) / 2 = 4.
        const QImage& mark = RyCheckMark();
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const QColor want = qAlpha(mark.pixel(x, y)) ? QColor(Qt::black) : fill;
                QVERIFY2(at(img, 4 + x, 4 + y) == want, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
    }

    void imagesOverTheFrameAndGreyedWhenDisabled()
    {
        TRyMenu drawer;
        QMenu menu;
        sor::TImageList images(16, 16);
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(Qt::white);  // a white border ...
        QPainter(&picture).fillRect(2, 2, 12, 12, Qt::red);  // ... round a red square
        images.Add(picture);
        sor::SetMenuImages(&menu, &images);
        QAction* item = menu.addAction("A");
        item->setCheckable(true);
        item->setChecked(true);
        sor::SetImageIndex(item, 0);
        QCOMPARE(sor::ItemImageList(item), &images);

        // Gutter max(16 + 4, 20) + 1 = 21: the picture at (21 − 1 − 16) / 2 = 2, (20 − 16) / 2 = 2.
        QImage img = paint(drawer, item, {200, 20}, sor::odChecked);
        QCOMPARE(at(img, 2 + 8, 2 + 8), QColor(Qt::red));  // over the frame, no check mark
        QCOMPARE(at(img, 2 + 0, 2 + 0), QColor(Qt::white));
        // Disabled: a silhouette in the shadow colour; white stays out of it.
        img = paint(drawer, item, {200, 20}, sor::odChecked | sor::odDisabled);
        QCOMPARE(at(img, 2 + 8, 2 + 8), QColor(128, 128, 128));
        QCOMPARE(at(img, 2 + 0, 2 + 0), drawer.SelLightColor().rgb());  // the frame's fill shows through

        // A list that goes away leaves the menu without pictures.
        auto* gone = new sor::TImageList(8, 8);
        sor::SetMenuImages(&menu, gone);
        QCOMPARE(sor::ItemImageList(item), gone);
        delete gone;
        QCOMPARE(sor::ItemImageList(item), nullptr);
        paint(drawer, item, {200, 20}, sor::odChecked);
    }

    void barItemLooks()
    {
        TRyMenu drawer;
        QMenuBar bar;
        QAction* item = bar.addAction("Выход");
        QImage img = paint(drawer, item, {60, 20}, sor::odSelected);
        const QColor face50(234, 232, 228), shadow50(78, 78, 78);
        QCOMPARE(at(img, 0, 0), shadow50);   // an open frame: left, top, right ...
        QCOMPARE(at(img, 59, 10), shadow50);
        QCOMPARE(at(img, 0, 19), shadow50);
        QCOMPARE(at(img, 30, 19), face50);   // ... and no bottom
        QCOMPARE(at(img, 2, 2), face50);
        img = paint(drawer, item, {60, 20}, sor::odHotLight);
        QCOMPARE(at(img, 0, 0), QColor(0, 0, 56));
        QCOMPARE(at(img, 2, 2), drawer.SelectedColor().rgb());
        img = paint(drawer, item, {60, 20}, {});
        QCOMPARE(at(img, 2, 2), QColor(212, 208, 200));
    }

    void hooking()
    {
        TRyMenu drawer;
        drawer.Add(static_cast<QMenuBar*>(nullptr));
        drawer.Add(static_cast<QMenu*>(nullptr));
        drawer.Add(static_cast<QAction*>(nullptr));

        Replica w;
        // An item: itself and all below it.
        drawer.Add(w.N1->menuAction());
        QVERIFY(drawer.IsHooked(w.N1->menuAction()));
        QVERIFY(drawer.IsHooked(w.N3));
        QVERIFY(drawer.IsHooked(w.N5));
        QVERIFY(!drawer.IsHooked(w.N7));
        QVERIFY(!drawer.IsHooked(w.Y1));
        // The bar: everything; a later item is left to the platform.
        drawer.Add(w.MainMenu1);
        QVERIFY(drawer.IsHooked(w.N7));
        QVERIFY(drawer.IsHooked(w.N9));
        QAction* later = w.N6->addAction("Позже");
        QVERIFY(!drawer.IsHooked(later));
        QVERIFY(sor::IsBarItem(w.Y1));
        QVERIFY(sor::IsBarItem(w.N6->menuAction()));
        QVERIFY(!sor::IsBarItem(w.N7));

        // Menus linked in a ring are walked once round, every item hooked.
        QMenu outer("Внешнее");
        QMenu inner("Внутреннее");
        outer.addMenu(&inner);
        QAction* deep = inner.addAction("Глубоко");
        inner.addMenu(&outer);
        drawer.Add(outer.menuAction());
        QVERIFY(drawer.IsHooked(inner.menuAction()));
        QVERIFY(drawer.IsHooked(deep));
    }

    void menuIsAsWideAsItsWidestItem()
    {
        openWindow();
        press("F10", Qt::Key_F10);
        QTRY_COMPARE(highlighted(), window_->N1->menuAction());
        press("Down", Qt::Key_Down);
        QTRY_COMPARE(highlighted(), window_->N2SpeechOnOff);
        int widest = 0;
        for (QAction* a : window_->N1->actions()) {
            int w = 0, h = 0;
            RyMenu()->MeasureItem(a, w, h);
            QCOMPARE(window_->N1->actionGeometry(a).height(), h);
            widest = qMax(widest, w);
        }
        QCOMPARE(window_->N1->actionGeometry(window_->N4).width(), widest);
    }

    void walkedWithTheKeyboard()
    {
        openWindow();
        Replica& w = *window_;
        QMenuBar* bar = w.MainMenu1;
        const auto steps = [&] {
            walk("F10", Qt::Key_F10, bar->actions().at(0), {"!Речь  "}, 2);
            walk("Down", Qt::Key_Down, w.N2SpeechOnOff, {"!Включить / Отключить речь Ctrl+Alt+S отмечено. "}, 0);
            walk("Down", Qt::Key_Down, w.N2, {"!Настройки речи... "}, 0);
            walk("Down", Qt::Key_Down, w.N4, {"!Осталось времени Ctrl+T"}, 0);
            walk("Down", Qt::Key_Down, w.G1, {"!Прочитать вопрос Ctrl+Q"}, 0);
            walk("Down", Qt::Key_Down, w.N5, {"!Все варианты ответов Ctrl+A выключено. "}, 0);
            walk("Up", Qt::Key_Up, w.G1, {"!Прочитать вопрос Ctrl+Q"}, 0);
            walk("Right", Qt::Key_Right, w.Y1, {"!Настройки "}, 2);
            walk("Right", Qt::Key_Right, w.N7, {"!Справка ", "!Горячие клавишы F1"}, 0);
            walk("Down", Qt::Key_Down, w.N8, {"!О программе "}, 0);
            walk("Up", Qt::Key_Up, w.N7, {"!Горячие клавишы F1"}, 0);
        };
        steps();
        if (QTest::currentTestFailed())
            return;

        // Painted again where it stands, the highlighted item is not said again.
        w.N6->repaint();
        QCOMPARE(rig_->heard(), expected_);

        walk("Escape", Qt::Key_Escape, w.N6->menuAction(), {"!Справка "}, 2);
        if (QTest::currentTestFailed())
            return;
        walk("Right", Qt::Key_Right, w.N9, {"!Выход "}, 2);
        if (QTest::currentTestFailed())
            return;
        // F10 again leaves the menu; the player is back where they were.
        press("F10", Qt::Key_F10);
        QTRY_VERIFY(w.edit->hasFocus());
        QCOMPARE(bar->activeAction(), nullptr);
        QTest::qWait(100);
        QCOMPARE(rig_->heard(), expected_);
    }

    // Every menu of the bar walked to its end and back, and the bar itself
    // both ways: each item the highlight lands on is heard once, in order.
    // Opened with F10, with a lone Alt, or with a click on the first bar item.
    void everyMenuBothWays_data() { sortest::MenuWalk::addOpenerRows(); }
    void everyMenuBothWays()
    {
        QFETCH(QString, opener);
        openWindow();
        sortest::MenuWalk(window_->MainMenu1, *rig_).walkOpenedBy(opener);
    }

    void loneAltOpensAndLeaves()
    {
        openWindow();
        Replica& w = *window_;
        walk("alt", Qt::Key_Alt, w.N1->menuAction(), {"!Речь  "}, 2, Qt::AltModifier);
        walk("Down", Qt::Key_Down, w.N2SpeechOnOff, {"!Включить / Отключить речь Ctrl+Alt+S отмечено. "}, 0);
        walk("Down", Qt::Key_Down, w.N2, {"!Настройки речи... "}, 0);
        if (QTest::currentTestFailed())
            return;
        // Alt (or F10) in an open menu leaves all menus.
        press("alt", Qt::Key_Alt, Qt::AltModifier);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QTRY_VERIFY(w.edit->hasFocus());
        press("F10", Qt::Key_F10);
        QTRY_COMPARE(highlighted(), w.N1->menuAction());
        press("Down", Qt::Key_Down);
        QTRY_COMPARE(highlighted(), w.N2SpeechOnOff);
        press("F10", Qt::Key_F10);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QTRY_VERIFY(w.edit->hasFocus());
    }

    void walkedWithTheMouse()
    {
        // Under X the clicks of everyMenuBothWays(mouse) drive the real pointer;
        // hovering is looked at here.
        if (onX())
            QSKIP("the pointer hovers on the offscreen platform");
        openWindow();
        Replica& w = *window_;
        QMenuBar* bar = w.MainMenu1;
        const QPoint help = bar->actionGeometry(w.N6->menuAction()).center();
        const auto moveTo = [&](QWidget* on, QPoint at) {
            if (on == bar)  // the pointer goes through the window, as the platform's own pointer does
                QTest::mouseMove(window_->windowHandle(), bar->mapTo(window_.get(), at));
            else
                QTest::mouseMove(on, at);
        };
        // Under the mouse only: painted hot, said nothing.
        moveTo(bar, help - QPoint(5, 0));
        moveTo(bar, help);
        QTRY_COMPARE(bar->activeAction(), w.N6->menuAction());
        QTest::qWait(100);
        QCOMPARE(rig_->heard(), QStringList());
        // A click opens it: said; no item of the menu is highlighted yet.
        QTest::mouseClick(bar, Qt::LeftButton, {}, help);
        QTRY_VERIFY(w.N6->isVisible());
        QTRY_COMPARE(rig_->heard(), QStringList({"!Справка "}));
        // Pointing at an item highlights it, and it is said once; the next one too.
        const QPoint hotKeys = w.N6->actionGeometry(w.N7).center();
        const QPoint about = w.N6->actionGeometry(w.N8).center();
        moveTo(w.N6, hotKeys - QPoint(40, 0));
        moveTo(w.N6, hotKeys);
        QTRY_COMPARE(w.N6->activeAction(), w.N7);
        QTRY_COMPARE(rig_->heard(), QStringList({"!Справка ", "!Горячие клавишы F1"}));
        moveTo(w.N6, hotKeys + QPoint(10, 0));  // along the same item: nothing new
        moveTo(w.N6, about);
        QTRY_COMPARE(w.N6->activeAction(), w.N8);
        QTRY_COMPARE(rig_->heard(), QStringList({"!Справка ", "!Горячие клавишы F1", "!О программе "}));
        // Back up to the first with the arrow keys.
        expected_ = rig_->heard();
        walk("Up", Qt::Key_Up, w.N7, {"!Горячие клавишы F1"}, 0);
    }

    void popUpMenuItemsAreDropDownItems()
    {
        openWindow();
        QMenu popup;
        QAction* first = popup.addAction("Первый");
        popup.addAction("Второй");
        RyMenu()->Add(&popup);
        QVERIFY(!sor::IsBarItem(first));
        RyMenuSpeechCounter().reset(0);
        popup.popup(window_->mapToGlobal(QPoint(100, 100)));
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        popup.setActiveAction(first);
        QTRY_COMPARE(rig_->heard(), QStringList({"!Первый "}));
        QCOMPARE(RyMenuSpeechCounter().value(), 0);  // never 2 as a bar item would make it
        popup.close();
    }
};

QTEST_MAIN(TestRyMenus)
#include "tst_rymenus.moc"

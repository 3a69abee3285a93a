#include "support/MenuWalk.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "support/SpeechRig.h"
#include "support/XInput.h"

namespace sortest {

MenuWalk::MenuWalk(QMenuBar* bar, SpeechRig& rig) : bar_(bar), rig_(rig)
{
    rig_.clear();
}

QString MenuWalk::phrase(const QAction* item)
{
    QString state;
    if (!item->isEnabled())
        state = QStringLiteral(" выключено. ");
    if (item->isChecked())
        state = QStringLiteral(" отмечено. ");
    return item->text() + QLatin1Char(' ') + item->shortcut().toString(QKeySequence::PortableText) + state;
}

QList<QAction*> MenuWalk::items(const QMenu* menu)
{
    QList<QAction*> list;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->isVisible())
            list << a;
    return list;
}

QAction* MenuWalk::highlighted() const
{
    if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
        return popup->activeAction();
    return bar_->hasFocus() ? bar_->activeAction() : nullptr;
}

void MenuWalk::press(const char* xName)
{
    const QString name = QString::fromLatin1(xName);
    if (onX()) {
        xdotool({QStringLiteral("key"), name});
        return;
    }
    QWidget* target = QApplication::activePopupWidget();
    if (!target)
        target = QApplication::focusWidget();
    if (!target)
        target = bar_->window();  // a window without a focused control takes the keys itself
    static const QList<QPair<QString, Qt::Key>> keys = {
        {"F10", Qt::Key_F10}, {"alt", Qt::Key_Alt},   {"Down", Qt::Key_Down},
        {"Up", Qt::Key_Up},   {"Left", Qt::Key_Left}, {"Right", Qt::Key_Right},
        {"Escape", Qt::Key_Escape},
    };
    for (const auto& [n, key] : keys)
        if (n == name) {
            QTest::keyClick(target, key, key == Qt::Key_Alt ? Qt::AltModifier : Qt::NoModifier);
            return;
        }
    QFAIL("a key the walk does not know");
}

void MenuWalk::step(const char* xName, QAction* lands, const QStringList& said)
{
    press(xName);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY2(highlighted() == lands,
                 qPrintable(QStringLiteral("%1 lands on %2, not on %3")
                                .arg(QString::fromLatin1(xName),
                                     highlighted() ? highlighted()->text() : QStringLiteral("nothing"),
                                     lands->text())));
    expected_ += said;
    // Waiting for the phrase also makes sure the step was painted before the
    // next key (an item passed over faster than the menu paints is not drawn).
    QTRY_COMPARE(rig_.heard(), expected_);
}

void MenuWalk::click(QAction* barItem)
{
    const QPoint at = bar_->actionGeometry(barItem).center();
    if (onX()) {
        const QPoint global = bar_->mapToGlobal(at);
        // (No --sync: it waits for ever when the pointer stands there already.)
        xdotool({"mousemove", QString::number(global.x()), QString::number(global.y())});
        QTRY_COMPARE(QCursor::pos(), global);
        xdotool({"click", "1"});
    } else {
        // The pointer goes through the window, as the platform's own pointer does.
        QWidget* window = bar_->window();
        QTest::mouseMove(window->windowHandle(), bar_->mapTo(window, at - QPoint(5, 0)));
        QTest::mouseMove(window->windowHandle(), bar_->mapTo(window, at));
        QTest::mouseClick(bar_, Qt::LeftButton, {}, at);
    }
}

void MenuWalk::open(const QString& opener)
{
    QAction* first = bar_->actions().at(0);
    QAction* firstItem = items(first->menu()).at(0);
    step(opener == QLatin1String("alt") ? "alt" : "F10", first, {QLatin1Char('!') + phrase(first)});
    if (QTest::currentTestFailed())
        return;
    step("Down", firstItem, {QLatin1Char('!') + phrase(firstItem)});
}

void MenuWalk::downAndUp(const QMenu* menu)
{
    const QList<QAction*> list = items(menu);
    for (qsizetype i = 1; i < list.size() && !QTest::currentTestFailed(); ++i)
        step("Down", list.at(i), {QLatin1Char('!') + phrase(list.at(i))});
    for (qsizetype i = list.size() - 2; i >= 0 && !QTest::currentTestFailed(); --i)
        step("Up", list.at(i), {QLatin1Char('!') + phrase(list.at(i))});
}

void MenuWalk::everyMenuOpenedByMouse()
{
    for (QAction* barItem : bar_->actions()) {
        const QMenu* menu = barItem->menu();
        if (!menu)
            continue;
        click(barItem);
        QTRY_VERIFY(menu->isVisible());
        expected_ << QLatin1Char('!') + phrase(barItem);
        QTRY_COMPARE(rig_.heard(), expected_);
        QAction* first = items(menu).at(0);
        step("Down", first, {QLatin1Char('!') + phrase(first)});
        downAndUp(menu);
        if (QTest::currentTestFailed())
            return;
        // Out of the menus again; what leaving says is not looked at here.
        leave();
        expected_ = rig_.heard();
        if (QTest::currentTestFailed())
            return;
    }
}

void MenuWalk::everyMenuBothWays()
{
    const QList<QAction*> barItems = bar_->actions();
    // To a bar item, with the menus open: its own phrase, then, when it has a
    // menu, the first item of it, which opens highlighted.
    const auto toBarItem = [&](const char* key, QAction* barItem) {
        QStringList said = {QLatin1Char('!') + phrase(barItem)};
        QAction* lands = barItem;
        if (barItem->menu()) {
            lands = items(barItem->menu()).at(0);
            said << QLatin1Char('!') + phrase(lands);
        }
        step(key, lands, said);
    };
    for (qsizetype b = 0; b < barItems.size(); ++b) {
        if (b > 0)
            toBarItem("Right", barItems.at(b));
        if (const QMenu* menu = barItems.at(b)->menu())
            downAndUp(menu);
        if (QTest::currentTestFailed())
            return;
    }
    for (qsizetype b = barItems.size() - 2; b >= 0 && !QTest::currentTestFailed(); --b)
        toBarItem("Left", barItems.at(b));
}

void MenuWalk::addOpenerRows()
{
    QTest::addColumn<QString>("opener");
    QTest::newRow("F10") << QStringLiteral("F10");
    QTest::newRow("lone Alt") << QStringLiteral("alt");
    QTest::newRow("mouse") << QStringLiteral("mouse");
}

void MenuWalk::walkOpenedBy(const QString& opener)
{
    if (opener == QLatin1String("mouse")) {
        everyMenuOpenedByMouse();
        return;
    }
    open(opener);
    if (!QTest::currentTestFailed())
        everyMenuBothWays();
    if (!QTest::currentTestFailed())
        leave();
}

void MenuWalk::leave()
{
    // Escape closes the open menu, a lone Alt leaves the bar.
    while (QApplication::activePopupWidget() && !QTest::currentTestFailed()) {
        press("Escape");
        QTest::qWait(50);
    }
    if (bar_->hasFocus())
        press("Escape");
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QTRY_VERIFY(!highlighted());
    QCOMPARE(rig_.heard().mid(0, expected_.size()), expected_);
}

}  // namespace sortest

#include "ModalGuard.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QWidget>
#include <QtDebug>

namespace sortest {

ModalGuard::ModalGuard(int timeoutMs)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ModalGuard::closeModalWindows);
    timer_.start(timeoutMs);
}

ModalGuard::~ModalGuard()
{
    timer_.stop();
    if (fired_ && !reported_) {
        reported_ = true;
        QTest::qFail(qPrintable(QStringLiteral("a modal window stayed open: ") + what_), __FILE__, __LINE__);
    }
}

void ModalGuard::closeModalWindows()
{
    fired_ = true;
    QStringList open;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || !w->isModal())
            continue;
        open << QStringLiteral("\"%1\" (%2)").arg(w->windowTitle(), QString::fromLatin1(w->metaObject()->className()));
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        else
            w->close();
    }
    if (!open.isEmpty()) {
        const QString found = open.join(QStringLiteral(", "));
        if (!what_.contains(found))
            what_ += (what_.isEmpty() ? QString() : QStringLiteral("; ")) + found;
        qWarning().noquote() << "ModalGuard: closing" << found;
    }
    // A window that refuses to close (or one nested below it) is tried again.
    timer_.start(250);
}

}  // namespace sortest

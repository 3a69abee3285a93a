#include "AccountRows.h"

#include <QApplication>
#include <QLabel>
#include <QSqlError>
#include <QTest>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtDebug>

#include "accounts/StoredLogin.h"
#include "speech/SpokenMessageBox.h"
#include "support/TestServer.h"

namespace acctest {

namespace {
QSqlDatabase adminDb(const QString& db)
{
    return sortest::TestServer::admin(db, QStringLiteral("acctest_") + db);
}
}  // namespace

bool exec(const QString& db, const QString& sql)
{
    return sortest::TestServer::adminExec(db, sql);
}

qint64 addAccount(const QString& db, const QString& email, const QString& hash, const QString& dt)
{
    QSqlQuery q(adminDb(db));
    q.prepare(QStringLiteral("INSERT INTO users (loginEmail, password, name, surname, dt) VALUES (?, ?, '', '', %1)")
                  .arg(dt));
    q.addBindValue(email);
    q.addBindValue(hash);
    if (!q.exec()) {
        qWarning() << "addAccount:" << q.lastError().text();
        return 0;
    }
    return q.lastInsertId().toLongLong();
}

QVariant scalar(const QString& db, const QString& sql)
{
    QSqlQuery q(adminDb(db));
    if (!q.exec(sql)) {
        qWarning().noquote() << "scalar:" << sql << q.lastError().text();
        return QVariant();
    }
    return q.next() ? q.value(0) : QVariant();
}

QStringList rows(const QString& db, const QString& sql)
{
    QSqlQuery q(adminDb(db));
    QStringList out;
    if (!q.exec(sql)) {
        qWarning().noquote() << "rows:" << sql << q.lastError().text();
        return out;
    }
    while (q.next()) {
        QStringList cols;
        for (int i = 0; i < q.record().count(); ++i)
            cols << q.value(i).toString();
        out << cols.join(QLatin1Char('|'));
    }
    return out;
}

bool forgetLastLogin(const QString& db, qint64 id)
{
    return exec(db, QStringLiteral("UPDATE users SET dt = NOW() - INTERVAL 1 HOUR WHERE ID = %1").arg(id));
}

StoredLoginSandbox::StoredLoginSandbox()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    clear();
}

void StoredLoginSandbox::clear()
{
    sor::StoredLoginKey key;
    key.values().clear();
}

QVariant StoredLoginSandbox::value(const QString& name) const
{
    sor::StoredLoginKey key;
    return key.values().value(name);
}

bool StoredLoginSandbox::contains(const QString& name) const
{
    sor::StoredLoginKey key;
    return key.values().contains(name);
}

void StoredLoginSandbox::set(const QString& name, const QVariant& value)
{
    sor::StoredLoginKey key;
    key.values().setValue(name, value);
}

QString StoredLoginSandbox::fileName() const
{
    sor::StoredLoginKey key;
    return key.values().fileName();
}

BoxAnswerer::BoxAnswerer()
{
    poll_.setInterval(10);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
        sor::SpokenMessageBox* box = sor::openMessageBox();
        QWidget* focus = QApplication::focusWidget();
        if (!box || box == last_ || !box->isActiveWindow() || !focus || !box->isAncestorOf(focus))
            return;
        last_ = box;
        seen.append({box->windowTitle(), box->textLabel()->text()});
        QTest::keyClick(focus, Qt::Key_Return);
    });
    poll_.start();
}

}  // namespace acctest

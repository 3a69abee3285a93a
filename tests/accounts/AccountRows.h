#pragma once
// Rows and stored values the account tests set up and read back: accounts made
// and inspected through the admin connection of the test game server, and the
// stored login kept in a temporary folder instead of the player's own.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

namespace acctest {

// A new account; `dt` is an SQL expression for its last login. Returns its ID.
qint64 addAccount(const QString& db, const QString& email, const QString& hash,
                  const QString& dt = QStringLiteral("'0000-00-00 00:00:00'"));

// The first column of the first row of an admin query (invalid when none).
QVariant scalar(const QString& db, const QString& sql);

// All rows of an admin query, each as its columns joined by "|", for comparing
// a table before and after.
QStringList rows(const QString& db, const QString& sql);

bool exec(const QString& db, const QString& sql);

// The account's last login set back, so that the next login is not "within 15 s".
bool forgetLastLogin(const QString& db, qint64 id);

// Moves the stored login into a folder of the test's own for as long as it lives.
class StoredLoginSandbox
{
public:
    StoredLoginSandbox();
    void clear();                          // no values at all, as for a new user
    QVariant value(const QString& name) const;
    bool contains(const QString& name) const;
    void set(const QString& name, const QVariant& value);
    QString fileName() const;
    bool valid() const { return dir_.isValid(); }

private:
    QTemporaryDir dir_;
};

// While it lives, answers every spoken message box with Enter (OK) once the box
// has the keyboard, that is once its button has been announced; keeps what each
// box showed.
class BoxAnswerer
{
public:
    struct Seen
    {
        QString caption;
        QString text;
    };

    BoxAnswerer();
    QList<Seen> seen;

private:
    QTimer poll_;
    QPointer<QObject> last_;
};

}  // namespace acctest

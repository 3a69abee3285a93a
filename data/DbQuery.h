#pragma once
// A query object of the data module: a statement given as lines, named parameters
// bound by name, and the rows it returned.
//
//     q.close();                       // forget the last rows
//     q.clearSql();                    // forget the statement and its parameter values
//     q.addLine("SELECT * ");          // the lines are joined by line breaks
//     q.addLine("FROM users");
//     q.addLine("WHERE users.loginEmail=:lgn");
//     q.bindString("lgn", login);      // by name, with or without the colon
//     q.open();                        // a SELECT; execute() for everything else
//     if (!q.isEmpty()) id = q.asLargeInt("ID");
//
// Every parameter of the statement must be bound, and every bound name must be one
// of the statement's: otherwise execution is refused (error 2031) and nothing is
// sent. Texts bind as given; an empty text binds as "" (never NULL).
//
// The object keeps its statement and parameter values after close(), so that it
// can be opened again as it is - also after a reconnect. It keeps its statements
// prepared on the server while the statement text and the connection stay the
// same; after a reconnect they are prepared again.
//
// The rows are read into the object when it opens, so they stay readable while the
// connection is lost. Reading a field on an empty result gives "not set": 0, an
// empty text, an invalid date-time. A date-time that is NULL or the zero date reads
// as an invalid QDateTime ("not set").

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <list>
#include <memory>

namespace sor {

class TDbConnection;

class TDbQuery : public QObject
{
    Q_OBJECT

public:
    TDbQuery(TDbConnection& connection, const QString& name);
    ~TDbQuery() override;

    // The statement.
    void clearSql();
    void addLine(const QString& line);
    // A new statement in one go: the old one forgotten, these lines added.
    void setSql(const QStringList& lines);
    const QStringList& sqlLines() const { return lines_; }
    QString sqlText() const;
    QStringList paramNames() const;  // as written in the statement, without the colon

    // Parameter values.
    void bindLargeInt(const QString& name, qint64 value);
    void bindInteger(const QString& name, int value);
    void bindString(const QString& name, const QString& value);
    QVariant paramValue(const QString& name) const;

    // Running it. A failure is reported by the connection and thrown (DbErrors.h).
    void prepare();  // sends the statement to the server unless it is prepared already
    void open();     // runs a statement that returns rows; the cursor is on the first row
    void execute();  // runs any other statement
    void close();    // forgets the rows; statement and parameter values stay
    bool active() const { return active_; }

    // The result.
    int recordCount() const { return int(rows_.size()); }
    int rowsAffected() const { return rowsAffected_; }
    bool isEmpty() const { return rows_.isEmpty(); }
    bool eof() const { return eof_; }
    void first();
    void next();            // past the last row: eof, the cursor stays on the last row
    void moveBy(int count); // forward or back, stopping at the first / last row

    bool hasField(const QString& field) const;
    // The field of the row under the cursor. An unknown field name throws EDbError.
    QVariant value(const QString& field) const;
    int asInteger(const QString& field) const;
    qint64 asLargeInt(const QString& field) const;
    QString asString(const QString& field) const;
    QDateTime asDateTime(const QString& field) const;

private:
    friend class TDbConnection;
    struct Prepared;

    void run(bool opening);
    Prepared& prepared();
    void releasePrepared();
    void checkParams();
    QString key(const QString& name) const;

    TDbConnection* conn_;  // queries never outlive their connection
    QStringList lines_;
    QStringList holders_;              // placeholder names as written, in order, without duplicates
    QHash<QString, QVariant> values_;  // by lower-cased name
    QHash<QString, QString> spelling_; // lower-cased name -> the name as bound (for messages)

    std::list<Prepared> prepared_;     // most recently used first

    QStringList fields_;
    QHash<QString, int> fieldIndex_;   // by lower-cased name
    QList<QList<QVariant>> rows_;
    int cursor_ = 0;
    bool eof_ = true;
    bool active_ = false;
    int rowsAffected_ = -1;
};

// The named placeholders of a statement text: ":name" outside quoted text, each
// name once, in order of first appearance.
QStringList statementParamNames(const QString& text);

// The statement as the server takes it: each ":name" turned into "?", and the
// names in the order of the marks (a name used twice is there twice).
struct PositionalStatement
{
    QString text;
    QStringList names;
};
PositionalStatement positionalStatement(const QString& text);

}  // namespace sor

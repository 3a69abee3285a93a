#include "data/DbQuery.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/DbConnection.h"
#include "data/DbErrors.h"

namespace sor {

namespace {

// Enough for the statements one query object takes turns with in a game, so that
// none of them is prepared twice on one connection.
constexpr std::size_t kPreparedPerQuery = 8;

bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_';
}

QString stripColon(const QString& name)
{
    return name.startsWith(QLatin1Char(':')) ? name.mid(1) : name;
}

}  // namespace

QStringList statementParamNames(const QString& text)
{
    // The same reading as the SQL driver's when it turns names into positions:
    // quoted text ('...', "...", `...`, [...]) holds no parameters, "::" is no
    // parameter, and a name is letters, digits and "_".
    QStringList names;
    QChar closing;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar ch = text.at(i);
        if (!closing.isNull()) {
            if (ch == closing) {
                if (closing == QLatin1Char(']') && i + 1 < n && text.at(i + 1) == closing)
                    ++i;
                else
                    closing = QChar();
            }
            ++i;
        } else if (ch == QLatin1Char(':') && (i == 0 || text.at(i - 1) != QLatin1Char(':')) && i + 1 < n &&
                   isNameChar(text.at(i + 1))) {
            qsizetype end = i + 2;
            while (end < n && isNameChar(text.at(end)))
                ++end;
            const QString name = text.mid(i + 1, end - i - 1);
            if (!names.contains(name))
                names.append(name);
            i = end;
        } else {
            if (ch == QLatin1Char('\'') || ch == QLatin1Char('"') || ch == QLatin1Char('`'))
                closing = ch;
            else if (ch == QLatin1Char('['))
                closing = QLatin1Char(']');
            ++i;
        }
    }
    return names;
}

struct TDbQuery::Prepared
{
    QString text;
    quint64 generation;
    std::unique_ptr<QSqlQuery> query;
};

TDbQuery::TDbQuery(TDbConnection& connection, const QString& name) : conn_(&connection)
{
    setObjectName(name);
    conn_->attach(this);
}

TDbQuery::~TDbQuery()
{
    releasePrepared();
    if (conn_)
        conn_->detach(this);
}

void TDbQuery::clearSql()
{
    close();
    lines_.clear();
    holders_.clear();
    values_.clear();
    spelling_.clear();
}

void TDbQuery::addLine(const QString& line)
{
    close();
    lines_.append(line);
    holders_ = statementParamNames(sqlText());
}

void TDbQuery::setSql(const QStringList& lines)
{
    clearSql();
    lines_ = lines;
    holders_ = statementParamNames(sqlText());
}

QString TDbQuery::sqlText() const
{
    return lines_.join(QLatin1Char('\n'));
}

QStringList TDbQuery::paramNames() const
{
    return holders_;
}

QString TDbQuery::key(const QString& name) const
{
    return stripColon(name).toLower();
}

void TDbQuery::bindLargeInt(const QString& name, qint64 value)
{
    values_.insert(key(name), QVariant::fromValue<qlonglong>(value));
    spelling_.insert(key(name), stripColon(name));
}

void TDbQuery::bindInteger(const QString& name, int value)
{
    values_.insert(key(name), QVariant::fromValue<int>(value));
    spelling_.insert(key(name), stripColon(name));
}

void TDbQuery::bindString(const QString& name, const QString& value)
{
    // A null text would go out as NULL; the game's texts are never NULL.
    values_.insert(key(name), value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value));
    spelling_.insert(key(name), stripColon(name));
}

QVariant TDbQuery::paramValue(const QString& name) const
{
    return values_.value(key(name));
}

void TDbQuery::checkParams()
{
    QSet<QString> inStatement;
    for (const QString& h : std::as_const(holders_)) {
        const QString k = h.toLower();
        inStatement.insert(k);
        if (!values_.contains(k))
            conn_->fail(EDbError(erParamsNotBound, erParamsNotBound,
                                 QStringLiteral("No data supplied for parameter :%1").arg(h)),
                        this, clExecute);
    }
    for (auto it = spelling_.cbegin(); it != spelling_.cend(); ++it)
        if (!inStatement.contains(it.key()))
            conn_->fail(EDbError(erParamsNotBound, erParamsNotBound,
                                 QStringLiteral("The statement has no parameter :%1").arg(it.value())),
                        this, clExecute);
}

QSqlQuery& TDbQuery::prepared()
{
    const QString text = sqlText();
    const quint64 gen = conn_->generation();
    for (auto it = prepared_.begin(); it != prepared_.end(); ++it) {
        if (it->text == text && it->generation == gen) {
            prepared_.splice(prepared_.begin(), prepared_, it);
            return *prepared_.front().query;
        }
    }
    auto q = std::make_unique<QSqlQuery>(QSqlDatabase::database(conn_->connectionName(), false));
    q->setForwardOnly(true);
    if (!q->prepare(text)) {
        const QSqlError e = q->lastError();
        q.reset();
        conn_->fail(e, this, clExecute);
    }
    prepared_.push_front(Prepared{text, gen, std::move(q)});
    while (prepared_.size() > kPreparedPerQuery)
        prepared_.pop_back();
    return *prepared_.front().query;
}

void TDbQuery::releasePrepared()
{
    prepared_.clear();
}

void TDbQuery::prepare()
{
    checkParams();
    if (!conn_->connected())
        conn_->failNotConnected(this, clExecute);
    prepared();
}

void TDbQuery::open()
{
    run(true);
}

void TDbQuery::execute()
{
    run(false);
}

void TDbQuery::run(bool opening)
{
    close();
    const TConnLostCause cause = opening ? clOpen : clExecute;
    checkParams();
    if (!conn_->connected())
        conn_->failNotConnected(this, cause);
    QSqlQuery& q = prepared();
    for (const QString& h : std::as_const(holders_))
        q.bindValue(QLatin1Char(':') + h, values_.value(h.toLower()));
    if (!q.exec()) {
        const QSqlError e = q.lastError();
        conn_->fail(e, this, cause);
    }
    rowsAffected_ = q.numRowsAffected();
    if (q.isSelect()) {
        const QSqlRecord rec = q.record();
        const int columns = rec.count();
        for (int c = 0; c < columns; ++c) {
            fields_.append(rec.fieldName(c));
            fieldIndex_.insert(rec.fieldName(c).toLower(), c);
        }
        while (q.next()) {
            QList<QVariant> row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row.append(q.value(c));
            rows_.append(std::move(row));
        }
        active_ = true;
    }
    q.finish();
    cursor_ = 0;
    eof_ = rows_.isEmpty();
}

void TDbQuery::close()
{
    active_ = false;
    fields_.clear();
    fieldIndex_.clear();
    rows_.clear();
    cursor_ = 0;
    eof_ = true;
    rowsAffected_ = -1;
}

void TDbQuery::first()
{
    cursor_ = 0;
    eof_ = rows_.isEmpty();
}

void TDbQuery::next()
{
    if (cursor_ + 1 < rows_.size())
        ++cursor_;
    else
        eof_ = true;
}

void TDbQuery::moveBy(int count)
{
    if (rows_.isEmpty() || count == 0)
        return;
    const qint64 target = qint64(cursor_) + count;
    if (target >= rows_.size()) {
        cursor_ = int(rows_.size()) - 1;
        eof_ = true;
    } else {
        cursor_ = int(qMax<qint64>(0, target));
        eof_ = false;
    }
}

bool TDbQuery::hasField(const QString& field) const
{
    return fieldIndex_.contains(field.toLower());
}

QVariant TDbQuery::value(const QString& field) const
{
    const auto it = fieldIndex_.constFind(field.toLower());
    if (it == fieldIndex_.cend())
        throw EDbError(0, 0, QStringLiteral("%1: field '%2' not found").arg(objectName(), field));
    if (rows_.isEmpty())
        return QVariant();
    return rows_.at(cursor_).at(*it);
}

int TDbQuery::asInteger(const QString& field) const
{
    const QVariant v = value(field);
    return v.isNull() ? 0 : v.toInt();
}

qint64 TDbQuery::asLargeInt(const QString& field) const
{
    const QVariant v = value(field);
    return v.isNull() ? 0 : v.toLongLong();
}

QString TDbQuery::asString(const QString& field) const
{
    const QVariant v = value(field);
    return v.isNull() ? QString(QStringLiteral("")) : v.toString();
}

QDateTime TDbQuery::asDateTime(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return QDateTime();
    const QDateTime dt = v.toDateTime();
    return dt.isValid() ? dt : QDateTime();
}

}  // namespace sor

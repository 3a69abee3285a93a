#include "data/DbQuery.h"

#include <QSet>
#include <mysql.h>
#include <vector>

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

namespace {

// Walks the placeholders of a statement: quoted text ('...', "...", `...`,
// [...]) holds no parameters, "::" is no parameter, and a name is letters,
// digits and "_". `found` gets the position of the colon, the end and the name.
template <typename Found>
void scanPlaceholders(const QString& text, Found found)
{
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
            found(i, end, text.mid(i + 1, end - i - 1));
            i = end;
        } else {
            if (ch == QLatin1Char('\'') || ch == QLatin1Char('"') || ch == QLatin1Char('`'))
                closing = ch;
            else if (ch == QLatin1Char('['))
                closing = QLatin1Char(']');
            ++i;
        }
    }
}

}  // namespace

QStringList statementParamNames(const QString& text)
{
    QStringList names;
    scanPlaceholders(text, [&](qsizetype, qsizetype, const QString& name) {
        if (!names.contains(name))
            names.append(name);
    });
    return names;
}

PositionalStatement positionalStatement(const QString& text)
{
    PositionalStatement st;
    qsizetype copied = 0;
    scanPlaceholders(text, [&](qsizetype from, qsizetype to, const QString& name) {
        st.text += QStringView(text).mid(copied, from - copied);
        st.text += QLatin1Char('?');
        st.names.append(name);
        copied = to;
    });
    st.text += QStringView(text).mid(copied);
    return st;
}

// A statement prepared on the server, with the names of its marks in order.
struct TDbQuery::Prepared
{
    QString text;
    quint64 generation;
    QStringList names;
    MYSQL_STMT* stmt = nullptr;

    Prepared(QString t, quint64 g, QStringList n, MYSQL_STMT* s)
        : text(std::move(t)), generation(g), names(std::move(n)), stmt(s)
    {
    }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    ~Prepared()
    {
        // On a connection that is gone the library sends nothing.
        if (stmt)
            mysql_stmt_close(stmt);
    }
};

namespace {

// A parameter value as the client library takes it; the buffers live as long
// as the execution.
struct ParamBuffer
{
    long long number = 0;
    QByteArray text;
};

bool isIntegerType(enum_field_types t)
{
    switch (t) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONGLONG:
    case MYSQL_TYPE_YEAR:
    case MYSQL_TYPE_BIT:
        return true;
    default:
        return false;
    }
}

bool isTimeType(enum_field_types t)
{
    return t == MYSQL_TYPE_DATETIME || t == MYSQL_TYPE_TIMESTAMP || t == MYSQL_TYPE_DATE || t == MYSQL_TYPE_TIME;
}

bool isRealType(enum_field_types t)
{
    return t == MYSQL_TYPE_FLOAT || t == MYSQL_TYPE_DOUBLE || t == MYSQL_TYPE_DECIMAL || t == MYSQL_TYPE_NEWDECIMAL;
}

// The binary character set: the bytes of a BLOB or BINARY column.
constexpr unsigned kBinaryCharset = 63;

// One column of a fetched row.
struct ColumnBuffer
{
    long long number = 0;
    MYSQL_TIME time{};
    QByteArray bytes;
    unsigned long length = 0;
    my_bool isNull = 0;
    my_bool error = 0;
};

// A field as the game reads it: integers as numbers, times as date-times (the
// zero date as an invalid one), texts as text, NULL as "not set".
QVariant fieldValue(const MYSQL_FIELD& f, const ColumnBuffer& c)
{
    if (c.isNull)
        return QVariant();
    const bool isUnsigned = f.flags & UNSIGNED_FLAG;
    if (isIntegerType(f.type)) {
        if (f.type == MYSQL_TYPE_LONGLONG)
            return isUnsigned ? QVariant(qulonglong(c.number)) : QVariant(qlonglong(c.number));
        if (f.type == MYSQL_TYPE_LONG && isUnsigned)
            return QVariant(uint(c.number));
        return QVariant(int(c.number));
    }
    if (isTimeType(f.type)) {
        const MYSQL_TIME& t = c.time;
        if (f.type == MYSQL_TYPE_TIME)
            return QVariant(QTime(int(t.hour), int(t.minute), int(t.second), int(t.second_part / 1000)));
        const QDate date(int(t.year), int(t.month), int(t.day));
        if (f.type == MYSQL_TYPE_DATE)
            return QVariant(date);
        // Labelled local, as the server's values are: only differences between
        // server values are taken.
        return QVariant(QDateTime(date, QTime(int(t.hour), int(t.minute), int(t.second), int(t.second_part / 1000))));
    }
    const QByteArray bytes = c.bytes.left(qsizetype(c.length));
    if (isRealType(f.type))
        return QVariant(bytes.toDouble());
    if (f.charsetnr == kBinaryCharset &&
        (f.type == MYSQL_TYPE_BLOB || f.type == MYSQL_TYPE_TINY_BLOB || f.type == MYSQL_TYPE_MEDIUM_BLOB ||
         f.type == MYSQL_TYPE_LONG_BLOB || f.type == MYSQL_TYPE_STRING || f.type == MYSQL_TYPE_VAR_STRING))
        return QVariant(bytes);
    return QVariant(QString::fromUtf8(bytes));
}

}  // namespace

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

TDbQuery::Prepared& TDbQuery::prepared()
{
    const QString text = sqlText();
    const quint64 gen = conn_->generation();
    for (auto it = prepared_.begin(); it != prepared_.end(); ++it) {
        if (it->text == text && it->generation == gen) {
            prepared_.splice(prepared_.begin(), prepared_, it);
            return prepared_.front();
        }
    }
    PositionalStatement positional = positionalStatement(text);
    MYSQL_STMT* stmt = mysql_stmt_init(conn_->mysql_);
    if (!stmt)
        conn_->failHandle(this, clExecute);
    const my_bool yes = 1;
    // The longest value of each column is measured as the rows arrive, so that
    // every field is read in one go.
    mysql_stmt_attr_set(stmt, STMT_ATTR_UPDATE_MAX_LENGTH, &yes);
    const QByteArray sql = positional.text.toUtf8();
    if (mysql_stmt_prepare(stmt, sql.constData(), (unsigned long)sql.size()) != 0) {
        const int n = int(mysql_stmt_errno(stmt));
        const QString message = QString::fromUtf8(mysql_stmt_error(stmt));
        mysql_stmt_close(stmt);
        conn_->fail(n, message, this, clExecute);
    }
    prepared_.emplace_front(text, gen, std::move(positional.names), stmt);
    while (prepared_.size() > kPreparedPerQuery)
        prepared_.pop_back();
    return prepared_.front();
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
    Prepared& p = prepared();
    MYSQL_STMT* stmt = p.stmt;
    const auto failStmt = [&] {
        const int n = int(mysql_stmt_errno(stmt));
        const QString message = QString::fromUtf8(mysql_stmt_error(stmt));
        mysql_stmt_free_result(stmt);
        conn_->fail(n, message, this, cause);
    };

    // The values, one for each mark (a name used twice fills two).
    const qsizetype marks = p.names.size();
    std::vector<ParamBuffer> values(static_cast<std::size_t>(marks));
    std::vector<MYSQL_BIND> binds(static_cast<std::size_t>(marks));
    for (qsizetype i = 0; i < marks; ++i) {
        const QVariant v = values_.value(p.names.at(i).toLower());
        MYSQL_BIND& b = binds[std::size_t(i)];
        ParamBuffer& buf = values[std::size_t(i)];
        b = MYSQL_BIND{};
        if (v.isNull()) {
            b.buffer_type = MYSQL_TYPE_NULL;
        } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
            buf.number = v.toLongLong();
            b.buffer_type = MYSQL_TYPE_LONGLONG;
            b.buffer = &buf.number;
        } else {
            buf.text = v.toString().toUtf8();
            b.buffer_type = MYSQL_TYPE_STRING;
            b.buffer = buf.text.data();
            b.buffer_length = (unsigned long)buf.text.size();
        }
    }
    if (marks > 0 && mysql_stmt_bind_param(stmt, binds.data()) != 0)
        failStmt();
    if (mysql_stmt_execute(stmt) != 0)
        failStmt();

    // The rows, all read into the object; then whatever else the statement
    // returned (a procedure ends with a status of its own), so that the
    // connection is free for the next statement.
    bool firstResult = true;
    for (;;) {
        const unsigned columns = mysql_stmt_field_count(stmt);
        if (columns > 0) {
            if (mysql_stmt_store_result(stmt) != 0)
                failStmt();
            MYSQL_RES* meta = mysql_stmt_result_metadata(stmt);
            const MYSQL_FIELD* fields = meta ? mysql_fetch_fields(meta) : nullptr;
            if (firstResult && fields) {
                std::vector<ColumnBuffer> cols(columns);
                std::vector<MYSQL_BIND> out(columns);
                for (unsigned c = 0; c < columns; ++c) {
                    const MYSQL_FIELD& f = fields[c];
                    const QString name = QString::fromUtf8(f.name);
                    fields_.append(name);
                    fieldIndex_.insert(name.toLower(), int(c));
                    MYSQL_BIND& b = out[c];
                    b = MYSQL_BIND{};
                    b.is_null = &cols[c].isNull;
                    b.length = &cols[c].length;
                    b.error = &cols[c].error;
                    if (isIntegerType(f.type)) {
                        b.buffer_type = MYSQL_TYPE_LONGLONG;
                        b.buffer = &cols[c].number;
                        b.is_unsigned = (f.flags & UNSIGNED_FLAG) ? 1 : 0;
                    } else if (isTimeType(f.type)) {
                        b.buffer_type = f.type;
                        b.buffer = &cols[c].time;
                        b.buffer_length = sizeof(MYSQL_TIME);
                    } else {
                        cols[c].bytes.resize(qsizetype(f.max_length) + 1);
                        b.buffer_type = MYSQL_TYPE_STRING;
                        b.buffer = cols[c].bytes.data();
                        b.buffer_length = (unsigned long)cols[c].bytes.size();
                    }
                }
                if (mysql_stmt_bind_result(stmt, out.data()) != 0) {
                    mysql_free_result(meta);
                    failStmt();
                }
                for (;;) {
                    const int r = mysql_stmt_fetch(stmt);
                    if (r == MYSQL_NO_DATA)
                        break;
                    if (r == 1) {
                        mysql_free_result(meta);
                        failStmt();
                    }
                    QList<QVariant> row;
                    row.reserve(columns);
                    for (unsigned c = 0; c < columns; ++c)
                        row.append(fieldValue(fields[c], cols[c]));
                    rows_.append(std::move(row));
                }
                active_ = true;
                rowsAffected_ = int(rows_.size());
                firstResult = false;
            }
            if (meta)
                mysql_free_result(meta);
            mysql_stmt_free_result(stmt);
        } else if (firstResult) {
            rowsAffected_ = int(mysql_stmt_affected_rows(stmt));
            firstResult = false;
        }
        const int more = mysql_stmt_next_result(stmt);
        if (more == -1)
            break;
        if (more > 0)
            failStmt();
    }
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

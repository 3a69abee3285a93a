#pragma once
// How database failures travel.
//
// Every failure of a statement or of the connection is reported once, by the
// connection's error report (TDataModule1::UniConnection1Error), and then thrown
// to the caller:
//  - EDbAbort when the report handled it (its message, if any, has been shown):
//    the caller's operation ends quietly - roll back, add no message of your own;
//  - EDbError when the report did not handle it: it carries the MySQL error number
//    and the client's message text.
// A caller that only needs "on any error roll back and go on" catches
// std::exception (see TDbConnection::runTransaction).

#include <QString>
#include <exception>
#include <string>
#include <utility>

namespace sor {

// MySQL error numbers that the error report knows by name.
enum : int {
    erDuplicateEntry = 1062,  // duplicate entry for a unique key
    erCannotConnect = 2003,   // cannot connect to the server
    erConnectionLost = 2013,  // connection lost during a query
    erNotVerified = 2026,     // TLS refused while connecting: no TLS, or a certificate not trusted
    erParamsNotBound = 2031,  // no data supplied for a parameter of the statement
};

// True for the numbers by which libmariadb and the server tell that the
// connection is gone (2013, 2006, 2055, a killed or timed-out connection; over
// TLS, 2026 once connected: a dropped connection reads as "unexpected eof").
bool isConnectionLossNumber(int nativeNumber);

// The number of the error report's table for what the client said: a refused or
// unreachable server (2002, 2003, 2005, and any loss while connecting) is 2003, a
// lost connection 2013; a TLS failure while connecting (2026: the server offers
// no TLS, or its certificate is not of the trusted CA or not for this host) is
// 2026, unless it is only the connection ending (2003 then); everything else
// keeps its own number.
int reportNumber(int nativeNumber, bool whileConnecting, const QString& message = QString());

class EDbError : public std::exception
{
public:
    EDbError(int number, int nativeNumber, QString message);

    int number() const { return number_; }              // as the error report knows it
    int nativeNumber() const { return nativeNumber_; }  // as the client library said it
    const QString& message() const { return message_; } // the client's message text
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    int nativeNumber_;
    QString message_;
    std::string what_;
};

// The operation failed and the error report has dealt with it. Not a message to show.
class EDbAbort : public std::exception
{
public:
    explicit EDbAbort(EDbError cause) : cause_(std::move(cause)) {}
    const EDbError& cause() const { return cause_; }
    const char* what() const noexcept override { return "the database operation was aborted"; }

private:
    EDbError cause_;
};

}  // namespace sor

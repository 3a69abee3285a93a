#pragma once
// A speech-dispatcher of the test's own: its own folder, socket and
// configuration, playing to the ALSA null device, logging the protocol of every
// client. Never the user's server. Stopped by its process id when the object goes.
//
//   sortest::PrivateSpeechDispatcher spd;
//   QVERIFY2(spd.start(), qPrintable(spd.error()));
//   sor::SpeechDispatcherEngine engine({spd.socketPath(), false});
//   ...
//   QVERIFY(spd.waitFor([](const QStringList& p) { return p.contains("SPEAK Привет"); }));
//
// protocol() lists the commands the server received, one SSIP command a line as
// sent ("SET SELF RATE 50", "CANCEL SELF"), except that a text to speak is one
// entry "SPEAK " + the text (several lines joined with "\n").

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace sortest {

class PrivateSpeechDispatcher
{
public:
    PrivateSpeechDispatcher();
    ~PrivateSpeechDispatcher();

    // Starts the server and waits until it accepts connections.
    bool start(int timeoutMs = 30000);
    void stop();
    QString error() const { return error_; }

    QString socketPath() const;
    QString address() const { return QStringLiteral("unix_socket:") + socketPath(); }  // for SPEECHD_ADDRESS

    QStringList protocol() const;
    // Polls protocol() until `done` holds; false after the timeout.
    bool waitFor(const std::function<bool(const QStringList&)>& done, int timeoutMs = 60000) const;

    // Parses a protocol log (exposed for its own test).
    static QStringList parseLog(const QByteArray& log);

private:
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    QString error_;
};

}  // namespace sortest

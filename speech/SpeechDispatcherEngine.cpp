#include "speech/SpeechDispatcherEngine.h"

#include <speech-dispatcher/libspeechd.h>

#include <QMetaObject>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace sor {

using Clock = std::chrono::steady_clock;

namespace {

struct Request
{
    enum Kind { Voice, Volume, Rate, Speak, Purge } kind;
    QByteArray text;
    int value = 0;
};

}  // namespace

struct SpeechDispatcherEngine::Shared
{
    Options options;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Request> queue;
    bool stop = false;
    bool busy = false;
    bool finished = false;
    SpeechDispatcherEngine* owner = nullptr;  // emptied first thing when the engine goes

    // Worker thread only.
    SPDConnection* connection = nullptr;
    std::optional<QByteArray> voice;
    std::optional<int> volume;
    std::optional<int> rate;
    bool lastAttemptFailed = false;
    Clock::time_point lastAttempt;

    // Hands the voice list to the engine on its own (GUI) thread, unless the
    // engine is already gone.
    void deliverVoices(const QStringList& names)
    {
        std::lock_guard lock(mutex);
        if (SpeechDispatcherEngine* engine = owner)
            QMetaObject::invokeMethod(
                engine, [engine, names] { engine->takeVoices(names); }, Qt::QueuedConnection);
    }
};

namespace {

using Shared = SpeechDispatcherEngine::Shared;

void closeConnection(Shared& s)
{
    if (s.connection) {
        spd_close(s.connection);
        s.connection = nullptr;
    }
}

// Applies what the player chose to a fresh connection; false when it broke.
bool applySettings(Shared& s)
{
    if (s.voice && spd_set_synthesis_voice(s.connection, s.voice->constData()) != 0)
        return false;
    if (s.volume && spd_set_volume(s.connection, *s.volume) != 0)
        return false;
    if (s.rate && spd_set_voice_rate(s.connection, *s.rate) != 0)
        return false;
    return true;
}

void setTimeouts(int fd, int ms)
{
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool openConnection(Shared& s)
{
    s.lastAttempt = Clock::now();
    s.lastAttemptFailed = true;
    QByteArray socketPath = s.options.unixSocket.toLocal8Bit();
    SPDConnectionAddress address{};
    SPDConnectionAddress* where = nullptr;
    if (!socketPath.isEmpty()) {
        address.method = SPD_METHOD_UNIX_SOCKET;
        address.unix_socket_name = socketPath.data();
        where = &address;
    }
    char* error = nullptr;
    s.connection = spd_open2("sorventa", "main", nullptr, SPD_MODE_SINGLE, where,
                             s.options.autospawn ? 1 : 0, &error);
    std::free(error);
    if (!s.connection)
        return false;
    // A server that stops answering must not hold the worker for ever.
    setTimeouts(s.connection->socket, s.options.replyTimeoutMs);
    if (!applySettings(s)) {
        closeConnection(s);
        return false;
    }
    s.lastAttemptFailed = false;
    return true;
}

// Reopens a lost connection at once; after a failed attempt the next one waits
// for the reconnect interval (no server: no storm of attempts, one per keypress),
// unless `now` is set (right after a loss, when the server may have restarted).
bool ensureConnection(Shared& s, bool now = false)
{
    if (s.connection)
        return true;
    if (!now && s.lastAttemptFailed &&
        Clock::now() - s.lastAttempt < std::chrono::milliseconds(s.options.reconnectIntervalMs))
        return false;
    return openConnection(s);
}

bool isPlainVoice(const char* name, const char* variant)
{
    return name && *name && (!variant || !*variant || std::strcmp(variant, "none") == 0);
}

// A plain socket to the server at the address libspeechd would use; -1 if none.
int connectDirect(const Shared& s)
{
    SPDConnectionAddress* found = nullptr;
    SPDConnectionAddress given{};
    QByteArray socketPath = s.options.unixSocket.toLocal8Bit();
    if (!socketPath.isEmpty()) {
        given.method = SPD_METHOD_UNIX_SOCKET;
        given.unix_socket_name = socketPath.data();
    } else {
        char* error = nullptr;
        found = spd_get_default_address(&error);
        std::free(error);
        if (!found)
            return -1;
    }
    const SPDConnectionAddress& a = found ? *found : given;
    int fd = -1;
    if (a.method == SPD_METHOD_UNIX_SOCKET && a.unix_socket_name) {
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        if (std::strlen(a.unix_socket_name) < sizeof where.sun_path) {
            std::strcpy(where.sun_path, a.unix_socket_name);
            fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
                ::close(fd);
                fd = -1;
            }
        }
    } else if (a.method == SPD_METHOD_INET_SOCKET && a.inet_socket_host) {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const QByteArray port = QByteArray::number(a.inet_socket_port);
        if (getaddrinfo(a.inet_socket_host, port.constData(), &hints, &list) == 0) {
            for (addrinfo* i = list; i && fd < 0; i = i->ai_next) {
                fd = ::socket(i->ai_family, i->ai_socktype | SOCK_CLOEXEC, i->ai_protocol);
                if (fd >= 0 && ::connect(fd, i->ai_addr, i->ai_addrlen) != 0) {
                    ::close(fd);
                    fd = -1;
                }
            }
            freeaddrinfo(list);
        }
    }
    if (found)
        SPDConnectionAddress__free(found);
    return fd;
}

// Sends one command and reads its reply lines ("NNN-..." up to "NNN ...");
// false on any failure or an error reply.
bool command(int fd, QByteArray& pending, const QByteArray& line, QList<QByteArray>& reply)
{
    const QByteArray out = line + "\r\n";
    if (::send(fd, out.constData(), size_t(out.size()), MSG_NOSIGNAL) != out.size())
        return false;
    reply.clear();
    char buffer[65536];
    for (;;) {
        qsizetype end;
        while ((end = pending.indexOf("\r\n")) >= 0) {
            const QByteArray got = pending.left(end);
            pending.remove(0, end + 2);
            if (got.size() < 4)
                return false;
            if (got.at(3) == ' ')
                return got.at(0) == '2';
            reply.append(got.mid(4));
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        pending.append(buffer, n);
    }
}

// The list read straight from the server: libspeechd's own reader takes over a
// second longer on the 13,000 lines.
bool listVoicesDirect(const Shared& s, QStringList& names)
{
    const int fd = connectDirect(s);
    if (fd < 0)
        return false;
    setTimeouts(fd, s.options.replyTimeoutMs);
    QByteArray pending;
    QList<QByteArray> reply;
    const bool ok = command(fd, pending, "SET SELF CLIENT_NAME \"sorventa:sorventa:voices\"", reply) &&
                    command(fd, pending, "LIST SYNTHESIS_VOICES", reply);
    if (ok) {
        for (QByteArray& line : reply) {
            const QList<QByteArray> fields = line.split('\t');
            const QByteArray variant = fields.size() > 2 ? fields.at(2) : QByteArray();
            if (isPlainVoice(fields.at(0).constData(), variant.constData()))
                names.append(QString::fromUtf8(fields.at(0)));
        }
        command(fd, pending, "QUIT", reply);
    }
    ::close(fd);
    return ok;
}

QStringList listVoices(Shared& s)
{
    QStringList names;
    if (listVoicesDirect(s, names))
        return names;
    names.clear();
    SPDVoice** list = spd_list_synthesis_voices(s.connection);
    if (!list) {
        closeConnection(s);
        return names;
    }
    for (int i = 0; list[i]; ++i)
        if (isPlainVoice(list[i]->name, list[i]->variant))
            names.append(QString::fromUtf8(list[i]->name));
    free_spd_voices(list);
    return names;
}

void execute(Shared& s, const Request& r)
{
    switch (r.kind) {
    case Request::Voice:
        s.voice = r.text;
        if (s.connection && spd_set_synthesis_voice(s.connection, r.text.constData()) != 0)
            closeConnection(s);
        break;
    case Request::Volume:
        s.volume = r.value;
        if (s.connection && spd_set_volume(s.connection, r.value) != 0)
            closeConnection(s);
        break;
    case Request::Rate:
        s.rate = r.value;
        if (s.connection && spd_set_voice_rate(s.connection, r.value) != 0)
            closeConnection(s);
        break;
    case Request::Speak:
        if (!ensureConnection(s))
            break;
        if (spd_say(s.connection, SPD_MESSAGE, r.text.constData()) < 0) {
            // The server may have been restarted: one more try on a new connection.
            closeConnection(s);
            if (ensureConnection(s, true) && spd_say(s.connection, SPD_MESSAGE, r.text.constData()) < 0)
                closeConnection(s);
        }
        break;
    case Request::Purge:
        // Nothing of ours is queued on a connection that is gone.
        if (s.connection && spd_cancel(s.connection) != 0)
            closeConnection(s);
        break;
    }
}

void run(std::shared_ptr<Shared> shared)
{
    Shared& s = *shared;
    // Writing to a server that went away must fail the call, not end the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    QStringList names;
    if (openConnection(s))
        names = listVoices(s);
    s.deliverVoices(names);

    for (;;) {
        Request r;
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait(lock, [&] { return s.stop || !s.queue.empty(); });
            if (s.stop)
                break;
            r = std::move(s.queue.front());
            s.queue.pop_front();
            s.busy = true;
        }
        execute(s, r);
        {
            std::lock_guard lock(s.mutex);
            s.busy = false;
        }
        s.wake.notify_all();
    }
    closeConnection(s);
    {
        std::lock_guard lock(s.mutex);
        s.finished = true;
    }
    s.wake.notify_all();
}

}  // namespace

SpeechDispatcherEngine::SpeechDispatcherEngine() : SpeechDispatcherEngine(Options{}) {}

SpeechDispatcherEngine::SpeechDispatcherEngine(Options options) : d_(std::make_shared<Shared>())
{
    d_->options = std::move(options);
    d_->owner = this;
    worker_ = std::thread(run, d_);
}

SpeechDispatcherEngine::~SpeechDispatcherEngine()
{
    {
        std::lock_guard lock(d_->mutex);
        d_->owner = nullptr;
        d_->stop = true;
        d_->queue.clear();
    }
    d_->wake.notify_all();
    // A worker stuck in a call to a server that does not answer is left behind
    // (it owns its state); the program's end must not wait for it.
    std::unique_lock lock(d_->mutex);
    if (d_->wake.wait_for(lock, std::chrono::seconds(2), [&] { return d_->finished; })) {
        lock.unlock();
        worker_.join();
    } else {
        lock.unlock();
        worker_.detach();
    }
}

void SpeechDispatcherEngine::takeVoices(const QStringList& voices)
{
    if (known_)
        return;
    voices_ = voices;
    known_ = true;
    emit voicesReady();
}

namespace {

void post(Shared& s, Request r)
{
    {
        std::lock_guard lock(s.mutex);
        if (r.kind == Request::Purge) {
            // Texts not yet handed to the server would be dropped by it anyway.
            std::erase_if(s.queue, [](const Request& q) { return q.kind == Request::Speak; });
        }
        s.queue.push_back(std::move(r));
    }
    s.wake.notify_all();
}

}  // namespace

bool SpeechDispatcherEngine::select(int index)
{
    if (index < 0 || index >= voices_.size())
        return false;
    post(*d_, {Request::Voice, voices_.at(index).toUtf8(), 0});
    return true;
}

void SpeechDispatcherEngine::setVolume(int percent)
{
    post(*d_, {Request::Volume, {}, qBound(0, percent, 100)});
}

void SpeechDispatcherEngine::setRate(int rate)
{
    post(*d_, {Request::Rate, {}, qBound(-10, rate, 10) * 10});
}

void SpeechDispatcherEngine::speak(const QString& text)
{
    post(*d_, {Request::Speak, text.toUtf8(), 0});
}

void SpeechDispatcherEngine::purge()
{
    post(*d_, {Request::Purge, {}, 0});
}

bool SpeechDispatcherEngine::flush(int timeoutMs)
{
    std::unique_lock lock(d_->mutex);
    return d_->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return d_->finished || (d_->queue.empty() && !d_->busy); });
}

}  // namespace sor

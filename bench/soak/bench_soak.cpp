// Many players on one game server: what one server holds, and whether answers
// survive a server that is killed and restarted in the middle of play.
//
//   bench_soak --players N --seconds S [--kill-every K] [--pace P] [--ramp R] [--keep DIR]
//
// Starts a game server of its own (scripts/game-server, in a temporary folder),
// makes N player accounts, and runs each player as a process of its own (this
// program again, with --player): its own data module and connection, logged in
// by the login's own procedure, playing through the game itself (TGame with a
// view of its own, no window) as the main window drives it, with the real
// one-second hold after every verdict. The game's data module, session context,
// speech and message seams are single per process, so one process is one player.
//
// Every timer of a player is a precise one, and the driver's signals reach it
// through a pipe: players on machines of their own do not tick together, while
// on one machine coarse timers would wake hundreds of them at the same instants
// and each step would queue behind all the others.
//
// Each player answers every P seconds (default 5) with a variant at random and
// keeps a journal of what it was told: the start prompts it confirmed, the
// questions it was asked, the verdicts it heard, the reports, the messages.
// After a ramp of R seconds and a warm-up, the figures are taken over S seconds:
//   answers per second; the step's server part (an answer chosen until the next
//   question is on the panels, the hold left out) at p50, p95 and p99; the
//   server's CPU; the players' CPU, per player.
//
// With --kill-every K the server is killed (SIGKILL) and started again every K
// seconds, and between those kills single client connections are killed at
// random moments (one in the middle of a write when there is one). Then, with
// the players stopped (each between two steps, as a player closes the game),
// the server's rows are compared with every journal:
//   lost     an answer whose verdict the player heard that is not stored as
//            heard (missing, or stored with the other verdict; for an earlier
//            game, the report's counts lower than the verdicts heard);
//   doubled  an answer stored twice, or a question asked again in a game after
//            its verdict was heard;
//   wiped    a new game offered over a game in progress, or a tour the player
//            played whose start stamp is gone;
// and, on a line of their own, tours whose stamps are out of order and answer
// rows of an earlier game left in the current one. A tour counts as begun at its
// first question. Each fault counted is listed, with its player, in faults.txt
// of the run's folder (see --keep). The last line is
//   answers A, lost L, doubled D, wiped W, step p95 X ms
// and the exit is non-zero unless every check is 0.

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QSocketNotifier>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "BenchKit.h"
#include "accounts/LoginProcedure.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "data/ReconnectUi.h"
#include "game/GameCore.h"
#include "platform/Hold.h"
#include "platform/PlainMessage.h"
#include "platform/Process.h"
#include "speech/MessageDlg.h"
#include "speech/SpeechRoutines.h"
#include "support/TestServer.h"

extern char** environ;

namespace {

using benchkit::exec;

const QString kPassword = QStringLiteral("sorventa");

QString playerEmail(int i)
{
    return QStringLiteral("soak%1@tavrek.example").arg(i);
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// ==== one player =====================================================================

volatile std::sig_atomic_t gWindowSignal = 0;  // SIGUSR1: the measured window begins
volatile std::sig_atomic_t gStopSignal = 0;    // SIGTERM: stop between two steps
// The signals wake the player's event loop through this pipe, so that no player
// wakes on a timer of its own to look for them.
int gSignalPipe[2] = {-1, -1};

void noteSignal(int sig)
{
    if (sig == SIGUSR1)
        gWindowSignal = 1;
    else
        gStopSignal = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

class Journal
{
public:
    bool open(const QString& path)
    {
        // Fully buffered: the lines of a step (its question, its verdict) are
        // written out when the event loop is next free (after the step, or in
        // its hold), so the step's time holds no journal writes.
        f_ = std::fopen(qPrintable(path), "w");
        return f_ != nullptr;
    }
    // One line: the wall clock in ms, the kind, the fields, tab-separated.
    void line(const char* kind, const QStringList& fields = {})
    {
        QString text = QString::number(nowMs()) + QLatin1Char('\t') + QLatin1String(kind);
        for (QString f : fields)
            text += QLatin1Char('\t') + f.replace(QLatin1Char('\t'), QLatin1Char(' '))
                                            .replace(QLatin1Char('\n'), QLatin1Char('|'))
                                            .replace(QLatin1Char('\r'), QString());
        std::fprintf(f_, "%s\n", text.toUtf8().constData());
        if (!flushQueued_) {
            flushQueued_ = true;
            QTimer::singleShot(0, [this] { flush(); });
        }
    }
    void flush()
    {
        flushQueued_ = false;
        std::fflush(f_);
    }

private:
    FILE* f_ = nullptr;
    bool flushQueued_ = false;
};

// This process's share of the memory in kB (its own pages, and its share of
// the pages it has in common with the other players); -1 when unknown.
long pssKb()
{
    return benchkit::procKb(QStringLiteral("/proc/self/smaps_rollup"), QByteArrayLiteral("Pss:"));
}

class Player;

// The main window as the game sees it, without a window.
class PlayerView : public sor::TGameView
{
public:
    explicit PlayerView(Player& p) : p_(p) {}
    QString question, answers[5], led;
    double holdMs = 0;  // of the hold in the step under way

    QString questionCaption() const override { return question; }
    void setQuestionCaption(const QString& text) override { question = text; }
    QString answerCaption(int n) const override { return n >= 1 && n <= 4 ? answers[n] : QString(); }
    void setAnswerCaption(int n, const QString& text) override;
    void setTourCaption(const QString& text) override;
    void setQuestNumCaption(const QString&) override {}
    QString ledCaption() const override { return led; }
    void setLedCaption(const QString& text) override { led = text; }
    void setAnswerLook(sor::TAnswerLook, int) override {}
    void setSpeechSwitchMark(bool) override {}
    bool startPromptOpen() const override { return promptOpen_; }
    int showStartPrompt(const QString& caption) override;
    bool pauseSeconds(int seconds) override
    {
        QElapsedTimer t;
        t.start();
        const bool alive = sor::PauseSeconds(nullptr, seconds);
        holdMs += benchkit::ms(t);
        return alive;
    }
    QObject* messageOwner() override { return nullptr; }
    void flushKeyboard() override {}

private:
    Player& p_;
    bool promptOpen_ = false;
};

class Player : public sor::SpeechBackend
{
public:
    Player(int index, const sortest::ClientParams& params, int paceMs, const QString& journal)
        : index_(index), params_(params), paceMs_(paceMs), view_(*this)
    {
        if (!journal_.open(journal)) {
            std::fprintf(stderr, "player %d: no journal %s\n", index, qPrintable(journal));
            std::exit(2);
        }
    }

    Journal& journal() { return journal_; }
    sor::TGame* game() { return game_.get(); }
    bool stopping() const { return stopping_; }
    bool expectStart = true;  // a new game is what the player asked for

    int run()
    {
        sor::setSpeechBackend(this);
        sor::setMessageDlgImpl([this](QObject*, const QString& text, const QString& caption, int buttons) {
            return message(text, caption, buttons);
        });
        sor::setPlainMessageImpl([this](const QString& text) { journal_.line("plain", {text}); });
        sor::setHaltHandler([this] {
            // Only a start prompt cancelled while the player quits ends the program.
            journal_.line(stopping_ ? "quit" : "halt");
            finish();
            std::_Exit(stopping_ ? 0 : 3);
        });
        sor::setReconnectUi(std::make_unique<Reconnect>(*this));

        dm_ = std::make_unique<TDataModule1>(params_);
        // The server may be starting again: the player tries again, as after
        // "Отсутствует связь с базой данных!".
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            bool loggedIn = false;
            if (dm_->PrepareConnection()) {
                try {
                    loggedIn = sor::fLoginQuery(*dm_, playerEmail(index_), sor::md5(kPassword)) != sor::lrNoAccount;
                } catch (const std::exception&) {
                }
            }
            if (loggedIn)
                break;
            if (waited.elapsed() > 120000 || gStopSignal) {
                journal_.line("nologin");
                return 4;
            }
            dm_->UniConnection1.close();
            QThread::msleep(1000);
        }
        journal_.line("login", {QString::number(CurrentUserID)});

        game_ = std::make_unique<sor::TGame>(view_);
        // Players on machines of their own tick each on their own clock. On one
        // machine, coarse timers would wake every player at the same instants
        // (the 100 ms look at the tour clock here, the pace below), and each
        // player's step would queue behind hundreds of others' wake-ups.
        game_->Timer1->setTimerType(Qt::PreciseTimer);
        try {
            game_->OpenStatusRow();  // FormCreate
        } catch (const std::exception&) {
        }
        activate();

        QSocketNotifier signalNotifier(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, [this] {
            char bytes[16];
            while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
            }
            pollSignals();
        });
        // Looks again until a player that is stopping is between two steps.
        stopCheck_.setInterval(50);
        stopCheck_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&stopCheck_, &QTimer::timeout, [this] { pollSignals(); });
        pollSignals();  // a signal that came before the loop

        QTimer pace;
        pace.setTimerType(Qt::PreciseTimer);
        pace.setInterval(paceMs_);
        QObject::connect(&pace, &QTimer::timeout, [this] { answer(); });
        const int phase = int(QRandomGenerator::global()->bounded(paceMs_));
        QTimer::singleShot(phase, Qt::PreciseTimer, [&pace, this] {
            pace.start();
            answer();
        });
        const int rc = QCoreApplication::exec();
        finish();
        return rc;
    }

    // The window activated: the captions emptied, the stored state entered.
    void activate()
    {
        // Cleared first: a player stopping with an activation still queued
        // would otherwise never count as idle, and never stop by itself.
        activationQueued_ = false;
        if (stopping_)
            return;
        journal_.line("activate");
        game_->AssignTableNames();
        view_.setQuestionCaption(QString());
        for (int n = 1; n <= 4; ++n)
            view_.setAnswerCaption(n, QString());
        game_->EnterStoredState();
    }
    void queueActivation()
    {
        if (activationQueued_)
            return;
        activationQueued_ = true;
        QTimer::singleShot(0, [this] { activate(); });
    }

    // The next question is on the panels.
    void asked()
    {
        const TCurQuestion& q = game_->CurrentQuestion();
        journal_.line("ask", {QString::number(q.iID), QString::number(game_->TurCurent()),
                              QString::number(game_->QuestNum())});
        ++asks_;
        if (!ready_) {
            ready_ = true;
            journal_.line("ready");
        }
    }

    bool SpeechOutEx(const QString& text) override
    {
        const bool right = text == QStringLiteral("Правильно. ");
        if (right || text == QStringLiteral("Неправильно. ")) {
            const TCurQuestion& q = game_->CurrentQuestion();
            journal_.line("verdict", {QString::number(q.iID), right ? "1" : "0", QString::number(game_->TurCurent())});
            verdictHeard_ = true;
        }
        return true;
    }
    void SpeechStopEx() override {}

private:
    class Reconnect : public sor::ReconnectUi
    {
    public:
        explicit Reconnect(Player& p) : p_(p) {}
        QObject* createReconnectWindow() override { return new QObject; }
        QList<QPointer<QObject>> disableOtherWindows(QObject*) override { return {}; }
        void showReconnectWindow(QObject*) override { p_.journal_.line("reconnect-window"); }
        void enableWindows(const QList<QPointer<QObject>>&) override {}
        void closeReconnectWindow(QObject* w) override
        {
            delete w;
            // The main window has the focus again: it is activated.
            p_.journal_.line("reconnected");
            p_.queueActivation();
        }

    private:
        Player& p_;
    };

    int message(const QString& text, const QString& caption, int buttons)
    {
        ++messagesOpen_;
        if (text.startsWith(QStringLiteral("Игра закончена!"))) {
            // "Дано всего ответов: A, ... Дано правильных ответов: R."
            const auto number = [&](const QString& after) {
                const int at = text.indexOf(after);
                if (at < 0)
                    return -1;
                int i = at + after.size(), n = 0;
                bool any = false;
                while (i < text.size() && text.at(i).isDigit()) {
                    n = n * 10 + text.at(i++).digitValue();
                    any = true;
                }
                return any ? n : -1;
            };
            journal_.line("report", {QString::number(number(QStringLiteral("Дано всего ответов: "))),
                                     QString::number(number(QStringLiteral("Дано правильных ответов: ")))});
            expectStart = true;
        } else {
            journal_.line("msg", {caption, text});
        }
        --messagesOpen_;
        // Messages are read and closed; a question ("Закрыть прогграмму?") is declined.
        return (buttons & sor::mbOK) ? sor::mrOk : sor::mrNo;
    }

    void pollSignals()
    {
        if (gWindowSignal && !windowOpen_) {
            windowOpen_ = true;
            cpuAtWindow_ = benchkit::cpuSeconds();
            wallAtWindow_ = nowMs();
        }
        if (gStopSignal && !stopping_) {
            stopping_ = true;
            journal_.line("stopping");
            stopCheck_.start();
        }
        if (stopping_ && idle())
            QCoreApplication::exit(0);
    }

    bool idle() const
    {
        return !game_->StepUnderWay() && !sor::PauseActive() && messagesOpen_ == 0 && !activationQueued_;
    }

    // The player presses a digit, as on the desktop: refused by the game where
    // the window would refuse it.
    void answer()
    {
        if (stopping_ || !idle() || ReconnectWindow)
            return;
        if (game_->StGame() != gRunning || game_->NoQuestionYet())
            return;
        const int n = 1 + int(QRandomGenerator::global()->bounded(4));
        const QString caption = view_.answers[n];
        if (caption.isEmpty())
            return;
        view_.holdMs = 0;
        verdictHeard_ = false;
        const int asksBefore = asks_;
        QElapsedTimer t;
        t.start();
        if (!game_->ChooseAnswer(caption))
            return;
        const double step = benchkit::ms(t) - view_.holdMs;
        journal_.line("step", {QString::number(step, 'f', 3), verdictHeard_ ? "1" : "0",
                               asks_ != asksBefore ? "1" : "0"});
    }

    void finish()
    {
        if (finished_)
            return;
        finished_ = true;
        const double cpu = windowOpen_ ? benchkit::cpuSeconds() - cpuAtWindow_ : 0;
        const double wall = windowOpen_ ? double(nowMs() - wallAtWindow_) / 1000 : 0;
        journal_.line("cpu", {QString::number(cpu, 'f', 4), QString::number(wall, 'f', 3), QString::number(pssKb())});
        journal_.line("end");
        journal_.flush();
    }

    int index_;
    sortest::ClientParams params_;
    int paceMs_;
    Journal journal_;
    PlayerView view_;
    std::unique_ptr<TDataModule1> dm_;
    std::unique_ptr<sor::TGame> game_;
    bool stopping_ = false;
    bool activationQueued_ = false;
    QTimer stopCheck_;
    bool ready_ = false;
    bool windowOpen_ = false;
    bool finished_ = false;
    bool verdictHeard_ = false;
    int asks_ = 0;
    int messagesOpen_ = 0;
    double cpuAtWindow_ = 0;
    qint64 wallAtWindow_ = 0;

    friend class PlayerView;
};

void PlayerView::setAnswerCaption(int n, const QString& text)
{
    if (n < 1 || n > 4)
        return;
    answers[n] = text;
    // The fourth panel is filled last when a question is shown.
    if (n == 4 && !text.isEmpty())
        p_.asked();
}

void PlayerView::setTourCaption(const QString& text)
{
    p_.journal().line("tour", {text.mid(text.indexOf(QChar(u'№')) + 1)});
}

int PlayerView::showStartPrompt(const QString& caption)
{
    promptOpen_ = true;
    int result = 1;
    if (caption == QStringLiteral("Начать игру")) {
        if (p_.stopping()) {
            // Quitting: nothing new is started; Esc and "Закрыть прогграмму?" - yes.
            p_.journal().line("prompt-declined");
            result = sor::mrCancel;
        } else {
            p_.journal().line(p_.expectStart ? "start" : "start!");
            p_.expectStart = false;
        }
    } else {
        p_.journal().line("tour-prompt", {caption});
        if (p_.stopping())
            result = sor::mrCancel;
    }
    promptOpen_ = false;
    return result;
}

int playerMain(int argc, char** argv)
{
    int index = 0, port = 0, pace = 5000;
    QString journal, database = QStringLiteral("tavrekdb2");
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        const QString v = QString::fromLocal8Bit(argv[i + 1]);
        if (a == QLatin1String("--player"))
            index = v.toInt();
        else if (a == QLatin1String("--port"))
            port = v.toInt();
        else if (a == QLatin1String("--pace-ms"))
            pace = v.toInt();
        else if (a == QLatin1String("--journal"))
            journal = v;
    }
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("pipe2");
        return 2;
    }
    std::signal(SIGUSR1, noteSignal);
    std::signal(SIGTERM, noteSignal);
    QCoreApplication app(argc, argv);
    sortest::ClientParams p;
    p.port = port;
    p.database = database;
    p.ca = sortest::TestServer::caFile();
    Player player(index, p, pace, journal);
    return player.run();
}

// ==== the driver ===================================================================

struct Options
{
    int players = 10;
    int seconds = 60;
    int killEvery = 0;
    double pace = 5;
    int ramp = -1;
    QString keep;
};

// CPU seconds of process `pid` so far (0 when it cannot be read).
double processCpu(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray s = f.readAll();
    const int close = s.lastIndexOf(')');
    const QList<QByteArray> fields = s.mid(close + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    // utime and stime: fields 14 and 15 of the line, 12 and 13 after the name.
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

qint64 serverPid(const QString& dir)
{
    QFile f(dir + QStringLiteral("/mariadbd.pid"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromLatin1(f.readAll()).trimmed().toLongLong();
}

// The load average of the machine (the other programs on it count too).
QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

QSqlDatabase adminConnection(const QString& dir, const QString& name)
{
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    db.setHostName(QStringLiteral("localhost"));
    db.setUserName(QStringLiteral("root"));
    db.setDatabaseName(QStringLiteral("tavrekdb2"));
    db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + dir + QStringLiteral("/mariadbd.sock"));
    if (!db.isOpen())
        db.open();
    return db;
}

// One connection per player, and room for the admin's: the instance's own
// limit is for a handful of players. Set again after every start.
const int kStatementsPerPlayer = 16;  // 12 in use, and a margin

bool roomForPlayers(const QString& dir, int players)
{
    const QString name = QStringLiteral("room");
    bool ok = false;
    {
        QSqlDatabase admin = adminConnection(dir, name);
        ok = admin.isOpen() &&
             exec(admin, QStringLiteral("SET GLOBAL max_connections = %1").arg(std::max(200, players + 50))) &&
             // A player's connection holds a dozen prepared statements; the
             // server's default room (16,382) runs out at some 1,300 players.
             exec(admin, QStringLiteral("SET GLOBAL max_prepared_stmt_count = %1")
                             .arg(std::max(16382, kStatementsPerPlayer * (players + 50))));
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

struct Child
{
    int index = 0;
    pid_t pid = 0;
    QString journal;
    int status = -1;  // from waitpid, -1 while running
};

pid_t spawnPlayer(const QString& self, const Child& c, int port, int paceMs, const QString& errFile)
{
    const QByteArray sIndex = QByteArray::number(c.index), sPort = QByteArray::number(port),
                     sPace = QByteArray::number(paceMs), sJournal = c.journal.toLocal8Bit(),
                     sSelf = self.toLocal8Bit(), sErr = errFile.toLocal8Bit();
    const char* args[] = {sSelf.constData(), "--player", sIndex.constData(), "--port", sPort.constData(),
                          "--pace-ms", sPace.constData(), "--journal", sJournal.constData(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, sErr.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, sSelf.constData(), &fa, nullptr, const_cast<char**>(args), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : 0;
}

// What one journal says.
struct Game
{
    QHash<int, bool> verdicts;  // question -> right, as heard
    QList<int> asks;
    // Tours begun: a question of theirs was asked. (A tour's caption alone is
    // not enough: its start may fail, and the player is told so.)
    QSet<int> tours;
    QSet<int> shown;  // tours whose caption the player saw
    int reportAll = -1, reportRight = -1;
};

struct Told
{
    qint64 userId = 0;
    QList<Game> games;
    bool ended = false;
    bool halted = false;
    int unexpectedStarts = 0;
    int askedAgain = 0;
    double cpu = 0, cpuWall = 0;
    long rssKb = 0;
    QMap<QString, int> messages;
};

Told readJournal(const QString& path, qint64 from, qint64 to, benchkit::Figures& steps, int& answersInWindow,
                 int& answersAll)
{
    Told t;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return t;
    QSet<int> heardInGame;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).chopped(1);
        const QStringList p = line.split(QLatin1Char('\t'));
        if (p.size() < 2)
            continue;
        const qint64 at = p[0].toLongLong();
        const QString& kind = p[1];
        const bool inWindow = at >= from && at <= to;
        if (kind == QLatin1String("cpu")) {
            t.cpu = p.value(2).toDouble();
            t.cpuWall = p.value(3).toDouble();
            t.rssKb = p.value(4).toLong();
        } else if (kind == QLatin1String("end")) {
            t.ended = true;
        } else if (kind == QLatin1String("halt")) {
            t.halted = true;
        } else if (kind == QLatin1String("login")) {
            t.userId = p.value(2).toLongLong();
        } else if (kind == QLatin1String("start") || kind == QLatin1String("start!")) {
            const bool expected = kind == QLatin1String("start");
            if (!expected && !t.games.isEmpty() && t.games.last().tours.isEmpty()) {
                // Offered again after a start that failed before its first
                // question (the player was told of the failure): nothing was under way.
                t.games.last() = Game();
                continue;
            }
            if (!expected)
                ++t.unexpectedStarts;
            t.games.append(Game());
            heardInGame.clear();
        } else if (t.games.isEmpty()) {
            continue;
        } else if (kind == QLatin1String("ask")) {
            const int q = p.value(2).toInt();
            if (heardInGame.contains(q))
                ++t.askedAgain;
            t.games.last().asks.append(q);
            t.games.last().tours.insert(p.value(3).toInt());
        } else if (kind == QLatin1String("verdict")) {
            const int q = p.value(2).toInt();
            t.games.last().verdicts.insert(q, p.value(3) == QLatin1String("1"));
            heardInGame.insert(q);
            ++answersAll;
            if (inWindow)
                ++answersInWindow;
        } else if (kind == QLatin1String("tour")) {
            t.games.last().shown.insert(p.value(2).toInt());
        } else if (kind == QLatin1String("report")) {
            t.games.last().reportAll = p.value(2).toInt();
            t.games.last().reportRight = p.value(3).toInt();
        } else if (kind == QLatin1String("step")) {
            if (inWindow && p.value(3) == QLatin1String("1"))
                steps.add(p.value(2).toDouble());
        } else if (kind == QLatin1String("msg") || kind == QLatin1String("plain")) {
            ++t.messages[p.value(kind == QLatin1String("msg") ? 3 : 2).section(QLatin1Char('|'), 0, 0).left(60)];
        }
    }
    return t;
}

int driverMain(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        const auto next = [&] { return i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString(); };
        if (a == QLatin1String("--players"))
            o.players = next().toInt();
        else if (a == QLatin1String("--seconds"))
            o.seconds = next().toInt();
        else if (a == QLatin1String("--kill-every"))
            o.killEvery = next().toInt();
        else if (a == QLatin1String("--pace"))
            o.pace = next().toDouble();
        else if (a == QLatin1String("--ramp"))
            o.ramp = next().toInt();
        else if (a == QLatin1String("--keep"))
            o.keep = next();
        else {
            std::fprintf(stderr,
                         "usage: bench_soak --players N --seconds S [--kill-every K] [--pace P] [--ramp R] "
                         "[--keep DIR]\n");
            return 2;
        }
    }
    if (o.players < 1 || o.seconds < 1 || o.pace < 0.5 || o.killEvery < 0) {
        std::fprintf(stderr, "bench_soak: players and seconds at least 1, pace at least 0.5 s\n");
        return 2;
    }
    if (o.ramp < 0)
        o.ramp = std::max(5, o.players / 25);
    const int paceMs = int(o.pace * 1000);
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);

    benchkit::BenchServer server;
    if (!server.start())
        return 1;
    const sortest::ClientParams params = server.clientParams();
    const QString dir = server.dir();
    if (!roomForPlayers(dir, o.players))
        return 1;
    QTemporaryDir runTmp;
    const QString run = o.keep.isEmpty() ? runTmp.path() : o.keep;
    QDir().mkpath(run);

    {
        QSqlDatabase admin = adminConnection(dir, QStringLiteral("setup"));
        if (!admin.isOpen()) {
            std::fprintf(stderr, "no admin connection: %s\n", qPrintable(admin.lastError().text()));
            return 1;
        }
        // Tours long enough that only the answers end them.
        if (!exec(admin, QStringLiteral("UPDATE Sor_setttings SET level1=1800, level2=1800, level3=1800")) ||
            !exec(admin, QStringLiteral("INSERT INTO users (loginEmail, password, name, surname) "
                                        "SELECT CONCAT('soak', seq, '@tavrek.example'), '%1', 'Игрок', seq "
                                        "FROM seq_1_to_%2")
                             .arg(sor::md5(kPassword))
                             .arg(o.players)))
            return 1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));

    std::printf("players %d, pace %.1f s, ramp %d s, window %d s%s; machine load %s\n", o.players, o.pace, o.ramp,
                o.seconds,
                o.killEvery ? qPrintable(QStringLiteral(", server killed every %1 s").arg(o.killEvery)) : "",
                qPrintable(loadAverage()));
    std::fflush(stdout);

    // ---- the players -----------------------------------------------------------------
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    std::vector<Child> children(o.players);
    QElapsedTimer ramp;
    ramp.start();
    for (int i = 0; i < o.players; ++i) {
        Child& c = children[i];
        c.index = i + 1;
        c.journal = QStringLiteral("%1/player-%2.journal").arg(run).arg(c.index);
        c.pid = spawnPlayer(self, c, params.port, paceMs, QStringLiteral("%1/player-%2.err").arg(run).arg(c.index));
        if (!c.pid) {
            std::fprintf(stderr, "player %d did not start\n", c.index);
            return 1;
        }
        const qint64 due = qint64(o.ramp) * 1000 * (i + 1) / o.players;
        if (due > ramp.elapsed())
            QThread::msleep(ulong(due - ramp.elapsed()));
    }
    const auto reapSome = [&] {
        int alive = 0;
        for (Child& c : children) {
            if (c.status != -1)
                continue;
            int st = 0;
            if (waitpid(c.pid, &st, WNOHANG) == c.pid)
                c.status = st;
            else
                ++alive;
        }
        return alive;
    };
    // Ready: each has its first question on the panels.
    const auto readyCount = [&] {
        int ready = 0;
        for (const Child& c : children) {
            QFile f(c.journal);
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains("\tready"))
                ++ready;
        }
        return ready;
    };
    QElapsedTimer waitReady;
    waitReady.start();
    int ready = 0;
    while ((ready = readyCount()) < o.players && waitReady.elapsed() < 180000 && reapSome() > 0)
        QThread::msleep(500);
    std::printf("%d of %d players in the game after %.1f s; machine load %s\n", ready, o.players,
                double(ramp.elapsed()) / 1000, qPrintable(loadAverage()));
    std::fflush(stdout);
    // A warm-up of two answers each.
    QThread::msleep(ulong(2 * paceMs));

    // ---- the measured window -----------------------------------------------------------
    // Beside the players: a bare round trip on a connection like theirs, for
    // what the machine itself adds to every statement; and the server's own
    // account of the time it spent on the players' statements.
    // (The probe goes through the admin's socket, so that the server's account
    // of the players' account holds the players alone.)
    QSqlDatabase probe = adminConnection(dir, QStringLiteral("probe"));
    benchkit::Figures roundTrips;
    QElapsedTimer sinceProbe;
    sinceProbe.start();
    const auto userStat = [&](double& busy, double& cpu) {
        QSqlDatabase admin = adminConnection(dir, QStringLiteral("stat"));
        QSqlQuery q(admin);
        busy = cpu = 0;
        if (q.exec(QStringLiteral("SELECT BUSY_TIME, CPU_TIME FROM information_schema.USER_STATISTICS "
                                  "WHERE USER='tavrekdb2'")) &&
            q.next()) {
            busy = q.value(0).toDouble();
            cpu = q.value(1).toDouble();
        }
    };
    {
        QSqlDatabase admin = adminConnection(dir, QStringLiteral("stat"));
        exec(admin, QStringLiteral("SET GLOBAL userstat=1"));
    }
    double busy0 = 0, statCpu0 = 0, busy1 = 0, statCpu1 = 0;
    userStat(busy0, statCpu0);
    double serverCpu = 0;
    qint64 pid = serverPid(dir);
    double cpuMark = processCpu(pid);
    for (const Child& c : children)
        if (c.status == -1)
            kill(c.pid, SIGUSR1);
    const qint64 from = nowMs();
    QElapsedTimer window;
    window.start();
    int serverKills = 0, connectionKills = 0, writeKills = 0, hunts = 0, restartFailures = 0;
    double downSeconds = 0;
    QRandomGenerator rnd(20261210);
    qint64 nextServerKill = o.killEvery ? qint64(o.killEvery) * 1000 : -1;
    qint64 nextConnectionKill = o.killEvery ? 500 + rnd.bounded(3000) : -1;
    while (window.elapsed() < qint64(o.seconds) * 1000) {
        const qint64 t = window.elapsed();
        if (nextServerKill >= 0 && t >= nextServerKill) {
            // Killed without warning, then started again the usual way.
            QSqlDatabase::removeDatabase(QStringLiteral("killer"));
            serverCpu += processCpu(pid) - cpuMark;
            ::kill(pid_t(pid), SIGKILL);
            for (int i = 0; i < 100 && ::kill(pid_t(pid), 0) == 0; ++i)
                QThread::msleep(50);
            QElapsedTimer down;
            down.start();
            if (!server.start() || !roomForPlayers(dir, o.players))
                ++restartFailures;
            downSeconds += double(down.elapsed()) / 1000;
            ++serverKills;
            pid = serverPid(dir);
            cpuMark = processCpu(pid);
            nextServerKill += qint64(o.killEvery) * 1000;
        } else if (nextConnectionKill >= 0 && t >= nextConnectionKill) {
            // One client connection: one in the middle of a write when one comes
            // soon (the moments where an answer or a stamp can be lost),
            // otherwise one busy with a statement, otherwise any.
            QSqlDatabase admin = adminConnection(dir, QStringLiteral("killer"));
            if (admin.isOpen()) {
                QSqlQuery q(admin);
                qint64 victim = 0;
                QElapsedTimer hunt;
                hunt.start();
                while (!victim && hunt.elapsed() < 300) {
                    if (!q.exec(QStringLiteral("SELECT t.trx_mysql_thread_id FROM information_schema.INNODB_TRX t "
                                               "JOIN information_schema.PROCESSLIST p ON p.ID = t.trx_mysql_thread_id "
                                               "WHERE p.USER='tavrekdb2' LIMIT 1")))
                        break;
                    if (q.next())
                        victim = q.value(0).toLongLong();
                    else
                        QThread::usleep(2000);
                }
                // Every third time the answers are held up for a moment (as by
                // an operator's lock), so that an answer is caught in its write.
                if (!victim && ++hunts % 3 == 0 && q.exec(QStringLiteral("LOCK TABLES Sor_Games WRITE"))) {
                    QElapsedTimer held;
                    held.start();
                    while (!victim && held.elapsed() < 300) {
                        QThread::usleep(2000);
                        if (q.exec(QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE "
                                                  "USER='tavrekdb2' AND INFO LIKE 'INSERT INTO Sor_Games%' LIMIT 1")) &&
                            q.next())
                            victim = q.value(0).toLongLong();
                    }
                    if (victim)
                        exec(admin, QStringLiteral("KILL %1").arg(victim));
                    q.exec(QStringLiteral("UNLOCK TABLES"));
                    if (victim) {
                        ++connectionKills;
                        ++writeKills;
                        victim = 0;
                        nextConnectionKill = window.elapsed() + 500 + rnd.bounded(3000);
                        continue;
                    }
                }
                if (victim)
                    ++writeKills;
                if (!victim && q.exec(QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST "
                                                     "WHERE USER='tavrekdb2' ORDER BY COMMAND='Sleep', RAND() LIMIT 1")) &&
                    q.next())
                    victim = q.value(0).toLongLong();
                if (victim && exec(admin, QStringLiteral("KILL %1").arg(victim)))
                    ++connectionKills;
            }
            nextConnectionKill = window.elapsed() + 500 + rnd.bounded(3000);
        }
        reapSome();
        if (sinceProbe.elapsed() >= 100 && probe.isOpen()) {
            sinceProbe.restart();
            QElapsedTimer rt;
            rt.start();
            QSqlQuery one(probe);
            if (one.exec(QStringLiteral("SELECT 1")) && one.next())
                roundTrips.add(benchkit::ms(rt));
        }
        QThread::msleep(20);
    }
    const qint64 to = nowMs();
    userStat(busy1, statCpu1);
    serverCpu += processCpu(pid) - cpuMark;
    const double windowSeconds = double(to - from) / 1000;
    const QString loadAtEnd = loadAverage();
    QSqlDatabase::removeDatabase(QStringLiteral("killer"));

    // ---- the players stop, each between two steps ------------------------------------------
    for (const Child& c : children)
        if (c.status == -1)
            kill(c.pid, SIGTERM);
    QElapsedTimer stopping;
    stopping.start();
    while (reapSome() > 0 && stopping.elapsed() < 60000)
        QThread::msleep(100);
    int forced = 0;
    for (Child& c : children)
        if (c.status == -1) {
            kill(c.pid, SIGKILL);
            waitpid(c.pid, &c.status, 0);
            ++forced;
        }

    // ---- what they were told, against the server's rows ---------------------------------------
    benchkit::Figures steps;
    int answersInWindow = 0, answersAll = 0;
    std::vector<Told> told;
    for (const Child& c : children)
        told.push_back(readJournal(c.journal, from, to, steps, answersInWindow, answersAll));

    int lost = 0, doubled = 0, wiped = 0, stampFaults = 0, stale = 0, unconfirmed = 0, failedPlayers = 0;
    double playersCpu = 0, playersWall = 0;
    long rssSum = 0;
    QMap<QString, int> messages;
    {
        QSqlDatabase admin = adminConnection(dir, QStringLiteral("check"));
        if (!admin.isOpen()) {
            std::fprintf(stderr, "no admin connection for the checks\n");
            return 1;
        }
        // Each fault counted, with its player, for the one who looks into it.
        QFile faultList(run + QStringLiteral("/faults.txt"));
        faultList.open(QIODevice::WriteOnly | QIODevice::Truncate);
        const auto fault = [&](const Child& c, const char* kind, const QString& detail) {
            faultList.write(QStringLiteral("player %1\t%2\t%3\n").arg(c.index).arg(QLatin1String(kind), detail).toUtf8());
        };
        QSqlQuery q(admin);
        q.exec(QStringLiteral("SELECT COALESCE(SUM(n - 1), 0) FROM (SELECT COUNT(*) AS n FROM Sor_Games "
                              "GROUP BY SorUserID, QuestID HAVING n > 1) d"));
        if (q.next())
            doubled += q.value(0).toInt();
        for (std::size_t i = 0; i < told.size(); ++i) {
            const Told& t = told[i];
            const Child& c = children[i];
            if (!t.ended || t.halted || !WIFEXITED(c.status) || WEXITSTATUS(c.status) != 0)
                ++failedPlayers;
            playersCpu += t.cpu;
            playersWall += t.cpuWall;
            rssSum += t.rssKb;
            for (auto m = t.messages.begin(); m != t.messages.end(); ++m)
                messages[m.key()] += m.value();
            doubled += t.askedAgain;
            wiped += t.unexpectedStarts;
            if (t.askedAgain)
                fault(c, "doubled", QStringLiteral("%1 questions asked again").arg(t.askedAgain));
            if (t.unexpectedStarts)
                fault(c, "wiped", QStringLiteral("%1 new games offered over one in progress").arg(t.unexpectedStarts));
            if (t.games.isEmpty() || !t.userId)
                continue;
            // Earlier games: the report counted what the server held then.
            for (int g = 0; g + 1 < t.games.size(); ++g) {
                const Game& game = t.games[g];
                if (game.reportAll < 0)
                    continue;
                int right = 0;
                for (bool r : game.verdicts)
                    right += r;
                const int missing = std::max({0, int(game.verdicts.size()) - game.reportAll, right - game.reportRight});
                lost += missing;
                if (missing)
                    fault(c, "lost", QStringLiteral("game %1: %2 verdicts heard, %3 right; the report: %4, %5")
                                         .arg(g + 1)
                                         .arg(game.verdicts.size())
                                         .arg(right)
                                         .arg(game.reportAll)
                                         .arg(game.reportRight));
            }
            // The game in progress: every verdict heard is a row, as heard.
            const Game& game = t.games.last();
            QHash<int, int> stored;  // question -> QVar
            q.exec(QStringLiteral("SELECT QuestID, QVar FROM Sor_Games WHERE SorUserID=%1").arg(t.userId));
            while (q.next())
                stored.insert(q.value(0).toInt(), q.value(1).toInt());
            for (auto v = game.verdicts.begin(); v != game.verdicts.end(); ++v) {
                if (!stored.contains(v.key()) || (stored.value(v.key()) == 4) != v.value()) {
                    ++lost;
                    fault(c, "lost", QStringLiteral("question %1 heard %2, stored %3")
                                         .arg(v.key())
                                         .arg(v.value() ? "right" : "wrong")
                                         .arg(stored.contains(v.key()) ? QString::number(stored.value(v.key()))
                                                                       : QStringLiteral("nothing")));
                }
            }
            const QSet<int> asked(game.asks.begin(), game.asks.end());
            for (auto s = stored.begin(); s != stored.end(); ++s) {
                if (!asked.contains(s.key())) {
                    ++stale;  // a row of an earlier game: the new game did not wipe it
                    fault(c, "stale", QStringLiteral("question %1").arg(s.key()));
                } else if (!game.verdicts.contains(s.key())) {
                    ++unconfirmed;  // stored while the player heard of a failure
                    fault(c, "unconfirmed", QStringLiteral("question %1").arg(s.key()));
                }
            }
            // Tour stamps: each tour played is stamped, in order.
            q.exec(QStringLiteral("SELECT Time_lvl1, Time_lvl1_end, Time_lvl2, Time_lvl2_end, Time_lvl3, "
                                  "Time_lvl3_end FROM Sor_users WHERE UserID=%1")
                       .arg(t.userId));
            if (!q.next()) {
                ++wiped;
                fault(c, "wiped", QStringLiteral("no status row"));
                continue;
            }
            QDateTime stamp[4][2];
            for (int n = 1; n <= 3; ++n)
                for (int e = 0; e < 2; ++e)
                    stamp[n][e] = q.value((n - 1) * 2 + e).toDateTime();
            QString stamps;
            for (int n = 1; n <= 3; ++n)
                stamps += QStringLiteral(" %1: %2 to %3").arg(n).arg(stamp[n][0].toString(Qt::ISODate),
                                                                     stamp[n][1].toString(Qt::ISODate));
            for (int n = 1; n <= 3; ++n) {
                const bool played = game.tours.contains(n);
                const bool closed = game.tours.contains(n + 1);
                if (played && !stamp[n][0].isValid()) {
                    ++wiped;
                    fault(c, "wiped", QStringLiteral("tour %1 played, unstamped;%2").arg(n).arg(stamps));
                }
                if (!game.shown.contains(n) && (stamp[n][0].isValid() || stamp[n][1].isValid())) {
                    ++stampFaults;  // stamped for a tour the player never saw begin
                    fault(c, "stamps", QStringLiteral("tour %1 not begun, stamped;%2").arg(n).arg(stamps));
                }
                if (closed && (!stamp[n][1].isValid() || stamp[n][1] < stamp[n][0] ||
                               stamp[n + 1][0] < stamp[n][1])) {
                    ++stampFaults;
                    fault(c, "stamps", QStringLiteral("tour %1 closed, out of order;%2").arg(n).arg(stamps));
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    // ---- figures ---------------------------------------------------------------------------
    const double p50 = steps.pct(0.50), p95 = steps.pct(0.95), p99 = steps.pct(0.99);
    const double perPlayerCpu = playersWall > 0 ? 100.0 * playersCpu / playersWall : 0;
    std::printf("window %.1f s: %d answers (%.1f answers/s); step server part p50 %.2f ms, p95 %.2f ms, "
                "p99 %.2f ms over %zu steps\n",
                windowSeconds, answersInWindow, answersInWindow / windowSeconds, p50, p95, p99, steps.v.size());
    std::printf("server CPU %.1f %% of one core (%.2f ms per answer); driver CPU per player %.3f %% of one core "
                "(%.2f ms per answer), memory %ld kB per player (proportional set); machine load %s\n",
                100.0 * serverCpu / windowSeconds, answersInWindow ? 1000.0 * serverCpu / answersInWindow : 0.0,
                perPlayerCpu, answersInWindow ? 1000.0 * playersCpu / answersInWindow : 0.0,
                o.players ? rssSum / o.players : 0L, qPrintable(loadAtEnd));
    if (!o.killEvery && answersInWindow)
        std::printf("server's own account: %.2f ms busy and %.2f ms CPU per answer on the players' statements; "
                    "a bare round trip beside them p50 %.2f ms, p95 %.2f ms\n",
                    1000.0 * (busy1 - busy0) / answersInWindow, 1000.0 * (statCpu1 - statCpu0) / answersInWindow,
                    roundTrips.pct(0.5), roundTrips.pct(0.95));
    if (o.killEvery)
        std::printf("faults: server killed %d times (%.1f s down in all, %d restarts failed), %d client "
                    "connections killed (%d of them in the middle of a write)\n",
                    serverKills, downSeconds, restartFailures, connectionKills, writeKills);
    if (!messages.isEmpty()) {
        QStringList list;
        for (auto m = messages.begin(); m != messages.end(); ++m)
            list << QStringLiteral("%1 x \"%2\"").arg(m.value()).arg(m.key());
        std::printf("messages the players saw: %s\n", qPrintable(list.join(QStringLiteral(", "))));
    }
    std::printf("checks: %d answers heard in all, stamps out of order %d, rows of an earlier game %d, "
                "rows stored while a failure was told %d, players that failed %d (%d stopped by force)\n",
                answersAll, stampFaults, stale, unconfirmed, failedPlayers, forced);
    std::printf("answers %d, lost %d, doubled %d, wiped %d, step p95 %.1f ms\n", answersAll, lost, doubled, wiped,
                p95);
    std::fflush(stdout);
    const bool ok = lost == 0 && doubled == 0 && wiped == 0 && stampFaults == 0 && stale == 0 &&
                    failedPlayers == 0 && answersAll > 0;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--player") == 0)
            return playerMain(argc, argv);
    return driverMain(argc, argv);
}

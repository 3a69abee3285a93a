#include "soak/Soak.h"


#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

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

namespace soak {
namespace {

using benchkit::exec;

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

}  // namespace

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

}  // namespace soak

#pragma once
// A view of the game without a window, for driving the game without a screen.
//
//   sortest::GameViewRig view;
//   sor::TGame game(view);
//   view.promptAnswers = {1};            // the start prompt is confirmed
//   game.EnterStoredState();
//   QCOMPARE(view.prompts, QStringList{"Начать игру"});
//   QCOMPARE(view.answer[1], "2: ...");
//
// It keeps what the window would show (captions, the LED, the looks, the check
// mark) and logs every change in order in `events`, e.g. "question: Вопрос",
// "answer 2: 2: Париж", "look 3 Yes", "led 05:00", "prompt Начать игру -> 1",
// "hold 1", "flush keyboard". The hold is the real one (sor::PauseSeconds, the
// event loop runs) unless holdSeconds is set to 0.

#include <QList>
#include <QStringList>
#include <functional>

#include "game/GameCore.h"

namespace sortest {

class GameViewRig : public sor::TGameView
{
public:
    QString question = QStringLiteral("Вопрос");
    QString answer[5] = {QString(), QStringLiteral("Ответ "), QStringLiteral("Ответ "), QStringLiteral("Ответ "),
                         QStringLiteral("Ответ ")};  // [1] .. [4]
    QString tour = QStringLiteral("Тур №");
    QString questNum = QStringLiteral("Вопрос №");
    QString led = QStringLiteral("00:00");
    sor::TAnswerLook look[5] = {sor::TAnswerLook::Off, sor::TAnswerLook::Off, sor::TAnswerLook::Off,
                                sor::TAnswerLook::Off, sor::TAnswerLook::Off};  // [1] .. [4]
    bool speechMark = false;

    QStringList prompts;       // captions of the start prompts shown, in order
    QList<int> promptAnswers;  // their modal results in order; then defaultPromptAnswer
    int defaultPromptAnswer = 1;
    bool promptOpen = false;   // what startPromptOpen() says outside a prompt

    int holdSeconds = -1;  // -1: hold as asked; otherwise this long
    QStringList events;

    QString questionCaption() const override { return question; }
    void setQuestionCaption(const QString& text) override;
    QString answerCaption(int n) const override;
    void setAnswerCaption(int n, const QString& text) override;
    void setTourCaption(const QString& text) override;
    void setQuestNumCaption(const QString& text) override;
    QString ledCaption() const override { return led; }
    void setLedCaption(const QString& text) override;
    void setAnswerLook(sor::TAnswerLook look, int n) override;
    void setSpeechSwitchMark(bool checked) override;
    bool startPromptOpen() const override { return promptOpen; }
    int showStartPrompt(const QString& caption) override;
    bool pauseSeconds(int seconds) override;
    QObject* messageOwner() override { return nullptr; }
    void flushKeyboard() override { events << QStringLiteral("flush keyboard"); }

    // When set, the start prompts are shown through it (after they are logged
    // in `prompts`): it returns the modal result, and may act meanwhile as the
    // player would while the prompt is open.
    std::function<int(const QString& caption)> promptHook;
    // When set, called at the start of every hold (with the hold active when it
    // is a real one), to act as the player would meanwhile.
    std::function<void()> holdHook;

    // The panel (1 .. 4) that shows the right answer of the game's question;
    // 0 when none does.
    int rightPanel(const sor::TGame& game) const;
};

QString lookName(sor::TAnswerLook look);

}  // namespace sortest

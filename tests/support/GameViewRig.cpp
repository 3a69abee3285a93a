#include "GameViewRig.h"

#include <QScopedValueRollback>
#include <QTimer>

#include "platform/Hold.h"

namespace sortest {

int GameViewRig::rightPanel(const sor::TGame& game) const
{
    for (int n = 1; n <= 4; ++n)
        if (answer[n].mid(3) == game.CurrentQuestion().sVar4)
            return n;
    return 0;
}

QString lookName(sor::TAnswerLook look)
{
    switch (look) {
    case sor::TAnswerLook::On:
        return QStringLiteral("On");
    case sor::TAnswerLook::Yes:
        return QStringLiteral("Yes");
    case sor::TAnswerLook::Off:
    default:
        return QStringLiteral("Off");
    }
}

void GameViewRig::setQuestionCaption(const QString& text)
{
    question = text;
    events << QStringLiteral("question: ") + text;
}

QString GameViewRig::answerCaption(int n) const
{
    return n >= 1 && n <= 4 ? answer[n] : QString();
}

void GameViewRig::setAnswerCaption(int n, const QString& text)
{
    if (n < 1 || n > 4)
        return;
    answer[n] = text;
    events << QStringLiteral("answer %1: ").arg(n) + text;
}

void GameViewRig::setTourCaption(const QString& text)
{
    tour = text;
    events << QStringLiteral("tour: ") + text;
}

void GameViewRig::setQuestNumCaption(const QString& text)
{
    questNum = text;
    events << QStringLiteral("questnum: ") + text;
}

void GameViewRig::setLedCaption(const QString& text)
{
    led = text;
    events << QStringLiteral("led ") + text;
}

void GameViewRig::setAnswerLook(sor::TAnswerLook l, int n)
{
    if (n < 1 || n > 4)
        return;
    look[n] = l;
    events << QStringLiteral("look %1 ").arg(n) + lookName(l);
}

void GameViewRig::setSpeechSwitchMark(bool checked)
{
    speechMark = checked;
    events << QStringLiteral("speech mark %1").arg(checked ? QStringLiteral("on") : QStringLiteral("off"));
}

int GameViewRig::showStartPrompt(const QString& caption)
{
    prompts << caption;
    int result = 0;
    if (promptHook) {
        const QScopedValueRollback<bool> open(promptOpen, true);
        result = promptHook(caption);
    } else {
        result = promptAnswers.isEmpty() ? defaultPromptAnswer : promptAnswers.takeFirst();
    }
    events << QStringLiteral("prompt %1 -> %2").arg(caption).arg(result);
    return result;
}

bool GameViewRig::pauseSeconds(int seconds)
{
    events << QStringLiteral("hold %1").arg(seconds);
    const int wait = holdSeconds < 0 ? seconds : holdSeconds;
    if (holdHook) {
        if (wait > 0) {
            // From inside the hold, as an event handled while it waits.
            QTimer::singleShot(0, [this] { holdHook(); });
        } else {
            holdHook();
        }
    }
    return sor::PauseSeconds(nullptr, wait);
}

}  // namespace sortest

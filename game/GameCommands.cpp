#include "game/GameCommands.h"

#include "game/GameView.h"
#include "game/NumberWords.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSettings.h"

namespace sor {
namespace {

// The speech settings that SpeechOut speaks through now, if any.
SpeechSettings* speechSettings()
{
    return dynamic_cast<SpeechSettings*>(speechBackend());
}

}  // namespace

TGameCommands::TGameCommands(TGameView& view, QObject* parent) : QObject(parent), view_(view)
{
    setObjectName(QStringLiteral("GameCommands"));
}

void TGameCommands::N2SpeechOnOffClick()
{
    SpeechSettings* settings = speechSettings();
    if (!settings)
        return;
    if (settings->speechOn()) {
        // Said while speech is still on.
        SpeechOut(QStringLiteral("Речь выключена"), true);
        settings->setSpeechOn(false);
    } else {
        settings->setSpeechOn(true);
        // Stays on only if a voice could take the text.
        settings->setSpeechOn(SpeechOut(QStringLiteral("Речь включена"), true));
    }
    view_.setSpeechSwitchMark(settings->speechOn());
}

void TGameCommands::N4Click()
{
    // The display reads minutes, a colon and seconds ("05:31"; a tour of 100
    // minutes or more has three minute digits).
    const QString led = view_.ledCaption();
    const int colon = led.indexOf(QLatin1Char(':'));
    const int minutes = colon < 0 ? 0 : led.left(colon).toInt();
    const int seconds = colon < 0 ? 0 : led.mid(colon + 1).toInt();
    SpeechOut(QStringLiteral("До конца тура осталось. ") + QString::number(minutes) + SufMinToStrPadegh(minutes % 10) +
                  QString::number(seconds) + SufSecToStrPadegh(seconds % 10),
              true);
}

void TGameCommands::G1Click()
{
    const QString question = view_.questionCaption();
    if (!question.isEmpty())
        SpeechOut(question, true);
}

void TGameCommands::N5Click()
{
    if (view_.answerCaption(1).isEmpty())
        return;
    view_.flushKeyboard();
    SpeechOut(VariantsText(view_), true);
}

void TGameCommands::sayAnswer(int n)
{
    if (view_.answerCaption(1).isEmpty())
        return;
    SpeechOut(QStringLiteral("Ответ №") + view_.answerCaption(n) + QStringLiteral(". "), true);
}

void TGameCommands::N11Click()
{
    sayAnswer(1);
}

void TGameCommands::N21Click()
{
    sayAnswer(2);
}

void TGameCommands::N31Click()
{
    sayAnswer(3);
}

void TGameCommands::N41Click()
{
    sayAnswer(4);
}

void TGameCommands::N10Click()
{
    // At the slow end the rate stays; the word is said all the same.
    if (SpeechSettings* settings = speechSettings())
        settings->moveTrackBar2(settings->trackBar2Position() - 1);
    SpeechOut(QStringLiteral("Медленнее."), true);
}

void TGameCommands::N12Click()
{
    if (SpeechSettings* settings = speechSettings())
        settings->moveTrackBar2(settings->trackBar2Position() + 1);
    SpeechOut(QStringLiteral("Быстрее."), true);
}

}  // namespace sor

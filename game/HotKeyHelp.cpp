#include "game/HotKeyHelp.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "speech/Announce.h"
#include "speech/SpeechRoutines.h"

TfrHotKey* frHotKey = nullptr;

QStringList TfrHotKey::HotKeyLines()
{
    return {
        QStringLiteral("Клавиши с цифрами  1, 2, 3, 4  - Осуществляют выбор "),
        QStringLiteral("соответствующего варианта ответа."),
        QStringLiteral("Ctrl+Alt+S - Включить / Отключить речь."),
        QStringLiteral("Ctrl+T - Прочитать сколько осталось времени до конца тура."),
        QStringLiteral("Ctrl+Q - Прочитать вопрос."),
        QStringLiteral("Ctrl+A - Прочитать все варианты ответов."),
        QStringLiteral("Ctrl+F1 - Прочитать ответ №1."),
        QStringLiteral("Ctrl+F2 - Прочитать ответ №2."),
        QStringLiteral("Ctrl+F3 - Прочитать ответ №3."),
        QStringLiteral("Ctrl+F4 - Прочитать ответ №4."),
        // Ctrl+Z is "Читать медленнее" in the menu, Ctrl+X "Читать быстрее".
        QStringLiteral("Ctrl+Z - Уменьшить скорость речи. (Для голосов SAPI5)"),
        QStringLiteral("Ctrl+X - Увеличить скорость речи. (Для голосов SAPI5)"),
        QStringLiteral("Ctrl+пробел  - Прервать чтение текущей фразы."),
    };
}

TfrHotKey::TfrHotKey(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frHotKey"));
    setWindowTitle(QStringLiteral("Горячие клавиши!"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(390, 281);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    Memo1->setTabChangesFocus(true);
    Memo1->setFixedHeight(239);
    QFont font;
    // Where Tahoma is missing, a condensed face keeps the list on one screen.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")});
    font.setPixelSize(13);
    Memo1->setFont(font);
    Memo1->setPlainText(HotKeyLines().join(QLatin1Char('\n')));
    Memo1->setAccessibleName(windowTitle());

    btOK = new QPushButton(QStringLiteral("ОК"), this);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setAccessibleName(QStringLiteral("ОК"));
    btOK->setDefault(true);
    btOK->setAutoDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 0, 8, 0);
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(Memo1);
    column->addStretch(1);
    column->addLayout(buttons);
    column->addStretch(1);

    setTabOrder(Memo1, btOK);
    Memo1->setFocus();  // the list is read out; the button is a Tab away

    sor::announceButton(btOK);
    connect(btOK, &QPushButton::clicked, this, [this] { btOKClick(); });
    frHotKey = this;
}

TfrHotKey::~TfrHotKey()
{
    if (frHotKey == this)
        frHotKey = nullptr;
}

bool TfrHotKey::event(QEvent* event)
{
    // The list is read when the window opens and becomes active, not again
    // when the player comes back to it from another program.
    if (event->type() == QEvent::WindowActivate && !listRead_) {
        listRead_ = true;
        FormActivate();
    } else if (event->type() == QEvent::Hide) {
        listRead_ = false;
    }
    return QDialog::event(event);
}

void TfrHotKey::FormActivate()
{
    SpeechOut(Memo1->toPlainText(), true);
}

void TfrHotKey::btOKClick()
{
    done(1);
}

void TfrHotKey::done(int result)
{
    QDialog::done(result);
    // Whichever way it closes (OK, Esc, the close box), the list stops.
    SpeechStop();
}

int ShowHotKeyHelp(QWidget* mainWindow)
{
    QPointer<TfrHotKey> help = new TfrHotKey(mainWindow);
    const int result = help->exec();
    if (!help)
        return 0;
    delete help.data();
    return result;
}

#include "game/StartPrompt.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

#include "game/ConfirmClose.h"
#include "speech/Announce.h"
#include "speech/MessageDlg.h"
#include "speech/SpeechRoutines.h"

TfrStartGameBt* frStartGameBt = nullptr;

namespace sor {

void TWrapButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);  // the button without its caption
    const QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(4, 0, -4, 0);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(room, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
}

}  // namespace sor

TfrStartGameBt::TfrStartGameBt(QWidget* AOwner) : QDialog(AOwner)
{
    setObjectName(QStringLiteral("frStartGameBt"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFixedSize(248, 107);
    setAccessibleName(QStringLiteral("Начало игры"));

    Button1 = new sor::TWrapButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(29);
    font.setBold(true);
    Button1->setFont(font);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);
    Button1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Button1);

    sor::announceButton(Button1);
    connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
    Button1->installEventFilter(this);
}

TfrStartGameBt::~TfrStartGameBt()
{
    if (frStartGameBt == this)
        frStartGameBt = nullptr;
}

bool TfrStartGameBt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Button1 && event->type() == QEvent::KeyPress && FormKeyPress(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TfrStartGameBt::keyPressEvent(QKeyEvent* event)
{
    if (!FormKeyPress(event))
        QDialog::keyPressEvent(event);
}

bool TfrStartGameBt::FormKeyPress(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape)
        return false;  // the button's own keys: Enter and Space press it
    if (asking_)
        return true;
    asking_ = true;
    const QPointer<TfrStartGameBt> self(this);
    const bool close = sor::confirmProgramClose(this);
    if (!self)
        return true;
    asking_ = false;
    if (close)
        done(sor::mrCancel);
    return true;
}

void TfrStartGameBt::reject()
{
    // Esc is taken by the key preview; closing the window any other way is refused.
}

void TfrStartGameBt::closeEvent(QCloseEvent* event)
{
    if (!closing_)
        event->ignore();
}

void TfrStartGameBt::done(int result)
{
    closing_ = true;
    QDialog::done(result);
    closing_ = false;
    FormClose();
}

void TfrStartGameBt::FormClose()
{
    SpeechStop();
}

int ShowStartPrompt(QWidget* owner, const QString& caption)
{
    if (frStartGameBt)
        return 0;
    QPointer<TfrStartGameBt> prompt = new TfrStartGameBt(owner);
    frStartGameBt = prompt;
    prompt->Button1->setText(caption);
    prompt->Button1->setAccessibleName(caption);
    const int result = prompt->exec();
    if (!prompt)
        return 0;  // the owner went away with it
    delete prompt.data();
    return result;
}

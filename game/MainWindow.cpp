#include "game/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QScreen>
#include <QWindow>

#include "accounts/SettingsWindow.h"
#include "platform/AppInfo.h"
#include "data/ReconnectWindow.h"
#include "game/AlignPanel.h"
#include "game/ConfirmClose.h"
#include "game/About.h"
#include "game/Artwork.h"
#include "game/MainControls.h"
#include "platform/FlushKeyboard.h"
#include "game/HotKeyHelp.h"
#include "game/StartPrompt.h"
#include "platform/GlobalHotKeys.h"
#include "platform/Hold.h"
#include "speech/MessageDlg.h"
#include "speech/RyMenus.h"
#include "speech/ScreenReader.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSettingsWindow.h"

TfrMain* frMain = nullptr;

using sor::TAlign;
using sor::TAnswerLook;
using sor::TImage;
using sor::TPanel;

namespace {

// The window's client area at design size.
constexpr int kDesignWidth = 837;
constexpr int kDesignHeight = 486;
// Below this the panels no longer fit their texts and the clock.
constexpr int kMinWidth = 600;
constexpr int kMinHeight = 400;

const QColor kLookColors[] = {
    Qt::white,              // Off
    QColor(0, 0, 255),      // On: pure blue on amber
    QColor(91, 6, 128),     // Yes: dark violet on green
};

QColor lookColor(TAnswerLook look)
{
    return kLookColors[int(look) - 1];
}

QFont fontOf(const QString& family, int pixelSize, bool bold)
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void setTextColor(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}

QLabel* makeLabel(const QString& name, const QString& caption, QWidget* parent)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    setTextColor(l, Qt::white);
    return l;
}

TImage* makeImage(const QString& name, TImage::Painter painter, QWidget* parent, const QString& accessible)
{
    auto* img = new TImage(name, std::move(painter), parent);
    img->setAccessibleName(accessible);
    // The pictures only decorate: a screen reader has nothing to read in them.
    sor::hideFromScreenReader(img);
    return img;
}

TImage::Painter barPainter(sor::art::Bar look)
{
    return [look](QPainter& p, const QRectF& r) { sor::art::paintBar(p, r, look); };
}

TImage::Painter stripPainter(sor::art::Strip kind)
{
    return [kind](QPainter& p, const QRectF& r) { sor::art::paintStrip(p, r, kind); };
}

}  // namespace

TfrMain::TfrMain(QWidget* parent, GameFactory makeGame) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frMain"));
    setWindowTitle(sor::appTitle());
    setFont(fontOf(QStringLiteral("Tahoma"), 11, false));

    buildLayout();
    buildMenu();
    // The game comes after the controls, which it reaches through the view.
    Game = makeGame ? makeGame(*this) : std::make_unique<sor::TGame>(*this);
    MMTimer1 = Game->MMTimer1;
    Timer1 = Game->Timer1;
    // The menu was built first; its spoken commands are connected now.
    Commands = new sor::TGameCommands(*this, this);
    connectCommands();
    // Every item is measured, drawn and spoken by the shared speaking-menu drawer.
    RyMenu()->Add(MainMenu1);

    setMinimumSize(kMinWidth, kMinHeight + MainMenu1->sizeHint().height());
    resize(kDesignWidth, kDesignHeight + MainMenu1->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TfrMain::focusWindowChanged);
    frMain = this;
    FormCreate();
}

TfrMain::~TfrMain()
{
    if (frMain == this)
        frMain = nullptr;
    disconnect(qApp, nullptr, this, nullptr);
    if (frSpeechSet)
        disconnect(&frSpeechSet->settings(), nullptr, this, nullptr);
}

void TfrMain::buildLayout()
{
    ClientArea = new TPanel(QStringLiteral("ClientArea"), this);
    setCentralWidget(ClientArea);

    // The top bar: tour number, clock, question number.
    Panel1 = new TPanel(QStringLiteral("Panel1"), ClientArea);
    PanTur = new TPanel(QStringLiteral("PanTur"), Panel1);
    lblTur = makeLabel(QStringLiteral("lblTur"), QStringLiteral("Тур №"), PanTur);
    lblTur->setFont(fontOf(QStringLiteral("Tahoma"), 17, true));
    lblTur->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblTur->setIndent(6);
    PanTur->setAlign(lblTur, TAlign::Client);

    PanTimer = new TPanel(QStringLiteral("PanTimer"), Panel1);
    PanTimer->resize(251, 56);
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Время до конца тура"), PanTimer);
    Label1->setFont(fontOf(QStringLiteral("Tahoma"), 13, true));
    Label1->setAlignment(Qt::AlignCenter);
    PanTimer->setAlign(Label1, TAlign::Top, 16);
    RzLEDTimer = new sor::TLedDisplay(QStringLiteral("RzLEDTimer"), PanTimer);
    RzLEDTimer->setFrameShape(QFrame::NoFrame);
    RzLEDTimer->setSegmentStyle(QLCDNumber::Filled);
    {
        QPalette pal = RzLEDTimer->palette();
        const QColor led(255, 176, 32);
        pal.setColor(QPalette::WindowText, led);
        pal.setColor(QPalette::Light, led.lighter(130));
        pal.setColor(QPalette::Dark, QColor(60, 36, 0));
        pal.setColor(QPalette::Window, Qt::black);
        RzLEDTimer->setPalette(pal);
    }
    RzLEDTimer->setCaption(QStringLiteral("00:00"));
    RzLEDTimer->setGeometry((251 - 117) / 2, 16 + (56 - 16 - 31) / 2, 117, 31);

    Panel5 = new TPanel(QStringLiteral("Panel5"), Panel1);
    lblQuestNum = makeLabel(QStringLiteral("lblQuestNum"), QStringLiteral("Вопрос №"), Panel5);
    lblQuestNum->setFont(fontOf(QStringLiteral("Tahoma"), 17, true));
    lblQuestNum->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblQuestNum->setIndent(6);
    Panel5->setAlign(lblQuestNum, TAlign::Client);

    // The left-aligned order is fixed: tour label, clock, question number.
    Panel1->setAlign(PanTur, TAlign::Left, 256);
    Panel1->setAlign(PanTimer, TAlign::Left, 251);
    Panel1->setAlign(Panel5, TAlign::Client);
    ClientArea->setAlign(Panel1, TAlign::Top, 56);

    // The game area, from the bottom up: strip, answers, strip, question; the
    // picture area takes the rest.
    Panel2 = new TPanel(QStringLiteral("Panel2"), ClientArea);
    ClientArea->setAlign(Panel2, TAlign::Client);

    Image1 = makeImage(QStringLiteral("Image1"), sor::art::paintTexture, Panel2, QStringLiteral("Фон"));
    Image3 = makeImage(QStringLiteral("Image3"), sor::art::paintLogo, Panel2,
                       QStringLiteral("Логотип игры Sorventa"));

    Image7 = makeImage(QStringLiteral("Image7"), stripPainter(sor::art::Strip::Bottom), Panel2,
                       QStringLiteral("Полоса"));
    PanAllAns = new TPanel(QStringLiteral("PanAllAns"), Panel2);
    Image4 = makeImage(QStringLiteral("Image4"), stripPainter(sor::art::Strip::Thin), Panel2,
                       QStringLiteral("Полоса"));
    PanQuest = new TPanel(QStringLiteral("PanQuest"), Panel2);
    Panel2->setAlign(Image7, TAlign::Bottom, 18);
    Panel2->setAlign(PanAllAns, TAlign::Bottom, 102);
    Panel2->setAlign(Image4, TAlign::Bottom, 10);
    Panel2->setAlign(PanQuest, TAlign::Bottom, 125);
    Panel2->setAlign(Image1, TAlign::Client);
    Panel2->setAlign(Image3, TAlign::Client);

    ImageQ = makeImage(QStringLiteral("ImageQ"), sor::art::paintQuestionFrame, PanQuest,
                       QStringLiteral("Рамка вопроса"));
    lblQuestion = new sor::TFitLabel(QStringLiteral("lblQuestion"), PanQuest);
    lblQuestion->setText(QStringLiteral("Вопрос"));
    setTextColor(lblQuestion, Qt::white);
    lblQuestion->setFont(fontOf(QStringLiteral("Times New Roman"), 24, false));
    // Inside the frame's curved ends.
    lblQuestion->setTextInsets(QMargins(44, 12, 44, 12));
    PanQuest->setAlign(ImageQ, TAlign::Client);
    PanQuest->setAlign(lblQuestion, TAlign::Client);

    // The answer grid: two columns of two panels, a thin strip between the rows.
    PanAnsLeft = new TPanel(QStringLiteral("PanAnsLeft"), PanAllAns);
    Panel6 = new TPanel(QStringLiteral("Panel6"), PanAllAns);
    PanAllAns->setAlign(PanAnsLeft, TAlign::Left, kDesignWidth / 2);
    PanAllAns->setAlign(Panel6, TAlign::Client);

    buildAnswerPanel(1, PanAnsLeft, panQuest1, Img1On, Img1Yes, Img1Off, lblQuest1);
    Image5 = makeImage(QStringLiteral("Image5"), stripPainter(sor::art::Strip::Separator), PanAnsLeft,
                       QStringLiteral("Полоса"));
    PanAnsLeft->setAlign(Image5, TAlign::Top, 6);
    buildAnswerPanel(3, PanAnsLeft, panQuest3, Img3On, Img3Yes, Img3Off, lblQuest3);

    buildAnswerPanel(2, Panel6, panQuest2, Img2On, Img2Yes, Img2Off, lblQuest2);
    Image6 = makeImage(QStringLiteral("Image6"), stripPainter(sor::art::Strip::Separator), Panel6,
                       QStringLiteral("Полоса"));
    Panel6->setAlign(Image6, TAlign::Top, 6);
    buildAnswerPanel(4, Panel6, panQuest4, Img4On, Img4Yes, Img4Off, lblQuest4);

    // Names a screen reader can follow.
    Panel1->setAccessibleName(QStringLiteral("Состояние игры"));
    PanTur->setAccessibleName(QStringLiteral("Тур"));
    PanTimer->setAccessibleName(QStringLiteral("Время до конца тура"));
    Panel5->setAccessibleName(QStringLiteral("Номер вопроса"));
    Panel2->setAccessibleName(QStringLiteral("Игровое поле"));
    PanQuest->setAccessibleName(QStringLiteral("Вопрос"));
    PanAllAns->setAccessibleName(QStringLiteral("Варианты ответов"));
    PanAnsLeft->setAccessibleName(QStringLiteral("Ответы 1 и 3"));
    Panel6->setAccessibleName(QStringLiteral("Ответы 2 и 4"));
    Label1->setAccessibleName(Label1->text());
    RzLEDTimer->setAccessibleName(QStringLiteral("Время до конца тура"));
    lblTur->setAccessibleName(lblTur->text());
    lblQuestNum->setAccessibleName(lblQuestNum->text());
    lblQuestion->setAccessibleName(lblQuestion->text());
    // The question holds the keyboard, so a screen reader's "where am I"
    // reads it; it takes no keys of its own.
    lblQuestion->setFocusPolicy(Qt::StrongFocus);
}

void TfrMain::buildAnswerPanel(int n, TPanel* column, TPanel*& panel, TImage*& on, TImage*& yes, TImage*& off,
                               sor::TAnswerLabel*& label)
{
    const QString num = QString::number(n);
    panel = new TPanel(QStringLiteral("panQuest") + num, column);
    panel->setAccessibleName(QStringLiteral("Ответ ") + num);
    column->setAlign(panel, TAlign::Top, 48);

    // Back to front: On, Yes, Off, the label.
    on = makeImage(QStringLiteral("Img") + num + QStringLiteral("On"), barPainter(sor::art::Bar::On), panel,
                   QStringLiteral("Ответ ") + num + QStringLiteral(", выбран"));
    on->setTag(int(TAnswerLook::On));
    yes = makeImage(QStringLiteral("Img") + num + QStringLiteral("Yes"), barPainter(sor::art::Bar::Yes), panel,
                    QStringLiteral("Ответ ") + num + QStringLiteral(", правильный"));
    yes->setTag(int(TAnswerLook::Yes));
    off = makeImage(QStringLiteral("Img") + num + QStringLiteral("Off"), barPainter(sor::art::Bar::Off), panel,
                    QStringLiteral("Ответ ") + num);
    off->setTag(int(TAnswerLook::Off));
    label = new sor::TAnswerLabel(QStringLiteral("lblQuest") + num, panel);
    label->setText(QStringLiteral("Ответ "));
    label->setFont(fontOf(QStringLiteral("Times New Roman"), 17, true));
    label->setCursor(Qt::PointingHandCursor);
    // Inside the bar's curved ends.
    label->setTextInsets(QMargins(26, 4, 26, 4));
    label->setBuddy(panel);
    label->setAccessibleName(label->text());
    for (QWidget* w : {static_cast<QWidget*>(on), static_cast<QWidget*>(yes), static_cast<QWidget*>(off),
                       static_cast<QWidget*>(label)})
        panel->setAlign(w, TAlign::Client);

    // The label covers the panel and takes the clicks; the pictures name the
    // same handler.
    for (TImage* img : {on, yes, off})
        connect(img, &TImage::clicked, this, [this, img] { btQuestClick(img); });
    connect(label, &sor::TAnswerLabel::clicked, this, [this, label] { btQuestClick(label); });
    connect(label, &sor::TAnswerLabel::mouseEntered, this, [this, label] { lblQuestMouseEnter(label); });
    connect(label, &sor::TAnswerLabel::mouseLeft, this, [this, label] { lblQuestMouseLeave(label); });

    SetAnswerLook(TAnswerLook::Off, label);
}

void TfrMain::buildMenu()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setAccessibleName(QStringLiteral("Главное меню"));
    setMenuBar(MainMenu1);

    const auto item = [this](QMenu* menu, const QString& name, const QString& caption, const QKeySequence& keys,
                             void (TfrMain::*handler)()) {
        auto* a = new QAction(caption, menu);
        a->setObjectName(name);
        if (!keys.isEmpty())
            a->setShortcut(keys);
        // The shortcuts work while the main window has the focus.
        a->setShortcutContext(Qt::WindowShortcut);
        menu->addAction(a);
        addAction(a);
        // The spoken commands are connected once they exist (connectCommands).
        if (handler)
            connect(a, &QAction::triggered, this, handler);
        return a;
    };
    const auto command = [this](const QString& name, const QString& caption, void (TfrMain::*handler)()) {
        auto* a = new QAction(caption, MainMenu1);
        a->setObjectName(name);
        MainMenu1->addAction(a);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };

    N1 = MainMenu1->addMenu(QStringLiteral("Речь "));
    N1->setObjectName(QStringLiteral("N1"));
    N1->menuAction()->setObjectName(QStringLiteral("N1"));
    N2SpeechOnOff = item(N1, QStringLiteral("N2SpeechOnOff"), QStringLiteral("Включить / Отключить речь"),
                         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), nullptr);
    N2SpeechOnOff->setCheckable(true);
    N2 = item(N1, QStringLiteral("N2"), QStringLiteral("Настройки речи..."), QKeySequence(), &TfrMain::N2Click);
    N3 = N1->addSeparator();
    N3->setObjectName(QStringLiteral("N3"));
    N4 = item(N1, QStringLiteral("N4"), QStringLiteral("Осталось времени"), QKeySequence(Qt::CTRL | Qt::Key_T),
              nullptr);
    G1 = item(N1, QStringLiteral("G1"), QStringLiteral("Прочитать вопрос"), QKeySequence(Qt::CTRL | Qt::Key_Q),
              nullptr);
    N5 = item(N1, QStringLiteral("N5"), QStringLiteral("Все варианты ответов"), QKeySequence(Qt::CTRL | Qt::Key_A),
              nullptr);
    N11 = item(N1, QStringLiteral("N11"), QStringLiteral("Прочитать ответ №1"), QKeySequence(Qt::CTRL | Qt::Key_F1),
               nullptr);
    N21 = item(N1, QStringLiteral("N21"), QStringLiteral("Прочитать ответ №2"), QKeySequence(Qt::CTRL | Qt::Key_F2),
               nullptr);
    N31 = item(N1, QStringLiteral("N31"), QStringLiteral("Прочитать ответ №3"), QKeySequence(Qt::CTRL | Qt::Key_F3),
               nullptr);
    N41 = item(N1, QStringLiteral("N41"), QStringLiteral("Прочитать ответ №4"), QKeySequence(Qt::CTRL | Qt::Key_F4),
               nullptr);
    N10 = item(N1, QStringLiteral("N10"), QStringLiteral("Читать медленнее"), QKeySequence(Qt::CTRL | Qt::Key_Z),
               nullptr);
    N12 = item(N1, QStringLiteral("N12"), QStringLiteral("Читать быстрее"), QKeySequence(Qt::CTRL | Qt::Key_X),
               nullptr);

    Y1 = command(QStringLiteral("Y1"), QStringLiteral("Настройки"), &TfrMain::Y1Click);

    N6 = MainMenu1->addMenu(QStringLiteral("Справка"));
    N6->setObjectName(QStringLiteral("N6"));
    N6->menuAction()->setObjectName(QStringLiteral("N6"));
    N7 = item(N6, QStringLiteral("N7"), QStringLiteral("Горячие клавишы"), QKeySequence(Qt::Key_F1),
              &TfrMain::N7Click);
    N8 = item(N6, QStringLiteral("N8"), QStringLiteral("О программе"), QKeySequence(), &TfrMain::N8Click);

    N9 = command(QStringLiteral("N9"), QStringLiteral("Выход"), &TfrMain::N9Click);
}

void TfrMain::connectCommands()
{
    using C = sor::TGameCommands;
    const std::pair<QAction*, void (C::*)()> spoken[] = {
        {N2SpeechOnOff, &C::N2SpeechOnOffClick}, {N4, &C::N4Click},   {G1, &C::G1Click},
        {N5, &C::N5Click},   {N11, &C::N11Click}, {N21, &C::N21Click}, {N31, &C::N31Click},
        {N41, &C::N41Click}, {N10, &C::N10Click}, {N12, &C::N12Click},
    };
    for (const auto& [action, command] : spoken)
        connect(action, &QAction::triggered, Commands, command);
    // The item ticks itself when chosen; the mark shows the speech switch,
    // also when there is no speech to switch.
    connect(N2SpeechOnOff, &QAction::triggered, this,
            [this] { setSpeechSwitchMark(frSpeechSet && frSpeechSet->settings().speechOn()); });
}

// ---- window-level handlers -------------------------------------------------

void TfrMain::FormCreate()
{
    HotKeys = new sor::GlobalHotKeys(this);
    HotKeys->setObjectName(QStringLiteral("HotKeys"));
    connect(HotKeys, &sor::GlobalHotKeys::hotKey, this, &TfrMain::HotKeyPressed);
    HotKeys->registerAll();

    if (frSpeechSet) {
        setSpeechSwitchMark(frSpeechSet->settings().speechOn());
        // The switch is restored once the voices are listed, which may be later.
        connect(&frSpeechSet->settings(), &sor::SpeechSettings::speechSwitched, this,
                &TfrMain::setSpeechSwitchMark);
    }

    try {
        Game->OpenStatusRow();
    } catch (const std::exception&) {
        // Reported by the connection; the row is opened again on activation.
    }
}

void TfrMain::applyWidthRule()
{
    // The left answer column takes the truncated half; the tour panel is as wide
    // that the clock panel's centre sits over the middle of the answer grid.
    const int half = PanAllAns->width() / 2;
    PanAllAns->setExtent(PanAnsLeft, half);
    Panel1->setExtent(PanTur, half - PanTimer->width() / 2);
}

void TfrMain::FormActivate()
{
    applyWidthRule();
    Game->AssignTableNames();
    setQuestionCaption(QString());
    for (int n = 1; n <= 4; ++n)
        setAnswerCaption(n, QString());
    ++activations_;
    Game->EnterStoredState();
}

void TfrMain::FormResize()
{
    // From the client area's present size, also when a hidden window is resized.
    ClientArea->realign();
    applyWidthRule();
}

void TfrMain::FormCloseQuery(bool& CanClose)
{
    SpeechStop();
    CanClose = sor::confirmProgramClose(this);
}

void TfrMain::FormClose()
{
    Game->CloseDown();
    HotKeys->unregisterAll();
    emit closed();
}

void TfrMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The first activation: also where the desktop does not hand the new
    // window the focus.
    if (!activatedOnce_) {
        activatedOnce_ = true;
        queueActivation();
    }
}

void TfrMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TfrMain::closeEvent(QCloseEvent* event)
{
    bool CanClose = true;
    FormCloseQuery(CanClose);
    if (!CanClose) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrMain::focusWindowChanged(QWindow* window)
{
    if (!window)
        return;  // the focus went to another program: no change for the game
    if (window == windowHandle()) {
        if (backFromReconnect_) {
            backFromReconnect_ = false;
            queueActivation();
        }
        return;
    }
    backFromReconnect_ = false;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->windowHandle() == window && qobject_cast<TfrProcessReconnect*>(top))
            backFromReconnect_ = true;
}

void TfrMain::queueActivation()
{
    // Run from the event loop, not inside the focus change: entering the state
    // may open the start prompt.
    if (activationQueued_)
        return;
    activationQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            activationQueued_ = false;
            FormActivate();
        },
        Qt::QueuedConnection);
}

// ---- answers ------------------------------------------------------------------

TPanel* TfrMain::answerPanel(int n) const
{
    switch (n) {
    case 1: return panQuest1;
    case 2: return panQuest2;
    case 3: return panQuest3;
    case 4: return panQuest4;
    default: return nullptr;
    }
}

sor::TAnswerLabel* TfrMain::answerLabel(int n) const
{
    switch (n) {
    case 1: return lblQuest1;
    case 2: return lblQuest2;
    case 3: return lblQuest3;
    case 4: return lblQuest4;
    default: return nullptr;
    }
}

int TfrMain::answerIndexOf(QObject* Sender) const
{
    for (int n = 1; n <= 4; ++n)
        if (Sender && (Sender == answerPanel(n) || Sender->parent() == answerPanel(n)))
            return n;
    return 0;
}

void TfrMain::SetAnswerLook(TAnswerLook look, QLabel* label)
{
    if (!label || !label->parentWidget())
        return;
    const auto pictures = label->parentWidget()->findChildren<TImage*>(Qt::FindDirectChildrenOnly);
    for (TImage* img : pictures) {
        if (img->tag() < 1 || img->tag() > 3)
            continue;
        const bool shown = img->tag() == int(look);
        img->setVisible(shown);
        if (shown)
            setTextColor(label, lookColor(look));
    }
}

void TfrMain::btQuestClick(QObject* Sender)
{
    if (const int n = answerIndexOf(Sender))
        Game->ChooseAnswer(answerLabel(n)->text());
}

void TfrMain::lblQuestMouseEnter(QObject* Sender)
{
    SetAnswerLook(TAnswerLook::On, qobject_cast<QLabel*>(Sender));
}

void TfrMain::lblQuestMouseLeave(QObject* Sender)
{
    SetAnswerLook(TAnswerLook::Off, qobject_cast<QLabel*>(Sender));
}

void TfrMain::HotKeyPressed(int id)
{
    switch (id) {
    case sor::HotKeySpeechStop:
        SpeechStop();
        break;
    case sor::HotKeyAnswer1:
    case sor::HotKeyAnswer2:
    case sor::HotKeyAnswer3:
    case sor::HotKeyAnswer4:
        Game->ChooseAnswer(answerLabel(id - sor::HotKeyAnswer1 + 1)->text());
        break;
    default:
        break;
    }
}

// ---- menu ---------------------------------------------------------------------

void TfrMain::N2Click()
{
    SpeechStop();
    if (frSpeechSet)
        frSpeechSet->exec();
}

void TfrMain::Y1Click()
{
    TfrSettings::execute(this);
}

void TfrMain::N7Click()
{
    ShowHotKeyHelp(this);
}

void TfrMain::N8Click()
{
    ShowAboutBox(this);
}

void TfrMain::N9Click()
{
    close();
}

// ---- the game's view ----------------------------------------------------------

QString TfrMain::questionCaption() const
{
    return lblQuestion->text();
}

void TfrMain::setQuestionCaption(const QString& text)
{
    lblQuestion->setText(text);
    lblQuestion->setAccessibleName(text);
}

QString TfrMain::answerCaption(int n) const
{
    const QLabel* l = answerLabel(n);
    return l ? l->text() : QString();
}

void TfrMain::setAnswerCaption(int n, const QString& text)
{
    if (QLabel* l = answerLabel(n)) {
        l->setText(text);
        l->setAccessibleName(text);
    }
}

void TfrMain::setTourCaption(const QString& text)
{
    lblTur->setText(text);
    lblTur->setAccessibleName(text);
}

void TfrMain::setQuestNumCaption(const QString& text)
{
    lblQuestNum->setText(text);
    lblQuestNum->setAccessibleName(text);
}

QString TfrMain::ledCaption() const
{
    return RzLEDTimer->caption();
}

void TfrMain::setLedCaption(const QString& text)
{
    // Not told to the screen reader every second: Ctrl+T reads it.
    RzLEDTimer->setCaption(text);
}

void TfrMain::setAnswerLook(TAnswerLook look, int n)
{
    SetAnswerLook(look, answerLabel(n));
}

void TfrMain::setSpeechSwitchMark(bool checked)
{
    N2SpeechOnOff->setChecked(checked);
}

bool TfrMain::startPromptOpen() const
{
    return promptOpen_ || frStartGameBt != nullptr;
}

int TfrMain::showStartPrompt(const QString& caption)
{
    if (StartPromptHook) {
        const QScopedValueRollback<bool> open(promptOpen_, true);
        return StartPromptHook(caption);
    }
    return ShowStartPrompt(this, caption);
}

bool TfrMain::pauseSeconds(int seconds)
{
    return sor::PauseSeconds(this, seconds);
}

QObject* TfrMain::messageOwner()
{
    return this;
}

void TfrMain::flushKeyboard()
{
    sor::FlushKeyboardMessages();
}

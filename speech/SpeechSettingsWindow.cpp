#include "speech/SpeechSettingsWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "speech/Announce.h"
#include "speech/EspeakEngine.h"
#include "speech/SpeechDispatcherEngine.h"
#include "speech/ScreenReader.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSwitchKey.h"

TfrSpeechSet* frSpeechSet = nullptr;

TfrSpeechSet::TfrSpeechSet(std::unique_ptr<sor::SpeechEngine> modes, std::unique_ptr<sor::SpeechEngine> voices,
                           const QString& iniPath, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frSpeechSet"));
    setWindowTitle(QStringLiteral("Настройки речи"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    Label1 = new QLabel(QStringLiteral("Выбор голоса"), this);
    cbSelectSpeech = new QComboBox(this);
    cbSelectSpeech->setEditable(true);
    cbSelectSpeech->setInsertPolicy(QComboBox::NoInsert);
    cbSelectSpeech->setMinimumContentsLength(32);
    Label1->setBuddy(cbSelectSpeech);

    RzGroupBox1 = new QGroupBox(QStringLiteral("Скорость речи"), this);
    TrackBar2 = new QSlider(Qt::Horizontal, RzGroupBox1);
    TrackBar2->setRange(-10, 10);
    TrackBar2->setValue(0);
    TrackBar2->setTickPosition(QSlider::TicksBothSides);
    TrackBar2->setTickInterval(1);
    TrackBar2->setSingleStep(1);
    TrackBar2->setPageStep(1);
    RateLabel = new QLabel(QStringLiteral("0"), RzGroupBox1);
    RateLabel->setMinimumWidth(RateLabel->fontMetrics().horizontalAdvance(QStringLiteral("-10")) + 4);

    btOK = new QPushButton(QStringLiteral("ОК"), this);
    btOK->setDefault(true);
    btOK->setAutoDefault(true);
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    // Enter on a button that has the keyboard presses that button: "Отмена"
    // must never commit the voice as "ОК" would.
    btCancel->setAutoDefault(true);

    Label1->setObjectName(QStringLiteral("Label1"));
    cbSelectSpeech->setObjectName(QStringLiteral("cbSelectSpeech"));
    RzGroupBox1->setObjectName(QStringLiteral("RzGroupBox1"));
    TrackBar2->setObjectName(QStringLiteral("TrackBar2"));
    RateLabel->setObjectName(QStringLiteral("RateLabel"));
    btOK->setObjectName(QStringLiteral("btOK"));
    btCancel->setObjectName(QStringLiteral("btCancel"));
    cbSelectSpeech->setAccessibleName(QStringLiteral("Выбор голоса"));
    RzGroupBox1->setAccessibleName(QStringLiteral("Скорость речи"));
    TrackBar2->setAccessibleName(QStringLiteral("Скорость речи"));
    RateLabel->setAccessibleName(QStringLiteral("Скорость речи в силе"));
    btOK->setAccessibleName(QStringLiteral("ОК"));
    btCancel->setAccessibleName(QStringLiteral("Отмена"));

    auto* rateRow = new QHBoxLayout(RzGroupBox1);
    rateRow->addWidget(TrackBar2, 1);
    rateRow->addWidget(RateLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Label1);
    column->addWidget(cbSelectSpeech);
    column->addWidget(RzGroupBox1);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(cbSelectSpeech, TrackBar2);
    setTabOrder(TrackBar2, btOK);
    setTabOrder(btOK, btCancel);

    sor::onFocusArrival(cbSelectSpeech, [this] { cbSelectSpeechEnter(); });
    sor::onFocusArrival(TrackBar2, [this] { TrackBar2Enter(); });
    TrackBar2->installEventFilter(this);
    sor::announceButton(btOK);
    sor::announceButton(btCancel);

    connect(cbSelectSpeech, &QComboBox::currentIndexChanged, this, &TfrSpeechSet::cbSelectSpeechChange);
    connect(cbSelectSpeech, &QComboBox::activated, this, &TfrSpeechSet::cbSelectSpeechSelect);
    connect(TrackBar2, &QSlider::valueChanged, this, &TfrSpeechSet::TrackBar2Change);
    connect(btOK, &QPushButton::clicked, this, &TfrSpeechSet::BtClickOk);
    connect(btCancel, &QPushButton::clicked, this, &TfrSpeechSet::BtClickCancel);

    settings_ = std::make_unique<sor::SpeechSettings>(std::move(modes), std::move(voices), iniPath);
    connect(settings_.get(), &sor::SpeechSettings::listChanged, this, &TfrSpeechSet::showList);
    connect(settings_.get(), &sor::SpeechSettings::stateChanged, this, &TfrSpeechSet::showState);
    showList();
    showState();
    sor::installScreenReaderRoute();
    new sor::TSpeechSwitchKey(*settings_, this);
    alive_ = true;
    frSpeechSet = this;
}

TfrSpeechSet::~TfrSpeechSet()
{
    alive_ = false;
    if (frSpeechSet == this)
        frSpeechSet = nullptr;
    disconnect(settings_.get(), nullptr, this, nullptr);
    cbSelectSpeech->disconnect(this);
    TrackBar2->disconnect(this);
    // The settings are saved and unregistered as they go; the controls follow.
    settings_.reset();
}

std::unique_ptr<TfrSpeechSet> TfrSpeechSet::createWithRealEngines(const QString& iniPath)
{
    return std::make_unique<TfrSpeechSet>(std::make_unique<sor::EspeakEngine>(),
                                          std::make_unique<sor::SpeechDispatcherEngine>(), iniPath);
}

void TfrSpeechSet::showList()
{
    const QSignalBlocker block(cbSelectSpeech);
    cbSelectSpeech->clear();
    cbSelectSpeech->addItems(settings_->entries());
    cbSelectSpeech->setCurrentIndex(settings_->currentEntry());
}

void TfrSpeechSet::showState()
{
    {
        const QSignalBlocker block(cbSelectSpeech);
        if (cbSelectSpeech->currentIndex() != settings_->currentEntry())
            cbSelectSpeech->setCurrentIndex(settings_->currentEntry());
    }
    RzGroupBox1->setEnabled(settings_->rateGroupEnabled());
    {
        const QSignalBlocker block(TrackBar2);
        TrackBar2->setValue(settings_->trackBar2Position());
    }
    RateLabel->setText(settings_->rateLabelText());
}

bool TfrSpeechSet::eventFilter(QObject* watched, QEvent* event)
{
    if (alive_ && event->type() == QEvent::KeyPress && watched == TrackBar2)
        TrackBar2KeyDown(static_cast<QKeyEvent*>(event)->key());
    return QDialog::eventFilter(watched, event);
}

// The window's own phrases voice its controls, which a screen reader reads by
// itself.
void TfrSpeechSet::cbSelectSpeechEnter()
{
    sor::sayPhrase(QStringLiteral("Выпадающий список голосов "), true, sor::Phrase::Shown);
    const QString name = cbSelectSpeech->currentIndex() >= 0 ? cbSelectSpeech->currentText() : QString();
    if (!name.isEmpty())
        sor::sayPhrase(QStringLiteral("Выбран ") + name + QStringLiteral(". "), false, sor::Phrase::Shown);
}

void TfrSpeechSet::cbSelectSpeechSelect(int index)
{
    const QString name = cbSelectSpeech->itemText(index);
    if (name.isEmpty())
        return;
    sor::sayPhrase(name + QStringLiteral(". "), true, sor::Phrase::Shown);
}

void TfrSpeechSet::cbSelectSpeechChange(int index)
{
    settings_->cbSelectSpeechChange(index);
}

void TfrSpeechSet::TrackBar2Enter()
{
    sor::sayPhrase(QStringLiteral("Ползунок скорость речи для SAPI5"), true, sor::Phrase::Shown);
}

void TfrSpeechSet::TrackBar2KeyDown(int key)
{
    // Any key silences what was being said; the arrows say which way.
    if (key == Qt::Key_Left)
        sor::sayPhrase(QStringLiteral("Медленнее."), true, sor::Phrase::Shown);
    else if (key == Qt::Key_Right)
        sor::sayPhrase(QStringLiteral("Быстрее."), true, sor::Phrase::Shown);
    else
        SpeechStop();
    // The slider then moves by its own key handling.
}

void TfrSpeechSet::TrackBar2Change(int position)
{
    settings_->TrackBar2Change(position);
}

void TfrSpeechSet::BtClickOk()
{
    settings_->BtClickOk();
    done(QDialog::Accepted);
}

void TfrSpeechSet::BtClickCancel()
{
    settings_->BtClickCancel();
    done(QDialog::Rejected);
}

void TfrSpeechSet::reject()
{
    // Escape works as the Cancel button.
    BtClickCancel();
}

void TfrSpeechSet::closeEvent(QCloseEvent* event)
{
    // Closing by the title bar leaves the settings as they are.
    if (isVisible())
        QDialog::done(QDialog::Rejected);
    event->accept();
}

void TfrSpeechSet::showEvent(QShowEvent* event)
{
    // Centred on the window that opened it.
    QWidget* over = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
    if (over && over != this)
        move(over->frameGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

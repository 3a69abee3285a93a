// The spoken focus announcements on a small window built the way the account
// windows are: a heading, two labelled edits (one echoing, one a password), a
// check box the window sets up itself, and a button.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "speech/Announce.h"
#include "speech/LabeledEdit.h"
#include "support/SpeechRig.h"

namespace {

class Form : public QWidget
{
public:
    Form()
    {
        Label1 = new QLabel(QStringLiteral("Авторизация"), this);
        ledLogin = new TLabeledEdit(QStringLiteral("E-mail"), this);
        ledPass = new TLabeledEdit(QStringLiteral("Пароль"), this);
        ledPass->setEchoMode(QLineEdit::Password);
        chAutoLogin = new QCheckBox(QStringLiteral("Автоматическая авторизация "), this);
        btOK = new QPushButton(QStringLiteral("Войти"), this);
        auto* column = new QVBoxLayout(this);
        for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(ledLogin),
                           static_cast<QWidget*>(ledPass), static_cast<QWidget*>(chAutoLogin),
                           static_cast<QWidget*>(btOK)})
            column->addWidget(w);

        sor::announceHeading(this, [this] { return Label1->text(); });
        sor::announceEdit(ledLogin);
        sor::echoTypedCharacters(ledLogin);
        sor::announceEdit(ledPass);
        sor::announceCheckBox(chAutoLogin, [this] { return settingUp; });
        sor::announceButton(btOK);
    }

    QLabel* Label1;
    TLabeledEdit* ledLogin;
    TLabeledEdit* ledPass;
    QCheckBox* chAutoLogin;
    QPushButton* btOK;
    bool settingUp = false;
};

}  // namespace

class TestAnnounce : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig_;
    std::unique_ptr<Form> form_;

    // Tabs from the current control and returns what that said.
    QStringList tab()
    {
        rig_->clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        return rig_->heard();
    }

private slots:
    void init()
    {
        rig_ = std::make_unique<sortest::SpeechRig>();
        form_ = std::make_unique<Form>();
    }
    void cleanup()
    {
        form_.reset();
        rig_.reset();
    }

    void openingSaysTheHeadingThenTheFirstControl()
    {
        form_->show();
        form_->activateWindow();
        QApplication::setActiveWindow(form_.get());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QTRY_COMPARE(QApplication::focusWidget(), form_->ledLogin->lineEdit());
        // The first control's announcement is a new one: it cuts the heading off.
        QCOMPARE(rig_->heard(), QStringList({"!Авторизация", "!Редактор E-mail"}));
    }

    void tabbingIntoEdits_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("intoLogin");
        QTest::addColumn<QStringList>("intoPassword");
        QTest::newRow("empty edits say only what they are")
            << "" << "" << QStringList({"!Редактор E-mail"}) << QStringList({"!Редактор Пароль"});
        QTest::newRow("filled edits say their text after it")
            << "demo@tavrek.example" << "sorventa" << QStringList({"!Редактор E-mail", "demo@tavrek.example"})
            << QStringList({"!Редактор Пароль", "sorventa"});
        QTest::newRow("blanks only are not spoken") << "   " << "" << QStringList({"!Редактор E-mail"})
                                                    << QStringList({"!Редактор Пароль"});
    }
    void tabbingIntoEdits()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QStringList, intoLogin);
        QFETCH(QStringList, intoPassword);
        form_->ledLogin->setText(login);
        form_->ledPass->setText(password);
        form_->show();
        form_->activateWindow();
        QApplication::setActiveWindow(form_.get());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        form_->btOK->setFocus();
        QCOMPARE(tab(), intoLogin);  // round from the button
        QCOMPARE(tab(), intoPassword);
        // Tabbing on before the end: the next control cuts both phrases off.
        QCOMPARE(tab(), QStringList({"!Флажок. Автоматическая авторизация ", "Неотмечено. "}));
    }

    void typedCharactersAreEchoed()
    {
        form_->show();
        form_->activateWindow();
        QApplication::setActiveWindow(form_.get());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        form_->ledLogin->setFocus();
        QLineEdit* login = form_->ledLogin->lineEdit();

        rig_->clear();
        QTest::keyClicks(login, QStringLiteral("aH1@"));
        QTest::sendKeyEvent(QTest::Click, login, Qt::Key(0x0416), QStringLiteral("ж"), Qt::NoModifier);
        QCOMPARE(rig_->heard(), QStringList({"!А ", "!Аш ", "!1", "!@", "!ж"}));
        QCOMPARE(form_->ledLogin->text(), QStringLiteral("aH1@ж"));

        // Backspace, Enter and keys that type nothing: not a word, not a stop.
        rig_->clear();
        QTest::keyClick(login, Qt::Key_Backspace);
        QTest::keyClick(login, Qt::Key_Return);
        QTest::keyClick(login, Qt::Key_Left);
        QTest::keyClick(login, Qt::Key_Home);
        QVERIFY(rig_->events().isEmpty());
        QCOMPARE(form_->ledLogin->text(), QStringLiteral("aH1@"));

        // A password is never spelled out as it is typed.
        form_->ledPass->setFocus();
        rig_->clear();
        QTest::keyClicks(form_->ledPass->lineEdit(), QStringLiteral("secret"));
        QVERIFY(rig_->events().isEmpty());
    }

    void checkBoxOnFocusAndOnChange()
    {
        form_->show();
        form_->activateWindow();
        QApplication::setActiveWindow(form_.get());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        form_->ledPass->setFocus();
        QCOMPARE(tab(), QStringList({"!Флажок. Автоматическая авторизация ", "Неотмечено. "}));

        rig_->clear();
        QTest::keyClick(form_->chAutoLogin, Qt::Key_Space);
        QVERIFY(form_->chAutoLogin->isChecked());
        QCOMPARE(rig_->heard(), QStringList({"!Флажок. Автоматическая авторизация Отмечено. "}));

        // The window setting the box up itself holds the phrase back.
        rig_->clear();
        form_->settingUp = true;
        form_->chAutoLogin->setChecked(false);
        QVERIFY(rig_->events().isEmpty());
        form_->settingUp = false;
        form_->chAutoLogin->setChecked(true);
        QCOMPARE(rig_->heard(), QStringList({"!Флажок. Автоматическая авторизация Отмечено. "}));
    }

    void captionsAreReadWhenSpoken()
    {
        form_->show();
        form_->activateWindow();
        QApplication::setActiveWindow(form_.get());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        form_->btOK->setText(QStringLiteral("Сохранить"));
        form_->ledLogin->setCaption(QStringLiteral("Логин"));
        form_->chAutoLogin->setFocus();
        QCOMPARE(tab(), QStringList({"!Кнопка Сохранить"}));
        QCOMPARE(tab(), QStringList({"!Редактор Логин"}));
    }

    void focusBackFromAPopupIsNotAnnounced()
    {
        form_->show();
        form_->activateWindow();
        QApplication::setActiveWindow(form_.get());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        form_->btOK->setFocus();
        rig_->clear();
        QFocusEvent back(QEvent::FocusIn, Qt::PopupFocusReason);
        QApplication::sendEvent(form_->btOK, &back);
        QFocusEvent menu(QEvent::FocusIn, Qt::MenuBarFocusReason);
        QApplication::sendEvent(form_->btOK, &menu);
        QVERIFY(rig_->events().isEmpty());
        // Nor one the control does not really have (a dialog's early FocusIn).
        QFocusEvent early(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(form_->chAutoLogin, &early);
        QVERIFY(rig_->events().isEmpty());
    }

    void headingOnActivation()
    {
        QWidget help;
        sor::announceHeading(&help, [] { return QStringLiteral("Ctrl+Q - вопрос"); }, sor::HeadingWhen::Activated);
        help.show();
        help.activateWindow();
        QApplication::setActiveWindow(&help);
        QVERIFY(QTest::qWaitForWindowActive(&help));
        QTRY_COMPARE(rig_->heard(), QStringList({"!Ctrl+Q - вопрос"}));
    }

    void labeledEdit()
    {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        TLabeledEdit* e = form_->ledLogin;
        QVERIFY(e->EditLabel->geometry().right() < e->lineEdit()->geometry().left());  // label on the left
        QCOMPARE(e->EditLabel->buddy(), e->lineEdit());
        QCOMPARE(e->lineEdit()->accessibleName(), QStringLiteral("E-mail"));
        QVERIFY(form_->ledPass->isPassword());
    }

    void menuItemPhrase_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("with a shortcut") << "Осталось времени" << QKeySequence("Ctrl+T") << true << false
                                         << "Осталось времени Ctrl+T";
        QTest::newRow("checked") << "Речь" << QKeySequence("Ctrl+Alt+S") << true << true << "Речь Ctrl+Alt+S отмечено. ";
        QTest::newRow("no shortcut") << "Выход" << QKeySequence() << true << false << "Выход ";
        QTest::newRow("disabled") << "Вопрос" << QKeySequence("F2") << false << false << "Вопрос F2 выключено. ";
        QTest::newRow("disabled and checked says only checked") << "Речь" << QKeySequence() << false << true
                                                                << "Речь  отмечено. ";
        QTest::newRow("modifiers in their order") << "X" << QKeySequence("Ctrl+Shift+Alt+F1") << true << false
                                                  << "X Shift+Ctrl+Alt+F1";
    }
    void menuItemPhrase()
    {
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        QFETCH(bool, enabled);
        QFETCH(bool, checked);
        QFETCH(QString, phrase);
        QCOMPARE(sor::menuItemPhrase(caption, sor::shortcutText(shortcut), enabled, checked), phrase);
        QAction item(caption);
        item.setShortcut(shortcut);
        item.setEnabled(enabled);
        item.setCheckable(checked);
        item.setChecked(checked);
        rig_->clear();
        sor::announceMenuItem(&item);
        QCOMPARE(rig_->heard(), QStringList({"!" + phrase}));
    }
};

QTEST_MAIN(TestAnnounce)
#include "tst_announce.moc"

// The speech settings window walked with the keyboard, as a blind player walks
// it: what is heard at every control, and what the controls do to the settings.

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "speech/FakeSpeechEngine.h"
#include "speech/SpeechSettingsWindow.h"
#include "support/SpeechRig.h"

class TestSpeechSetWindow : public QObject
{
    Q_OBJECT

    // Shows the window, gives it the keyboard and forgets what that said.
    static void open(sortest::SpeechRig& rig)
    {
        TfrSpeechSet* w = rig.window();
        w->show();
        w->activateWindow();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->cbSelectSpeech->setFocus();
        rig.clear();
    }

private slots:
    void controls()
    {
        sortest::SpeechRig rig;
        TfrSpeechSet* w = rig.window();
        QVERIFY(w);
        QCOMPARE(frSpeechSet, w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Настройки речи"));
        QCOMPARE(w->Label1->text(), QStringLiteral("Выбор голоса"));
        QCOMPARE(w->RzGroupBox1->title(), QStringLiteral("Скорость речи"));
        QCOMPARE(w->btOK->text(), QStringLiteral("ОК"));
        QCOMPARE(w->btCancel->text(), QStringLiteral("Отмена"));
        QVERIFY(w->btOK->isDefault());
        QVERIFY(w->cbSelectSpeech->isEditable());
        QCOMPARE(w->TrackBar2->minimum(), -10);
        QCOMPARE(w->TrackBar2->maximum(), 10);
        QCOMPARE(w->TrackBar2->tickPosition(), QSlider::TicksBothSides);
        const QStringList names = {"Label1", "cbSelectSpeech", "RzGroupBox1", "TrackBar2", "RateLabel", "btOK", "btCancel"};
        for (const QString& name : names)
            QVERIFY2(w->findChild<QWidget*>(name), qPrintable(name));
        QVERIFY(!w->cbSelectSpeech->accessibleName().isEmpty());
        QVERIFY(!w->TrackBar2->accessibleName().isEmpty());

        // The box and the slider show the restored settings.
        QCOMPARE(w->cbSelectSpeech->count(), 2);
        QCOMPARE(w->cbSelectSpeech->currentText(), QStringLiteral("Russian"));
        QVERIFY(w->RzGroupBox1->isEnabled());
        QCOMPARE(w->RateLabel->text(), QStringLiteral("0"));
    }

    void walkTheWindowWithTheKeyboard()
    {
        sortest::SpeechRig rig;
        TfrSpeechSet* w = rig.window();
        w->show();
        w->activateWindow();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->btCancel->setFocus();
        rig.clear();

        QTest::keyClick(w, Qt::Key_Tab);  // round to the voice box
        QCOMPARE(QApplication::focusWidget(), w->cbSelectSpeech);
        QCOMPARE(rig.heard(), QStringList({"!Выпадающий список голосов ", "Выбран Russian. "}));

        rig.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->TrackBar2);
        QCOMPARE(rig.heard(), QStringList({"!Ползунок скорость речи для SAPI5"}));

        rig.clear();
        QTest::keyClick(w->TrackBar2, Qt::Key_Right);
        QTest::keyClick(w->TrackBar2, Qt::Key_Right);
        QTest::keyClick(w->TrackBar2, Qt::Key_Left);
        QCOMPARE(rig.heard(), QStringList({"!Быстрее.", "!Быстрее.", "!Медленнее."}));
        QCOMPARE(w->TrackBar2->value(), 1);
        QCOMPARE(w->RateLabel->text(), QStringLiteral("1"));
        QCOMPARE(rig.settings().SpeedSpeak(), 1);
        QCOMPARE(rig.voices().rate, 1);

        rig.clear();
        QTest::keyClick(w->TrackBar2, Qt::Key_Home);  // any other key only stops
        QCOMPARE(rig.heard(), QStringList({"!"}));
        QCOMPARE(rig.settings().SpeedSpeak(), -10);

        rig.clear();
        QTest::keyClick(w->TrackBar2, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->btCancel);
        QCOMPARE(rig.heard(), QStringList({"!Кнопка ОК", "!Кнопка Отмена"}));
    }

    void choosingAnEntryAppliesAndAnnouncesIt()
    {
        sortest::SpeechRig rig;
        open(rig);
        TfrSpeechSet* w = rig.window();
        QTest::keyClick(w->cbSelectSpeech, Qt::Key_Up);
        QCOMPARE(w->cbSelectSpeech->currentIndex(), 0);
        // Applied at once (a stop, the voice assigned), then its name, stop-first.
        QCOMPARE(rig.heard(), QStringList({"!English. "}));
        QCOMPARE(rig.voices().selected, 0);
        QCOMPARE(rig.settings().IndexTTS(), 1);  // not committed before OK
    }

    void okCommitsTheChoice()
    {
        sortest::SpeechRig rig;
        open(rig);
        TfrSpeechSet* w = rig.window();
        QTest::keyClick(w->cbSelectSpeech, Qt::Key_Up);
        rig.clear();
        QTest::keyClick(w->cbSelectSpeech, Qt::Key_Return);
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), int(QDialog::Accepted));
        QCOMPARE(rig.settings().IndexTTS(), 0);
        QCOMPARE(rig.heard().last(), QStringLiteral("!Энтэр. "));
    }

    void escapeWorksAsCancel()
    {
        sortest::SpeechRig rig;
        open(rig);
        TfrSpeechSet* w = rig.window();
        QTest::keyClick(w->cbSelectSpeech, Qt::Key_Up);
        rig.clear();
        QTest::keyClick(w->cbSelectSpeech, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), int(QDialog::Rejected));
        // Cancel applies the box's voice again; the committed one stays.
        QCOMPARE(rig.events(), QStringList({"voices: purge", "voices: select 0 English", "voices: volume 100"}));
        QCOMPARE(rig.settings().IndexTTS(), 1);
        QCOMPARE(w->cbSelectSpeech->currentIndex(), 0);
    }

    void emptyBoxSaysOnlyWhatItIs()
    {
        sortest::SpeechRig rig;
        TfrSpeechSet* w = rig.window();
        w->show();
        w->activateWindow();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->btOK->setFocus();
        // The box emptied while the committed voice goes on speaking.
        rig.settings().cbSelectSpeechChange(-1);
        QCOMPARE(w->cbSelectSpeech->currentIndex(), -1);
        QVERIFY(!w->RzGroupBox1->isEnabled());
        rig.clear();
        w->cbSelectSpeech->setFocus();
        QCOMPARE(rig.heard(), QStringList({"!Выпадающий список голосов "}));
    }

    void sliderFollowsTheRateSetFromOutside()
    {
        sortest::SpeechRig rig;
        TfrSpeechSet* w = rig.window();
        w->SetSpeedSpeak(-6);
        QCOMPARE(w->TrackBar2->value(), -6);
        QCOMPARE(w->RateLabel->text(), QStringLiteral("-6"));
        // The one-step commands move the slider; at its end nothing changes.
        w->TrackBar2->setValue(w->TrackBar2->value() - 5);
        w->TrackBar2->setValue(w->TrackBar2->value() - 1);
        QCOMPARE(w->SpeedSpeak(), -10);
        QCOMPARE(rig.voices().rate, -10);
    }
};

QTEST_MAIN(TestSpeechSetWindow)
#include "tst_speechsetwindow.moc"

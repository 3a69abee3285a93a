#pragma once
// The speech settings window: the voice box, the rate slider, OK and Cancel.
// One instance, frSpeechSet, lives for the whole run (created at start-up, shown
// modally from the main window's menu). It owns the speech settings and shows
// their state; the logic is in sor::SpeechSettings.

#include <QDialog>
#include <memory>

#include "speech/SpeechSettings.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

class TfrSpeechSet : public QDialog
{
    Q_OBJECT

public:
    // Creates the speech settings with the two engine families and the settings
    // file (empty: none), restores the settings and becomes frSpeechSet.
    TfrSpeechSet(std::unique_ptr<sor::SpeechEngine> modes, std::unique_ptr<sor::SpeechEngine> voices,
                 const QString& iniPath, QWidget* parent = nullptr);
    ~TfrSpeechSet() override;

    // With espeak-ng and speech-dispatcher.
    static std::unique_ptr<TfrSpeechSet> createWithRealEngines(const QString& iniPath);

    sor::SpeechSettings& settings() { return *settings_; }

    int IndexTTS() const { return settings_->IndexTTS(); }
    void SetIndexTTS(int spInd) { settings_->SetIndexTTS(spInd); }
    int SpeedSpeak() const { return settings_->SpeedSpeak(); }
    void SetSpeedSpeak(int value) { settings_->SetSpeedSpeak(value); }
    bool SpeechOutEx(const QString& sTxtSp) { return settings_->SpeechOutEx(sTxtSp); }
    void SpeechStopEx() { settings_->SpeechStopEx(); }
    QString LatToRusForSpeech(QChar cLat) const { return sor::SpeechSettings::LatToRusForSpeech(cLat); }
    int RomanToInt(const QString& romanNumber) const { return sor::SpeechSettings::RomanToInt(romanNumber); }

    QLabel* Label1;
    QComboBox* cbSelectSpeech;
    QGroupBox* RzGroupBox1;
    QSlider* TrackBar2;
    QLabel* RateLabel;
    QPushButton* btOK;
    QPushButton* btCancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void cbSelectSpeechEnter();
    void cbSelectSpeechSelect(int index);
    void cbSelectSpeechChange(int index);
    void TrackBar2Enter();
    void TrackBar2KeyDown(int key);
    void TrackBar2Change(int position);
    void BtClickOk();
    void BtClickCancel();

    void showList();
    void showState();

    std::unique_ptr<sor::SpeechSettings> settings_;
    bool alive_ = false;
};

// The one speech settings window; empty before start-up creates it.
extern TfrSpeechSet* frSpeechSet;

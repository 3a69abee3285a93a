#pragma once
// Everything the program knows about speech: the voice list (the modes of the
// "modes" family first, then the voices of the "voices" family), the chosen
// voice, the rate, the speech switch, speaking and stopping on behalf of the
// whole program, and the settings kept in "settings.ini" (section "Speech").
//
// The speech settings window TfrSpeechSet is a thin view of this class: its voice
// box, rate slider and label show the state kept here, and its handlers call the
// operations below. While an instance exists it is what SpeechOut and SpeechStop
// speak through.
//
// The voices family may take a while to list its voices. Until both families
// have answered (or a guard time has passed) the list is incomplete, nothing is
// restored yet, and texts to speak are held back; when the list is complete the
// settings are restored and the held texts (those since the last stop) spoken.

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>

#include "speech/SpeechEngine.h"
#include "speech/SpeechRoutines.h"

namespace sor {

class SpeechSettings : public QObject, public SpeechBackend
{
    Q_OBJECT

public:
    // The voices family lists its voices in one to three seconds; a server that
    // does not answer at all must not keep the program silent for longer than this.
    static constexpr int kListGuardMs = 8000;

    // iniPath empty: no settings file; the settings start as from a missing file
    // and are never written.
    // listGuardMs: how long to wait for the families' voice lists before going on without them.
    SpeechSettings(std::unique_ptr<SpeechEngine> modes, std::unique_ptr<SpeechEngine> voices,
                   QString iniPath, int listGuardMs = kListGuardMs, QObject* parent = nullptr);
    ~SpeechSettings() override;  // saves the settings, unless an end of the program already did

    // Texts held back while the list is incomplete, at most.
    static constexpr int kMaxHeldTexts = 32;

    bool isReady() const { return ready_; }
    // Waits, processing events, until the list is complete: at most the guard
    // time given at construction, since the guard completes it then.
    void waitUntilReady();

    // The voice list and its parts.
    const QStringList& entries() const { return entries_; }
    int sapi4Count() const { return iSapi4Count; }  // entries that are modes
    bool isVoiceIndex(int index) const { return index > iSapi4Count - 1; }

    // The committed entry (-1: none) and committing one.
    int IndexTTS() const { return iIndTTS; }
    void SetIndexTTS(int spInd);

    // The committed rate (-10..10) of the voices family and setting it.
    int SpeedSpeak() const { return FSpeedSpeak; }
    void SetSpeedSpeak(int value);

    // The speech switch: while it is off nothing is spoken or stopped. Setting
    // it is the player's own choice, kept at the end of the program.
    bool speechOn() const { return SpeechOnOff; }
    void setSpeechOn(bool on);
    // The player's speech on/off command: "Речь выключена" is said while speech
    // is still on; "Речь включена" once it is on, and speech stays on only if
    // a voice could take it.
    void switchSpeechByPlayer();

    // True while the committed mode has an engine to speak with.
    bool modeEngineReady() const { return fITTSCentral; }

    // What the window shows.
    int currentEntry() const { return iCurrentEntry; }  // the voice box's current entry, -1: none
    QString currentEntryName() const;
    bool rateGroupEnabled() const { return bRateGroupEnabled; }
    int trackBar2Position() const { return iTrackBar2Position; }
    QString rateLabelText() const { return QString::number(FSpeedSpeak); }

    // What the window's controls do.
    void cbSelectSpeechChange(int entry);  // the box's current entry changed: apply it
    void TrackBar2Change(int position);    // the slider moved to `position`
    // The slider set to `position` from outside (clamped to -10..10); like the
    // slider itself it does nothing when that is where it stands already.
    void moveTrackBar2(int position);
    void BtClickOk();      // commit the box's entry and confirm it aloud
    void BtClickCancel();  // apply the box's entry again (does not undo a choice)

    bool SpeechOutEx(const QString& sTxtSp) override;
    void SpeechStopEx() override;
    // Until the list is complete the switch is not known yet: phrases are held
    // as if speech were on, and routed again once it is known.
    bool speaksItself() const override { return !ready_ || SpeechOnOff; }
    bool SpeechOutEx(const QString& sTxtSp, Phrase kind) override;

    static QString LatToRusForSpeech(QChar cLat);
    static int RomanToInt(const QString& romanNumber);

    // The settings file in use and writing it now (normally done at the end).
    // Only what the player changed during the run is written, and what the
    // file did not hold yet; every other line of the file stays as it was. So
    // a voice taken only because the stored one is missing this time (its
    // engine not up yet) is never written over the player's choice.
    QString iniPath() const { return iniPath_; }
    void save();
    // Reads the file but never writes it (speech brought up for a notice only).
    void keepFileAsItIs();

signals:
    void listChanged();   // entries() has been filled
    void stateChanged();  // current entry, rate group, slider or label changed
    void speechSwitched(bool on);
    void ready();         // the list is complete and the settings restored

private:
    void tryComplete();
    void complete();
    void restore();
    void applyEntry(int familyEntry, int mode);
    void commitIndex(int spInd);
    void applyRate(int value);
    void switchSpeech(bool on);

    std::unique_ptr<SpeechEngine> aTTSEnum;  // the modes family
    std::unique_ptr<SpeechEngine> gpIVTxt;   // the voices family
    QString iniPath_;

    QStringList entries_;
    int iSapi4Count = 0;
    int iIndTTS = 0;
    int FSpeedSpeak = 0;
    bool SpeechOnOff = false;
    bool fITTSCentral = false;

    int iCurrentEntry = -1;
    bool bRateGroupEnabled = false;
    int iTrackBar2Position = 0;

    // What the file held when the settings were restored (unset: the key was
    // missing or not a number), and what the player has changed since.
    std::optional<int> storedIndex_;
    std::optional<int> storedSwitch_;
    std::optional<int> storedRate_;
    bool indexChanged_ = false;
    bool switchChanged_ = false;
    bool rateChanged_ = false;

    bool ready_ = false;
    QList<QPair<QString, Phrase>> held_;
    QTimer guard_;
    int endHook_ = 0;
    bool saved_ = false;
};

// Where "settings.ini" lives: in the program's folder, or, when that folder (or
// the file in it) cannot be written, under the same name in the user's
// configuration folder, so that the settings are never lost. An installed
// program (its folder is installedDir) always keeps them in the user's folder:
// the system's program folder is no place for a player's file, even for root.
QString speechSettingsFile(const QString& programDir, const QString& userConfigDir,
                           const QString& installedDir = QString());

}  // namespace sor

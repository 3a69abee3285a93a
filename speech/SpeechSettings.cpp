#include "speech/SpeechSettings.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>
#include <utility>

#include "platform/Installed.h"
#include "platform/Process.h"

namespace sor {
namespace {

// The file's section and its keys: read through QSettings as "section/key",
// written line by line into the section.
const QString kSection = QStringLiteral("Speech");
const QString kSpeechIndex = QStringLiteral("SpeechIndex");
const QString kSpeechOnOff = QStringLiteral("SpeechOnOff");
const QString kSpeedSpeak = QStringLiteral("SpeedSpeak");

// Nothing left once blanks and control characters are cut from both ends.
bool isBlank(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 32)
            return false;
    return true;
}

std::optional<int> readInt(const QSettings* ini, const QString& key)
{
    if (!ini)
        return std::nullopt;
    bool ok = false;
    const int value = ini->value(kSection + QLatin1Char('/') + key).toString().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// Sets keys of one section of an INI file and leaves every other byte of it as
// it was: other sections, other keys, comments, their order and line ends. A
// key missing from the section is added at its end; a missing section at the
// end of the file.
bool writeIniKeys(const QString& path, const QString& section, const QList<QPair<QString, QString>>& values)
{
    QByteArray content;
    {
        QFile in(path);
        if (in.exists()) {
            if (!in.open(QIODevice::ReadOnly))
                return false;
            content = in.readAll();
        }
    }
    const QByteArray eol = content.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    QList<QByteArray> lines = content.split('\n');
    const bool endsWithEol = content.isEmpty() || content.endsWith('\n');
    if (endsWithEol)
        lines.removeLast();  // the empty piece after the last line end
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);

    const QByteArray header = "[" + section.toUtf8() + "]";
    QList<bool> done(values.size(), false);
    qsizetype sectionEnd = -1;  // the line after the section's last non-blank line
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray t = lines.at(i).trimmed();
        if (t.startsWith('[') && t.endsWith(']')) {
            inSection = t == header;
            if (inSection)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (!t.isEmpty())
            sectionEnd = i + 1;
        const qsizetype eq = t.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = t.left(eq).trimmed();
        for (qsizetype k = 0; k < values.size(); ++k) {
            if (key == values.at(k).first.toUtf8()) {
                lines[i] = key + "=" + values.at(k).second.toUtf8();
                done[k] = true;
            }
        }
    }
    QList<QByteArray> added;
    for (qsizetype k = 0; k < values.size(); ++k)
        if (!done.at(k))
            added << values.at(k).first.toUtf8() + "=" + values.at(k).second.toUtf8();
    if (!added.isEmpty()) {
        if (sectionEnd < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines << QByteArray();
            lines << header;
            lines += added;
        } else {
            for (qsizetype k = 0; k < added.size(); ++k)
                lines.insert(sectionEnd + k, added.at(k));
        }
    }

    QByteArray out = lines.join(eol);
    if (endsWithEol || !added.isEmpty())
        out += eol;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(out);
    return file.commit();
}

bool canWriteIn(const QString& dir, const QString& file)
{
    if (QFileInfo::exists(file)) {
        QFile f(file);
        return f.open(QIODevice::ReadWrite);  // opened, not changed
    }
    QTemporaryFile probe(dir + QStringLiteral("/settings-XXXXXX.tmp"));
    return probe.open();
}

}  // namespace

QString speechSettingsFile(const QString& programDir, const QString& userConfigDir, const QString& installedDir)
{
    const QString name = QStringLiteral("settings.ini");
    const QString beside = QDir(programDir).filePath(name);
    if (!sameFolder(programDir, installedDir) && canWriteIn(programDir, beside))
        return beside;
    return QDir(userConfigDir).filePath(name);
}

SpeechSettings::SpeechSettings(std::unique_ptr<SpeechEngine> modes, std::unique_ptr<SpeechEngine> voices,
                               QString iniPath, int listGuardMs, QObject* parent)
    : QObject(parent), aTTSEnum(std::move(modes)), gpIVTxt(std::move(voices)), iniPath_(std::move(iniPath))
{
    setSpeechBackend(this);
    if (!iniPath_.isEmpty())
        endHook_ = addProgramEndHook([this] { save(); });

    connect(aTTSEnum.get(), &SpeechEngine::voicesReady, this, &SpeechSettings::tryComplete);
    connect(gpIVTxt.get(), &SpeechEngine::voicesReady, this, &SpeechSettings::tryComplete);
    guard_.setSingleShot(true);
    connect(&guard_, &QTimer::timeout, this, &SpeechSettings::complete);
    guard_.start(listGuardMs);
    tryComplete();
}

SpeechSettings::~SpeechSettings()
{
    if (endHook_)
        removeProgramEndHook(endHook_);
    if (!saved_)
        save();
    if (speechBackend() == this)
        setSpeechBackend(nullptr);
}

void SpeechSettings::waitUntilReady()
{
    if (ready_)
        return;
    QEventLoop wait;
    connect(this, &SpeechSettings::ready, &wait, &QEventLoop::quit);
    wait.exec();
}

void SpeechSettings::tryComplete()
{
    if (aTTSEnum->voicesKnown() && gpIVTxt->voicesKnown())
        complete();
}

void SpeechSettings::complete()
{
    if (ready_)
        return;
    ready_ = true;
    guard_.stop();

    entries_ = aTTSEnum->voices();
    iSapi4Count = int(entries_.size());
    entries_ += gpIVTxt->voices();
    emit listChanged();

    restore();
    emit stateChanged();

    // What was said while the list was being built, since the last stop, on
    // the route the restored switch chooses.
    const auto held = std::exchange(held_, {});
    for (const auto& [text, kind] : held)
        sayPhrase(text, false, kind);
    emit ready();
}

void SpeechSettings::restore()
{
    std::unique_ptr<QSettings> ini;
    if (!iniPath_.isEmpty())
        ini = std::make_unique<QSettings>(iniPath_, QSettings::IniFormat);
    storedIndex_ = readInt(ini.get(), kSpeechIndex);
    storedSwitch_ = readInt(ini.get(), kSpeechOnOff);
    storedRate_ = readInt(ini.get(), kSpeedSpeak);

    int index = storedIndex_.value_or(-1);
    // A voice that is not in the list (removed since, or its family is not
    // running this time) counts as no voice chosen, so that a Russian voice is
    // looked for instead of leaving the player without speech. That stand-in
    // is for this run only: it is not written back.
    if (index < 0 || index >= entries_.size())
        index = -1;
    commitIndex(index);
    switchSpeech(storedSwitch_.value_or(0) != 0);

    if (iIndTTS == -1) {
        // The last Russian entry: a voice wins over a mode. With no voice
        // committed in the file speech goes on with it, whatever the file
        // says; standing in for a committed voice that is missing this run, it
        // leaves the switch as the player set it (or on, if he never did).
        const bool committed = storedIndex_ && *storedIndex_ >= 0;
        for (qsizetype i = entries_.size() - 1; i >= 0; --i) {
            if (entries_.at(i).contains(QLatin1String("Russ"), Qt::CaseSensitive)) {
                commitIndex(int(i));
                if (!committed || !storedSwitch_)
                    switchSpeech(true);
                break;
            }
        }
    }
    // A switch the player never set is on whenever there is a voice: the
    // voice a first start found speaks on the next start too.
    if (!storedSwitch_ && iIndTTS >= 0)
        switchSpeech(true);

    applyRate(storedRate_.value_or(0));
    bRateGroupEnabled = isVoiceIndex(iCurrentEntry);
}

void SpeechSettings::save()
{
    saved_ = true;
    // Before the list was complete nothing was restored, so nothing may be written.
    if (iniPath_.isEmpty() || !ready_)
        return;
    // What the player changed, and what the file lacks; nothing else. The
    // switch only ever as the player set it: a switch the program set by
    // itself (off for want of a voice, on with the Russian voice found) would
    // rule every later start. With it goes the voice it was set with, when
    // the file names none, so that the next start keeps his choice instead of
    // looking for a Russian voice again.
    const auto due = [](const std::optional<int>& stored, bool changed, int now) {
        return !stored || (changed && *stored != now);
    };
    const bool noVoiceInFile = !storedIndex_ || *storedIndex_ < 0;
    const bool voiceWithSwitch = switchChanged_ && noVoiceInFile && iIndTTS >= 0;
    const bool switchDue =
        switchChanged_ && (!storedSwitch_ || (*storedSwitch_ != 0) != SpeechOnOff || voiceWithSwitch);
    QList<QPair<QString, QString>> values;
    if (switchDue)
        values.append({kSpeechOnOff, SpeechOnOff ? QStringLiteral("1") : QStringLiteral("0")});
    if (due(storedIndex_, indexChanged_, iIndTTS) || voiceWithSwitch)
        values.append({kSpeechIndex, QString::number(iIndTTS)});
    if (due(storedRate_, rateChanged_, FSpeedSpeak))
        values.append({kSpeedSpeak, QString::number(FSpeedSpeak)});
    if (values.isEmpty())
        return;
    QDir().mkpath(QFileInfo(iniPath_).absolutePath());
    writeIniKeys(iniPath_, kSection, values);
}

void SpeechSettings::keepFileAsItIs()
{
    if (endHook_)
        removeProgramEndHook(std::exchange(endHook_, 0));
    saved_ = true;
}

QString SpeechSettings::currentEntryName() const
{
    return iCurrentEntry >= 0 && iCurrentEntry < entries_.size() ? entries_.at(iCurrentEntry) : QString();
}

void SpeechSettings::setSpeechOn(bool on)
{
    switchChanged_ = true;
    switchSpeech(on);
}

void SpeechSettings::switchSpeechByPlayer()
{
    if (SpeechOnOff) {
        SpeechOut(QStringLiteral("Речь выключена"), true);
        setSpeechOn(false);
    } else {
        setSpeechOn(true);
        setSpeechOn(SpeechOut(QStringLiteral("Речь включена"), true));
    }
}

void SpeechSettings::switchSpeech(bool on)
{
    if (SpeechOnOff == on)
        return;
    SpeechOnOff = on;
    emit speechSwitched(on);
}

void SpeechSettings::applyEntry(int familyEntry, int mode)
{
    SpeechStop();
    if (isVoiceIndex(familyEntry)) {
        // The mode engine, if any, stays as it is.
        gpIVTxt->select(familyEntry - iSapi4Count);
        gpIVTxt->setVolume(100);
    } else {
        fITTSCentral = false;
        if (mode >= 0 && mode < iSapi4Count)
            fITTSCentral = aTTSEnum->select(mode);
    }
}

void SpeechSettings::cbSelectSpeechChange(int entry)
{
    iCurrentEntry = entry >= 0 && entry < entries_.size() ? entry : -1;
    applyEntry(iCurrentEntry, iCurrentEntry);
    bRateGroupEnabled = isVoiceIndex(iCurrentEntry);
    emit stateChanged();
}

void SpeechSettings::BtClickCancel()
{
    bRateGroupEnabled = isVoiceIndex(iCurrentEntry);
    applyEntry(iCurrentEntry, iIndTTS);
    emit stateChanged();
}

void SpeechSettings::SetIndexTTS(int spInd)
{
    if (spInd >= entries_.size())
        return;
    indexChanged_ = true;
    commitIndex(spInd);
}

void SpeechSettings::commitIndex(int spInd)
{
    if (spInd >= entries_.size())
        return;
    SpeechStop();
    iIndTTS = spInd;
    iCurrentEntry = spInd < 0 ? -1 : spInd;
    BtClickCancel();
}

void SpeechSettings::BtClickOk()
{
    SetIndexTTS(iCurrentEntry);
    // The key's echo: a screen reader echoes keys itself.
    sayPhrase(QStringLiteral("Энтэр. "), true, Phrase::Shown);
}

void SpeechSettings::SetSpeedSpeak(int value)
{
    if (!isVoiceIndex(iCurrentEntry))
        return;
    rateChanged_ = true;
    applyRate(value);
}

void SpeechSettings::applyRate(int value)
{
    // The voices family knows only -10..10.
    value = qBound(-10, value, 10);
    if (!isVoiceIndex(iCurrentEntry))
        return;
    FSpeedSpeak = value;
    gpIVTxt->setRate(value);
    iTrackBar2Position = value;
    emit stateChanged();
}

void SpeechSettings::TrackBar2Change(int position)
{
    iTrackBar2Position = qBound(-10, position, 10);
    SetSpeedSpeak(iTrackBar2Position);
    // SetSpeedSpeak has told the window already when a voice took the rate.
    if (!isVoiceIndex(iCurrentEntry))
        emit stateChanged();
}

void SpeechSettings::moveTrackBar2(int position)
{
    position = qBound(-10, position, 10);
    if (position != iTrackBar2Position)
        TrackBar2Change(position);
}

bool SpeechSettings::SpeechOutEx(const QString& sTxtSp, Phrase kind)
{
    if (!ready_) {
        if (!isBlank(sTxtSp)) {
            held_.append({sTxtSp, kind});
            if (held_.size() > kMaxHeldTexts)
                held_.removeFirst();
        }
        return true;
    }
    return SpeechOutEx(sTxtSp);
}

bool SpeechSettings::SpeechOutEx(const QString& sTxtSp)
{
    if (!ready_)
        return SpeechOutEx(sTxtSp, Phrase::Own);
    if (!SpeechOnOff || isBlank(sTxtSp))
        return true;
    if (!fITTSCentral && !isVoiceIndex(iIndTTS)) {
        // A mode that cannot speak: speech goes off rather than pretend. The
        // player did not ask for it, so it is not kept for the next run.
        switchSpeech(false);
        return false;
    }
    if (isVoiceIndex(iIndTTS))
        gpIVTxt->speak(sTxtSp);
    else
        aTTSEnum->speak(sTxtSp);
    return true;
}

void SpeechSettings::SpeechStopEx()
{
    if (!ready_) {
        held_.clear();  // cut off before it could be heard
        return;
    }
    if (!SpeechOnOff)
        return;
    if (isVoiceIndex(iIndTTS))
        gpIVTxt->purge();
    else if (fITTSCentral)
        aTTSEnum->purge();
}

QString SpeechSettings::LatToRusForSpeech(QChar cLat)
{
    return KeyCharToSpeech(cLat);
}

int SpeechSettings::RomanToInt(const QString& romanNumber)
{
    static const QString alphabet = QStringLiteral("IVXLCDMvxlcdm");
    static const int powers[] = {0, 1, 10, 100, 1000, 10000, 100000, 1000000};
    // The character counter is eight bits wide: a text of 256 characters reads
    // as empty, one of 300 as its first 44 characters.
    const int n = int(romanNumber.size() % 256);
    int sum = 0;
    int previous = 0;
    for (int i = n - 1; i >= 0; --i) {
        const int p = int(alphabet.indexOf(romanNumber.at(i))) + 1;  // 0: not a numeral
        int v = ((p + 1) % 2 == 0 ? 1 : 5) * powers[(p + 1) / 2];
        if (v == 0)
            return -1;
        if (previous > v)
            v = -v;
        sum += v;
        previous = v;
    }
    return sum;
}

}  // namespace sor

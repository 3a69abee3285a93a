#include "speech/EspeakEngine.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <atomic>
#include <mutex>
#include <utility>

namespace sor {
namespace {

struct Library
{
    std::mutex initMutex;
    bool tried = false;
    bool ok = false;

    std::atomic<bool> abort{false};
    std::mutex sinkMutex;
    EspeakEngine::SampleSink sink;
    const EspeakEngine* sinkOwner = nullptr;  // the engine that installed the sink
};

Library& library()
{
    static Library lib;
    return lib;
}

int synthCallback(short* wav, int count, espeak_EVENT*)
{
    Library& lib = library();
    if (wav && count > 0) {
        std::lock_guard lock(lib.sinkMutex);
        if (lib.sink)
            lib.sink(wav, count);
    }
    return lib.abort.load() ? 1 : 0;
}

bool initialise(EspeakEngine::Output output)
{
    Library& lib = library();
    std::lock_guard lock(lib.initMutex);
    if (lib.tried)
        return lib.ok;
    lib.tried = true;
    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    espeak_ng_ClearErrorContext(&context);
    if (status != ENS_OK)
        return false;
    const auto mode = output == EspeakEngine::Output::Playback ? ENOUTPUT_MODE_SPEAK_AUDIO
                                                               : espeak_ng_OUTPUT_MODE(0);
    status = espeak_ng_InitializeOutput(mode, 0, nullptr);
    if (status != ENS_OK)
        return false;
    espeak_SetSynthCallback(synthCallback);
    lib.ok = true;
    return true;
}

}  // namespace

EspeakEngine::EspeakEngine(Output output, SampleSink sink)
{
    available_ = initialise(output);
    if (!available_)
        return;
    if (sink) {
        std::lock_guard lock(library().sinkMutex);
        library().sink = std::move(sink);
        library().sinkOwner = this;
    }
    const espeak_VOICE** list = espeak_ListVoices(nullptr);
    for (int i = 0; list && list[i]; ++i) {
        if (!list[i]->name || !list[i]->identifier)
            continue;
        names_.append(QString::fromUtf8(list[i]->name));
        identifiers_.append(QByteArray(list[i]->identifier));
    }
}

EspeakEngine::~EspeakEngine()
{
    if (!available_)
        return;
    purge();
    std::lock_guard lock(library().sinkMutex);
    if (library().sinkOwner == this) {
        library().sink = nullptr;
        library().sinkOwner = nullptr;
    }
}

bool EspeakEngine::select(int index)
{
    if (!available_ || index < 0 || index >= identifiers_.size())
        return false;
    // Never change the voice under running speech.
    purge();
    return espeak_SetVoiceByName(identifiers_.at(index).constData()) == EE_OK;
}

void EspeakEngine::setVolume(int percent)
{
    if (available_)
        espeak_SetParameter(espeakVOLUME, qBound(0, percent, 200), 0);
}

int EspeakEngine::wordsPerMinute(int rate)
{
    rate = qBound(-10, rate, 10);
    if (rate < 0)
        return espeakRATE_NORMAL + rate * (espeakRATE_NORMAL - espeakRATE_MINIMUM) / 10;
    return espeakRATE_NORMAL + rate * (espeakRATE_MAXIMUM - espeakRATE_NORMAL) / 10;
}

void EspeakEngine::setRate(int rate)
{
    if (available_)
        espeak_SetParameter(espeakRATE, wordsPerMinute(rate), 0);
}

void EspeakEngine::speak(const QString& text)
{
    if (!available_)
        return;
    const QByteArray utf8 = text.toUtf8();
    // Queued inside espeak-ng; a full queue drops the text rather than wait.
    espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                 nullptr, nullptr);
}

void EspeakEngine::purge()
{
    if (!available_)
        return;
    Library& lib = library();
    lib.abort = true;
    espeak_Cancel();  // returns when the synthesis thread has stopped
    lib.abort = false;
}

}  // namespace sor

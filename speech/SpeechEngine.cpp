#include "speech/SpeechEngine.h"

sor::SpeechEngine::~SpeechEngine() = default;

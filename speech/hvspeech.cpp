#include "hvspeech.h"

namespace Halvane {

HVSpeech::HVSpeech(QObject *parent)
    : QObject(parent)
{
}

HVSpeech::~HVSpeech() = default;

} // namespace Halvane

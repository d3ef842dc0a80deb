#include "hvtestspeechplugin.h"

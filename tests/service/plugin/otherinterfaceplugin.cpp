#include "otherinterfaceplugin.h"

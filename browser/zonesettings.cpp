#include "browser/zonesettings.h"

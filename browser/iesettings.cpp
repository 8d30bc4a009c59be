#include "browser/iesettings.h"

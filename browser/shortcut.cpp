#include "browser/shortcut.h"

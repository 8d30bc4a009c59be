#include "browser/cache.h"

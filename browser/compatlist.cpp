#include "browser/compatlist.h"

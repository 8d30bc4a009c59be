#include "ui/format.h"

#include "ui/skins.h"

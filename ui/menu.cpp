#include "ui/menu.h"

#include "ui/hostwnd.h"

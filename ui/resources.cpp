#include "ui/resources.h"

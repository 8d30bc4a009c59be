#pragma once
#include "ui/control.h"

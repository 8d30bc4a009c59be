#pragma once
// The print and report components the web application needs.
#include "check/checkitem.h"

// 1 when every listed component is present, else 0.
int CheckComponents(CheckItem& item, int profile);

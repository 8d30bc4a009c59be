#pragma once
// COM for the native fuzz build: CoCreateGuid is in windows.h.
#include "windows.h"

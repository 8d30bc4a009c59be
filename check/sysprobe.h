#pragma once
// Processor, memory and service-pack probes.
#include "check/checkitem.h"
#include "check/osprobe.h"

int CheckCpu(CheckItem& item, int profile);
int CheckMemory(CheckItem& item, int profile);
int CheckServicePack(OSProbe& probe, CheckItem& item);

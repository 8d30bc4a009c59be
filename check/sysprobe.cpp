// Placeholder until the probes land: every record fails.
#include "check/sysprobe.h"

int CheckCpu(CheckItem& item, int) { item.kind = kItemCpu; item.state = kStateFailed; return 1; }
int CheckMemory(CheckItem& item, int) { item.kind = kItemMemory; item.state = kStateFailed; return 1; }
int CheckServicePack(OSProbe&, CheckItem& item) { item.kind = kItemServicePack; item.state = kStateFailed; return 0; }

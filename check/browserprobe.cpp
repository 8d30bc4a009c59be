// Placeholder until the probes land: every record fails.
#include "check/browserprobe.h"

bool CheckBrowserVersion(CheckItem& item, int) { item.kind = kItemBrowserVersion; item.state = kStateFailed; return false; }
bool IsBrowserVersionOk(const std::string&) { return false; }
int CheckPatch(CheckItem& item, int) { item.kind = kItemPatch; item.state = kStateFailed; return 1; }
std::set<std::string> QueryHotfixes() { return {}; }

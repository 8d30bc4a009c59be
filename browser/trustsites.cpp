#include "browser/trustsites.h"

bool AddTrustSites(const std::string&, const char*, const char*)
{
    return false;
}

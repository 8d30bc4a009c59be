#pragma once
// The browser's version and the browser patch.
#include "check/checkitem.h"

#include <set>
#include <string>

// The browser's major version ("8", "10", ...), empty at start. Written by
// the version probe, read by the patch probe of the same check run.
extern std::string g_browserMajorVersion;

const char* const kBrowserKey = "SOFTWARE\\Microsoft\\Internet Explorer";
const char* const kVersionUnreadable = "获取IE版本失败";
const char* const kBrowserNamePrefix = "Microsoft Internet Explorer ";
const char* const kRequiredPatch = "KB2416400-IE8";

// Applies the zone settings, then judges the four browser preferences:
// state 1 when all hold, 2 (repairable) otherwise. Always returns 1.
int CheckIESetting(CheckItem& item);

// True when a version was read; on failure the record's state is 2.
bool CheckBrowserVersion(CheckItem& item, int profile);
// Major number 8 or more (or no "." at all); records the major version.
bool IsBrowserVersionOk(const std::string& version);

// Where the patch probe gets the installed hot-fixes from.
using HotfixQuery = std::set<std::string> (*)();
// Returns 1. Warns (state 3) on browser 8 without the required hot-fix.
int CheckPatch(CheckItem& item, int profile);
int CheckPatch(CheckItem& item, int profile, HotfixQuery query);

// Installed hot-fix identifiers (empty when the management service cannot
// be reached). Initialises COM (multithreaded) for the calling thread and
// ends it again; a thread inside a single-threaded apartment gets nothing.
std::set<std::string> QueryHotfixes();

#pragma once
// The security-zone values the web application needs, rewritten on every
// browser-settings check.

// Trusted sites zone: ActiveX, scripting and downloads enabled, custom
// level. True when all ten values were written.
bool IEActiveXSetting();

// Internet zone and browser-wide values. True when every step succeeded
// (the optional feature key counts as done when it is absent).
bool OtherIESetting();

// Where they live, for the callers' log lines and the tests.
const char* const kInternetZoneKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
const char* const kMachineMainKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Main";
const char* const kInternationalKey = "Software\\Microsoft\\Internet Explorer\\International";
const char* const kPrivacyKey = "Software\\Microsoft\\Internet Explorer\\Privacy";
const char* const kBrowserEmulationKey = "Software\\Microsoft\\Internet Explorer\\BrowserEmulation";
const char* const kSecurityManagerFeatureKey =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_DISABLE_INTERNAL_SECURITY_MANAGER";

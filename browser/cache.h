#pragma once
// Clearing the browser's stored data through the Internet-options applet.

// Starts the applet four times and returns at once; always true.
bool ClearIECache();

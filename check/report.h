#pragma once
// Check reports for the company's collector: the rows as JSON, posted as a
// form with the desk's name, its local time and the company's token.
#include "check/checkitem.h"

#include <windows.h>

#include <string>
#include <vector>

// A text as a JSON string (the active code page's text in UTF-8, quoted).
std::string JsonText(const std::string& ansi);
// The rows as a JSON array, each line after the first led by `indent`.
std::string JsonRecords(const std::vector<CheckItem>& records, const char* indent);
// What the window posts after a finished check: its rows and the last speed
// figures ("" when that test has not run): {"rows": […], "download": …,
// "upload": …}.
std::string WindowReport(const std::vector<CheckItem>& rows, const std::string& download,
                         const std::string& upload);

// Posts `report` to the collector at `url` as a url-encoded form: machine,
// time, report and, when not empty, token. False when it did not arrive (a
// 2xx answer), with the reason in `error`; both outcomes are logged.
bool PostReport(const std::string& url, const std::string& token, const std::string& report, std::string* error);
// The same on a worker of its own: the caller never waits, and nothing
// comes back but the log's line. `done`, when given, is set once the post
// has ended either way. False (logged) when no worker could start.
bool PostReportInBackground(const std::string& url, const std::string& token, const std::string& report,
                            HANDLE done = nullptr);

#pragma once
// What each of our programs sets up first, window or not: the process-wide
// records every layer reads, the start line of the log, and where message
// boxes go.

// The system-information record in use starts as a 32-bit workstation's
// (the operating-system probe fills in the rest) and the data folder, home
// of the log and the downloads, is found and created when missing.
void SetUpProcess();

// Logs the start line; when the log cannot be written (its folder read-only,
// or a file in its place) the user is told once, and the program goes on.
bool WriteStartLine(const char* line);

// A console tool must never wait behind a dialog: message boxes go to stderr
// as "caption: text" and count as answered with OK.
void SendMessageBoxesToStderr();

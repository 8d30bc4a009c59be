#pragma once
// The host of the window engine's ActiveX controls (`activex`, `flash`,
// `mediaplayer`): a child window holding the object named by the control's
// CLSID or ProgID, through the container of browserhost.h. An object that
// is not installed is logged and leaves the control without a window.

// Has the engine make such a host for every ActiveX control from now on.
void RegisterActiveXHost();

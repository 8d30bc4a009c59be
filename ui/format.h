#pragma once
// Value syntaxes of the layout and skin documents. Free of <windows.h>.

#pragma once
// The engine's resource pools: strings, styles, object defaults, skins.

#pragma once
// Skins: how images, frames, colour buttons and gradients are drawn.

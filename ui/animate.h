#pragma once
#include "ui/control.h"

namespace SkinEngine {

void RegisterAnimationControls(ControlFactory& factory);

}  // namespace SkinEngine

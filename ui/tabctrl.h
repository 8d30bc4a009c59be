#pragma once
#include "ui/control.h"

namespace SkinEngine {

void RegisterTabControls(ControlFactory& factory);

}  // namespace SkinEngine

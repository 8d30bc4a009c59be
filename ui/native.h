#pragma once
#include "ui/control.h"

namespace SkinEngine {

void RegisterNativeControls(ControlFactory& factory);

}  // namespace SkinEngine

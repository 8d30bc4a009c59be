#pragma once
#include "ui/control.h"

namespace SkinEngine {

void RegisterButtonControls(ControlFactory& factory);

}  // namespace SkinEngine

#pragma once
#include "ui/control.h"

namespace SkinEngine {

void RegisterSplitControls(ControlFactory& factory);

}  // namespace SkinEngine

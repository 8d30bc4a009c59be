#include "ui/animate.h"

namespace SkinEngine {

void RegisterAnimationControls(ControlFactory& factory) {}

}  // namespace SkinEngine

#include "ui/buttons.h"

namespace SkinEngine {

void RegisterButtonControls(ControlFactory& factory) {}

}  // namespace SkinEngine

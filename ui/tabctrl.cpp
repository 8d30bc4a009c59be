#include "ui/tabctrl.h"

namespace SkinEngine {

void RegisterTabControls(ControlFactory& factory) {}

}  // namespace SkinEngine

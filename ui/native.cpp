#include "ui/native.h"

namespace SkinEngine {

void RegisterNativeControls(ControlFactory& factory) {}

}  // namespace SkinEngine

#include "ui/split.h"

namespace SkinEngine {

void RegisterSplitControls(ControlFactory& factory) {}

}  // namespace SkinEngine

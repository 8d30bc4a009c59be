#pragma once
#include "ui/layer.h"

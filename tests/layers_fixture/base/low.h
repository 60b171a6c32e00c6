// A low-layer header that reaches up: check_layers.cmake must name it.
#pragma once

#include "ui/high.h"

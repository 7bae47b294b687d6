// Sample for the layer check: reaches up into the frame by a relative path.
#pragma once
#include "../frame/scalebar.h"

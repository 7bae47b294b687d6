// Sample for the layer check: reaches up into the pages by its include path.
#include "ui/common/messages.h"
  #  include "ui/pages/reportview.h"

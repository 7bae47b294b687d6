// Sample for the layer check: includes of its own folder and lower ones only.
#include "ui/dialogs/fine.h"
#include "ui/common/messages.h"
#include "../document/hints.h"
#include "model/measrecord.h"
#include <QDialog>

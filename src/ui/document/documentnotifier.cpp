// DocumentNotifier: signals only.
#include "ui/document/documentnotifier.h"

DocumentNotifier::DocumentNotifier(QObject* parent) : QObject(parent) {}

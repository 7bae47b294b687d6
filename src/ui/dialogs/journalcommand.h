// The 変更履歴 command: the window for the store's workspace, offering the parts of the tree
// the selection names (everything, its customer, cable, set and the shown record).
#pragma once

#include <string>
#include <vector>

#include "ui/dialogs/journalwindow.h"

class CAppSettings;
class CCustomerDB;
class MeasurementDocument;
class QPrinter;
class QWidget;
struct DataSelection;

// The parts of the tree a window can show for a selection, widest first: everything, then
// as deep as the selection names something the store holds.
std::vector<JournalScope> JournalScopesFor(const CCustomerDB& db, const DataSelection& selection);

// Reads the journal of the workspace beside the store file at storePath, opening it for each
// query (a missing workspace is an empty journal, never made here).
JournalQuery WorkspaceJournalQuery(std::string storePath);

// Opens the window (or brings the open one forward and reads the journal again) for the
// document's store, at the scope of that index in JournalScopesFor (0: everything).
JournalWindow* ShowJournalWindow(QWidget* frame, MeasurementDocument& doc, QPrinter& printer,
                                 CAppSettings& settings, int scope = 0);

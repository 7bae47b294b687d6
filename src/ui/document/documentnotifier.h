// DocumentNotifier: the document's changes, one signal per kind. The document emits them; the
// report view, the dialog bar and the main window connect to the ones they need.
#pragma once

#include <QObject>

#include <string>

#include "model/measrecord.h"

// The three names a selection shows in the report header (CP932).
struct SelectionNames {
    std::string customer;
    std::string cable;
    std::string measData;

    bool operator==(const SelectionNames&) const = default;
};

class DocumentNotifier : public QObject {
    Q_OBJECT
public:
    explicit DocumentNotifier(QObject* parent = nullptr);

signals:
    // What the report shows. A new selection is told as: selectionShown, recordsCleared,
    // recordAdded (a copy of the record, or an empty one), refreshRequested.
    void selectionShown(const SelectionNames& names);
    void recordsCleared();
    void recordAdded(const CMeasRecord& record);
    // The graph's display start, time width (minutes) and axis full scale (μA); each redraws.
    void startTimeChanged(double minutes);
    void widthChanged(double minutes);
    void axisChanged(double microAmps);
    // Redraw with what was told so far (ends every new selection).
    void refreshRequested();

    // The shown record's peaks, for the scale lists to fit themselves to; the lists then tell
    // their values through startTimeChanged, widthChanged and axisChanged.
    void scaleFitRequested(double maxValue, double maxSeconds);
    // The scale lists are asked to tell their present values again.
    void scaleValuesRequested();

    // The store was read anew (a load, a restore from a backup, a reload after a sync).
    void storeReplaced();
    // A change to the tree was committed.
    void treeChanged();
    // The document became read-only or writable again.
    void readOnlyChanged(bool readOnly);
    // A background load of the store started (true) or finished and is in place (false).
    void loadingChanged(bool loading);
    // A short note for the status bar (the journal found the store changed outside the
    // program, the undo steps were cleared ...).
    void statusNote(const QString& text);
};

// MeasurementDocument: the selection and what the views are told (the store file: measurementdocumentstore.cpp).
#include "ui/document/measurementdocument.h"

#include "link/cxlogfile.h"
#include "model/cp932text.h"
#include "ui/common/messages.h"


MeasurementDocument::MeasurementDocument(QObject* parent) : QObject(parent)
{
    m_session.SetLog([this](const std::string& line) {
        if (m_log)
            m_log->Write(line);
    });
    m_session.SetReadOnlyListener(
        [this](bool readOnly) { emit m_notifier.readOnlyChanged(readOnly); });
    m_session.SetSaveWitness(&m_journal);
    m_journal.SetWarning([this](const std::string& text) {
        if (m_log)
            m_log->Write(cp932::fromUtf8(text).value_or(text));
        ui::messages().error(m_messageParent, QString::fromStdString(text));
    });
}

// The session waits for a background load; its queued end is dropped with the document.
MeasurementDocument::~MeasurementDocument() = default;

bool MeasurementDocument::OnNewDocument()
{
    if (!m_initialised) {
        m_initialised = true;
        InitStore();
    }
    emit m_notifier.scaleValuesRequested();
    return true;
}

void MeasurementDocument::ResetSelection()
{
    m_selection = DataSelection();
    emit m_notifier.selectionShown(SelectionNames{});
    emit m_notifier.recordsCleared();
    emit m_notifier.refreshRequested();
}

void MeasurementDocument::LoadSelectedMeasurement()
{
    const CMeasRecord* found = SelectedRecord(m_session.Store(), m_selection);
    if (!found)
        ResetSelection();

    // A copy: the views may outlive a later change of the store.
    const CMeasRecord record = found ? *found : CMeasRecord();
    emit m_notifier.selectionShown(
        SelectionNames{m_selection.customer, m_selection.cable, m_selection.measData});
    emit m_notifier.recordsCleared();
    emit m_notifier.recordAdded(record);
    emit m_notifier.refreshRequested();

    if (record.UsedPoints > 0) {
        double maxValue = 0.0, maxSeconds = 0.0;
        record.PeakValues(true, maxValue, maxSeconds);
        emit m_notifier.scaleFitRequested(maxValue, maxSeconds);
    }
}

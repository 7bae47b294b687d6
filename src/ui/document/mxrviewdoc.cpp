// CMXRViewDoc: the selection and the hints to the views (the store file: mxrviewdocstore.cpp).
#include "ui/document/mxrviewdoc.h"

#include <algorithm>

#include "ui/frame/dialogbar.h"

CMXRViewDoc::CMXRViewDoc(QObject* parent) : QObject(parent) {}

CMXRViewDoc::~CMXRViewDoc()
{
    if (m_loadThread.joinable())
        m_loadThread.join();
}

void CMXRViewDoc::AttachDialogBar(CDialogBar* bar)
{
    m_dialogBar = bar;
    connect(bar, &CDialogBar::startTimeChosen, this,
            [this](double v) { UpdateAllViews(hint::StartTime, v); });
    connect(bar, &CDialogBar::widthChosen, this,
            [this](double v) { UpdateAllViews(hint::Width, v); });
    connect(bar, &CDialogBar::axisChosen, this,
            [this](double v) { UpdateAllViews(hint::Axis, v); });
}

void CMXRViewDoc::AddView(CHintReceiver* view)
{
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CMXRViewDoc::RemoveView(CHintReceiver* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

bool CMXRViewDoc::OnNewDocument()
{
    if (!m_initialised) {
        m_initialised = true;
        InitDialogBar();
    }
    SendListValues();
    return true;
}

void CMXRViewDoc::InitDialogBar()
{
    // A file named for viewing is read in place: its first measurement is shown at once.
    if (m_loadInBackground && !m_viewing)
        StartBackgroundLoad();
    else
        LoadStoreFile();
    // The lists do not depend on the store.
    if (m_dialogBar)
        m_dialogBar->FillLists();
}

void CMXRViewDoc::UpdateAllViews(int hintNo, const HintObject& object)
{
    for (CHintReceiver* view : m_views)
        view->OnUpdate(hintNo, object);
    emit viewsUpdated(hintNo);
}

void CMXRViewDoc::ResetSelection()
{
    m_selection = DataSelection();
    UpdateAllViews(hint::Selection, SelectionNames{});
    UpdateAllViews(hint::Clear);
    UpdateAllViews(hint::Refresh);
}

void CMXRViewDoc::LoadSelectedMeasurement()
{
    const CMeasRecord* found = nullptr;
    const int c = m_store.customers.Find(m_selection.customer);
    if (c >= 0) {
        const CCustomer& customer = m_store.customers.At(c);
        const int k = customer.cables.Find(m_selection.cable);
        if (k >= 0) {
            const CCable& cable = customer.cables.At(k);
            const int s = cable.sets.Find(m_selection.measData);
            if (s >= 0) {
                const CMeasData& set = cable.sets.At(s);
                if (m_selection.index >= 0 &&
                    static_cast<std::size_t>(m_selection.index) < set.RecordCount())
                    found = &set.RecordAt(static_cast<std::size_t>(m_selection.index));
            }
        }
    }
    if (!found)
        ResetSelection();

    // A copy: the views may outlive a later change of the store.
    const CMeasRecord record = found ? *found : CMeasRecord();
    UpdateAllViews(hint::Selection,
                   SelectionNames{m_selection.customer, m_selection.cable, m_selection.measData});
    UpdateAllViews(hint::Clear);
    UpdateAllViews(hint::AddRecord, record);
    UpdateAllViews(hint::Refresh);

    if (record.UsedPoints > 0) {
        double maxValue = 0.0, maxSeconds = 0.0;
        record.PeakValues(true, maxValue, maxSeconds);
        AutoScaleDialogBar(maxValue, maxSeconds);
    }
}

void CMXRViewDoc::AutoScaleDialogBar(double maxValue, double maxSeconds)
{
    if (m_dialogBar)
        m_dialogBar->AutoScale(maxValue, maxSeconds);
    SendListValues();
}

void CMXRViewDoc::SendListValues()
{
    if (!m_dialogBar)
        return;
    const double start = m_dialogBar->StartTime();
    const double width = m_dialogBar->Width();
    const double axis = m_dialogBar->Axis();
    if (start >= 0)
        UpdateAllViews(hint::StartTime, start);
    if (width >= 0)
        UpdateAllViews(hint::Width, width);
    if (axis >= 0)
        UpdateAllViews(hint::Axis, axis);
}

// ScaleBar: the bar with the three drop-down lists that set the graph's axis full scale,
// display start time and time width.
// ScaleBar was CDialogBar in the Windows program's sources.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

class DocumentNotifier;
class QComboBox;

class ScaleBar : public QWidget {
    Q_OBJECT
public:
    explicit ScaleBar(QWidget* parent = nullptr);

    // Fills the three lists and selects their initial items ("1000", "0.0", "0.5").
    void FillLists();

    // The value of each list, -1 without a selection.
    double StartTime() const;
    double Width() const;
    double Axis() const;

    // Selects axis and width for a measurement (the start time is kept). Sends no signal:
    // the caller passes the new values on.
    void AutoScale(double maxValue, double maxSeconds);

    // Ties the lists to the document's notifier: a chosen item is told to the views at once; a
    // scale fit picks axis and width, then tells the three values; a request for the values
    // tells them (each only while its list has a selection).
    void Connect(DocumentNotifier& notifier);
    void SendValues(DocumentNotifier& notifier) const;

    QComboBox* axisList() const { return m_axis; }
    QComboBox* startTimeList() const { return m_startTime; }
    QComboBox* widthList() const { return m_width; }

signals:
    // A list item chosen by the user, with its value.
    void startTimeChosen(double minutes);
    void widthChosen(double minutes);
    void axisChosen(double microAmps);

private:
    QComboBox* addList(int controlId, const QString& before, const QString& after);

    QComboBox* m_axis = nullptr;
    QComboBox* m_startTime = nullptr;
    QComboBox* m_width = nullptr;
    std::vector<std::string> m_axisItems, m_startItems, m_widthItems;
};

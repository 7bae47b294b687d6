// FinalValueDialog: the modal dialog "最終測定データの選択" in which the user picks the point of a
// record that gives its final value, corrects single points and renumbers the elapsed
// seconds. It works on a copy of the points; the caller applies the result after OK.
// FinalValueDialog was CSelectLastVal in the Windows program's sources.
#pragma once

#include <QDialog>

#include <cstddef>
#include <optional>
#include <vector>

#include "model/measdata.h"
#include "model/measrecord.h"

class FinalValueList;
class QLineEdit;
class QPushButton;

class FinalValueDialog : public QDialog {
    Q_OBJECT
public:
    explicit FinalValueDialog(QWidget* parent = nullptr);
    // Opens on the record's range flag, final point (UsedPoints - 1) and points.
    explicit FinalValueDialog(const CMeasRecord& record, QWidget* parent = nullptr);
    ~FinalValueDialog() override;

    // The range flag, the final position (-1: none) and the points, copied, before opening.
    void setData(int range, int final, const std::vector<CMeasPoint>& points);

    // Fills the list, selects the final point and shows it in the boxes. exec() calls it when
    // the caller has not.
    void OnInitDialog();
    // The list's selection changed: the boxes show the selected point, or 0 and 0.
    void OnSelChange();
    // "変更": the selected point takes the box values. False when a box was refused.
    bool OnChange();
    // "最終の測定値とする": the selected point becomes the final point. False when refused.
    bool OnSetFinal();
    // "経過秒の補正": after the user's Yes, the selected point becomes 0 s and the later ones
    // follow at 0.2 s steps; earlier points become 0. True when the points were changed.
    bool OnCorrectElapsed();
    // OK: closes with Accepted when both boxes hold valid numbers.
    bool OnOK();
    int exec() override;

    // The result after OK: the edited points and the final position (-1: none).
    const std::vector<CMeasPoint>& Points() const { return m_points; }
    std::vector<CMeasPoint> TakePoints() { return std::move(m_points); }
    int FinalIndex() const { return m_final; }
    int Range() const { return m_range; }

    FinalValueList* List() const { return m_list; }
    QLineEdit* ElapsedBox() const { return m_elapsed; }
    QLineEdit* ValueBox() const { return m_value; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Reads both boxes; on a refusal says so, puts the cursor in that box and gives nothing.
    struct BoxValues {
        double elapsed;
        double value;
    };
    std::optional<BoxValues> validateBoxes();
    void showBoxes(double elapsed, double value);

    int m_range = 0;
    int m_final = -1;
    std::vector<CMeasPoint> m_points;
    bool m_initialised = false;

    FinalValueList* m_list = nullptr;
    QLineEdit* m_elapsed = nullptr;
    QLineEdit* m_value = nullptr;
    // The texts showBoxes put in the boxes: a box left alone is read as it was filled in,
    // even when the point holds more decimals than the list shows.
    QString m_shownElapsed;
    QString m_shownValue;
};

// What the user chose in the dialog: the edited points and the final position (-1: none).
struct FinalValueChoice {
    std::vector<CMeasPoint> points;
    int finalIndex = -1;
};
// Opens the dialog on the record; the choice after OK, nothing after Cancel. Changes nothing:
// the data page applies the choice as a tree command.
std::optional<FinalValueChoice> AskFinalValue(QWidget* parent, const CMeasRecord& record);


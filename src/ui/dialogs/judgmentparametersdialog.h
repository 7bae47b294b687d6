// JudgmentParametersDialog: the modal dialog "判定基準の設定" for the six judgment limits of one
// measurement data set and its two judgment display switches, and EditJudgParam, the entry
// the data pages use to edit a set's criteria with it.
// JudgmentParametersDialog was CSetJudgParam in the Windows program's sources.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "ui/dialogs/judgparams.h"

class CAppSettings;
class CMeasData;
class QCheckBox;
class QLineEdit;
class QPushButton;

class JudgmentParametersDialog : public QDialog {
    Q_OBJECT
public:
    // The six bound fields, in the order in which they are checked.
    enum Bound {
        SeikyokuMin,
        SeikyokuMax,
        JyakutenMin,
        JyakutenMax,
        LastCurrentMin,
        LastCurrentMax
    };

    explicit JudgmentParametersDialog(QWidget* parent = nullptr);
    ~JudgmentParametersDialog() override;

    // The caller's values before the dialog opens, the accepted ones after OK.
    void SetParams(const JudgParams& p) { m_params = p; }
    const JudgParams& Params() const { return m_params; }
    // What "過去データにも適応する" does after the user's Yes: the two switches go to the
    // function, which tells whether some record changed. Without one the button only asks and
    // changes nothing.
    using ApplyToPast = std::function<bool(int32_t showSeikyoku, int32_t showJyakuten)>;
    void SetApplyToPast(ApplyToPast apply) { m_applyToPast = std::move(apply); }
    // True once "過去データにも適応する" changed some record; stays true after Cancel.
    bool PastDataChanged() const { return m_pastChanged; }

    // Loads the fields; exec() calls it when the caller has not.
    void OnInitDialog();
    // Checks the ranges, then the order of each pair; false (a message shown, the dialog open
    // with the input intact) when something is wrong. Otherwise takes the values and closes.
    bool OnOK();
    // "過去データにも適応する": checks the ranges, asks, and on Yes writes the two switches into
    // every record of the set at once. True when the switches were written.
    bool OnApplyToPast();
    int exec() override;

    QLineEdit* BoundEdit(Bound b) const { return m_edits[static_cast<std::size_t>(b)]; }
    QCheckBox* SeikyokuCheck() const { return m_showSeikyoku; }
    QCheckBox* JyakutenCheck() const { return m_showJyakuten; }
    QPushButton* ApplyToPastButton() const { return m_applyPast; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The six bounds from the fields; nothing when one is out of its range (reported, focused).
    std::optional<JudgParams> readFields();

    JudgParams m_params;
    ApplyToPast m_applyToPast;
    bool m_initialised = false;
    bool m_pastChanged = false;
    std::array<QLineEdit*, 6> m_edits{};
    std::array<QString, 6> m_shownTexts; // the texts the fields were loaded with
    QCheckBox* m_showSeikyoku = nullptr;
    QCheckBox* m_showJyakuten = nullptr;
    QPushButton* m_applyPast = nullptr;
};

// What one use of the criteria dialog did to a set.
struct JudgParamOutcome {
    bool accepted = false;  // closed with OK
    JudgParamChange change; // limits, set flags, record flags (the last also after Cancel)
};

// Where the dialog's two changes go when the set lives in a tree: the data page passes its
// model's tree commands.
struct JudgParamTarget {
    std::function<JudgParamChange(const JudgParams&)> applyCriteria;
    std::function<bool(int32_t showSeikyoku, int32_t showJyakuten)> applyDisplayToRecords;
};
// Runs the criteria dialog on a set: the limits of its first record and its two flags. OK hands
// the limits to target.applyCriteria (which writes them into the first record, copies its
// condition block into every record, sets the set's flags and recomputes the ratios); the
// limits also become the default criteria of newly registered data. "過去データにも適応する"
// hands the records' switches to target.applyDisplayToRecords, even when the dialog is then
// cancelled. The dialog itself changes nothing.
JudgParamOutcome EditJudgParam(QWidget* parent, const CMeasData& set, CAppSettings& settings,
                               const JudgParamTarget& target);

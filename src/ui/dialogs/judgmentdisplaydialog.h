// JudgmentDisplayDialog: the modal dialog "判定基準の表示/非表示" with the two judgment display
// switches of one measurement record.
// JudgmentDisplayDialog was CSettHanteiDisp in the Windows program's sources.
#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;

class JudgmentDisplayDialog : public QDialog {
    Q_OBJECT
public:
    explicit JudgmentDisplayDialog(QWidget* parent = nullptr);
    ~JudgmentDisplayDialog() override;

    // The record's ShowSeikyoku and ShowJyakuten before the dialog opens, the chosen ones
    // after OK (any combination is accepted).
    void SetFlags(int32_t showSeikyoku, int32_t showJyakuten);
    int32_t ShowSeikyoku() const { return m_showSeikyoku; }
    int32_t ShowJyakuten() const { return m_showJyakuten; }

    void OnInitDialog();
    void OnOK();
    int exec() override;

    QCheckBox* SeikyokuCheck() const { return m_seikyoku; }
    QCheckBox* JyakutenCheck() const { return m_jyakuten; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    int32_t m_showSeikyoku = 1;
    int32_t m_showJyakuten = 1;
    bool m_initialised = false;
    QCheckBox* m_seikyoku = nullptr;
    QCheckBox* m_jyakuten = nullptr;
};

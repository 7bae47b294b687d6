// SettingsDialog: the modal dialog "環境設定" for the print margins and whether the
// judgments are printed, and the main window's command that opens it on the program's
// print settings.
// SettingsDialog was CSetPrintBlank in the Windows program's sources.
#pragma once

#include <QDialog>

#include <array>

#include "settings/companysettings.h"

class CAppSettings;
class QAbstractSpinBox;
class QCheckBox;
class QLineEdit;

// The five print settings the dialog edits (margins in whole millimetres).
struct PrintBlankSettings {
    int top = 5;
    int left = 5;
    int bottom = 5;
    int right = 5;
    int judgOut = 1; // 1: print the judgments of the ratios and the final value

    bool operator==(const PrintBlankSettings&) const = default;
    static PrintBlankSettings From(const CAppSettings& s);
    void StoreInto(CAppSettings& s) const;
};

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    enum Side { Top, Left, Bottom, Right }; // also the order in which OK checks the fields
    static constexpr int kMinMargin = 0;
    static constexpr int kMaxMargin = 100;

    explicit SettingsDialog(QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // The caller's values before the dialog opens, the accepted ones after OK.
    void SetSettings(const PrintBlankSettings& s) { m_settings = s; }
    const PrintBlankSettings& Settings() const { return m_settings; }
    // The company of the job report's cover (system.ini [Company]), likewise.
    void SetCompany(const CompanySettings& c) { m_company = c; }
    const CompanySettings& Company() const { return m_company; }

    // Loads the five controls; exec() calls it when the caller has not.
    void OnInitDialog();
    // Checks the four margins in order; the first that is not a whole number from 0 to 100 is
    // reported and gets the focus (false, nothing taken). Otherwise takes the five values and
    // closes with Accepted.
    bool OnOK();
    int exec() override;

    QLineEdit* MarginEdit(Side side) const;
    QAbstractSpinBox* MarginSpin(Side side) const;
    QCheckBox* JudgOutCheck() const { return m_judgOut; }
    // 会社名, 住所, 電話番号, ロゴ画像.
    enum CompanyField { CompanyName, CompanyAddress, CompanyPhone, CompanyLogo };
    QLineEdit* CompanyEdit(CompanyField field) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void chooseLogo();

    PrintBlankSettings m_settings;
    CompanySettings m_company;
    std::array<QLineEdit*, 4> m_companyEdits{};
    bool m_initialised = false;
    std::array<QAbstractSpinBox*, 4> m_spins{};
    QCheckBox* m_judgOut = nullptr;
};

// "環境設定(&E)...": opens SettingsDialog on the print settings; OK takes the values over
// (they are written to the settings file at a normal exit). True when they were taken over.
// The company is written to system.ini at once, and only when the user changed it.
bool RunEnvSettings(QWidget* parent, CAppSettings& settings);

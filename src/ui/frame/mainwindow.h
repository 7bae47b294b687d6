// MainWindow: the main window. Menus, toolbar, dialog bar, status bar and the report view;
// it only wires commands to the document and the dialogs.
// MainWindow was CMainFrame in the Windows program's sources.
#pragma once

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>

class AnalysisCommands;
class CAppSettings;
class ScaleBar;
class CxLogFile;
class LockIndicators;
class MeasurementDocument;
class ReportView;
class UndoCommands;
class QDialog;
class QLabel;
class QPrinter;
class QToolBar;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MeasurementDocument* doc, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The action of a command id (nullptr for an unknown id).
    QAction* Action(int commandId) const;
    // Wires a command. Commands without a handler stay visible and disabled; "テキスト出力"
    // is enabled only while the report view holds a record.
    void SetCommandHandler(int commandId, std::function<void()> handler);
    // A further condition for a wired command to be enabled (asked by UpdateCommandStates).
    void SetCommandEnabler(int commandId, std::function<bool()> enabler);
    void UpdateCommandStates();

    MeasurementDocument* Document() const { return m_doc; }
    ScaleBar* DialogBar() const { return m_dialogBar; }
    ReportView* ViewGraph() const { return m_viewGraph; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QToolBar* DialogBarBand() const { return m_dialogBand; }
    QLabel* MessagePane() const { return m_messagePane; }
    // The analysis menu's windows, the judgment-basis panel and the graph's analysis marks.
    AnalysisCommands* Analysis() const { return m_analysis; }
    // "編集(&E)": undo and redo over the changes of this run.
    UndoCommands* Undo() const { return m_undo; }

    // The settings the window's placement and splitter state go to (may stay unset).
    void SetSettings(CAppSettings* settings) { m_settings = settings; }
    // Sets the geometry of a complete stored placement (maximized for show command 3), or a
    // default size; the next show() takes it.
    void RestorePlacement();

    // The start-up's document and main window: the document (owned by the frame) loads the
    // store of the "DataFile" setting as the first new document; show() follows.
    // With a viewFile the document views that store file instead (read-only, its first
    // measurement shown, the commands that change the store or the settings off).
    static MainWindow* CreateWithDocument(CAppSettings& settings, CxLogFile* appLog,
                                          const std::string& viewFile = {});

    // "Version：1.0.0.1"; the version dialog is built apart from showing it, for tests.
    static QString VersionText();
    QDialog* CreateAboutDialog();
    // The printer the set-up dialog configures and printing uses.
    QPrinter* Printer() const { return m_printer.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The settings given with SetSettings, else the program's own.
    CAppSettings& Settings() const;
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    QAction* AddCommand(QMenu* menu, int commandId, const QString& text, const QString& prompt,
                        const QString& toolTip = {});
    void OnAbout();
    void OnPrintSetup();
    void OnCommand(int commandId);
    void UpdateTitle();
    void EnterViewingMode();

    MeasurementDocument* m_doc;
    ReportView* m_viewGraph = nullptr;
    ScaleBar* m_dialogBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolBar* m_dialogBand = nullptr;
    QLabel* m_messagePane = nullptr;
    LockIndicators* m_indicators = nullptr;
    AnalysisCommands* m_analysis = nullptr;
    UndoCommands* m_undo = nullptr;
    std::map<int, QAction*> m_actions;
    std::map<int, std::function<void()>> m_handlers;
    std::map<int, std::function<bool()>> m_enablers;
    CAppSettings* m_settings = nullptr;
    std::unique_ptr<QPrinter> m_printer;
};

// Print preview and PDF output of the shown record, and the progress window that page-by-page
// output (printing, PDF, preview) shows while it runs long.
// PrintProgress was CPageProgress in the Windows program's sources.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class CAppSettings;
class QPagedPaintDevice;
class QPrintPreviewDialog;
class QPrinter;
class QProgressDialog;
class QWidget;
class ShownReport;

// A progress window with "キャンセル" that appears once the output takes longer than about half
// a second. Every page lets the event loop run, so the windows keep repainting meanwhile.
// Finish() (or the end of the object) closes it for good, so a question asked once the work is
// done is not blocked by it.
class PrintProgress {
public:
    PrintProgress(QWidget* parent, const QString& label);
    ~PrintProgress();
    PrintProgress(const PrintProgress&) = delete;
    PrintProgress& operator=(const PrintProgress&) = delete;

    // After each page: false once the user cancelled.
    bool Step(int done, int count);
    bool Cancelled() const { return m_cancelled; }
    // The work ended (done, failed or cancelled): the window closes and does not appear later.
    void Finish();
    std::function<bool(int, int)> Callback()
    {
        return [this](int done, int count) { return Step(done, count); };
    }

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    bool m_cancelled = false;
};

namespace printout {

// Pages that go to the printer, the preview and a PDF file through one path: the number of
// pages, and printing pages from … to (1-based, inclusive) on a paged device with a progress
// callback that stops printing by returning false; the title a PDF of them carries.
struct PagedOutput {
    std::function<int()> pageCount;
    std::function<bool(QPagedPaintDevice&, int, int, const std::function<bool(int, int)>&)> print;
    QString title;
};
// The shown record's report as paged output.
PagedOutput ViewOutput(const ShownReport& view);

// "<customer>_<cable>_<set>_<YYYYMMDD>.pdf"; characters a file name cannot hold on either
// system (\ / : * ? " < > | and control characters) become '_', and so do leading and trailing
// dots and spaces of the name. An empty date leaves its part out.
QString PdfFileProposal(const QString& customer, const QString& cable, const QString& set,
                        const QString& date);

// A text as a file name by the same rules (no ending added).
QString SafeFileName(const QString& text);

// The preview of the shown record's pages on the printer's page settings; printing from it
// prints through the same painter. The caller owns and shows the dialog.
QPrintPreviewDialog* CreatePreview(QWidget* parent, const ShownReport& view, QPrinter& printer);
void RunPreview(QWidget* parent, const ShownReport& view, QPrinter& printer);
QPrintPreviewDialog* CreatePreview(QWidget* parent, PagedOutput output, QPrinter& printer);
void RunPreview(QWidget* parent, const PagedOutput& output, QPrinter& printer);
// The standard print dialog (pages 1 … count), then the pages chosen there with progress;
// a cancelled job is aborted, so no partial job reaches the printer.
void RunPrint(QWidget* parent, const PagedOutput& output, QPrinter& printer);

enum class PdfResult { Written, Dismissed, Cancelled, Failed };
// Asks for the file (proposed name in the last folder used), writes every page at the
// printer's resolution and page size into a temporary file renamed over the target when
// complete, then asks whether to open it.
PdfResult RunPdfOut(QWidget* parent, const ShownReport& view, const QPrinter& printer,
                    CAppSettings& settings);
// The same for any paged output, with the proposed file name (no folder).
PdfResult RunPdfOut(QWidget* parent, const PagedOutput& output, const QString& proposal,
                    const QPrinter& printer, CAppSettings& settings);

} // namespace printout

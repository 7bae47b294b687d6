// Print preview, PDF output and the page progress window.
#include "ui/dialogs/printout.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QUrl>

#include "settings/appsettings.h"
#include "model/format.h"
#include "model/safefile.h"
#include "ui/common/errnotext.h"
#include "ui/common/messages.h"
#include "ui/common/uitext.h"
#include "ui/dialogs/shownreport.h"

PrintProgress::PrintProgress(QWidget* parent, const QString& label)
    : m_dialog(std::make_unique<QProgressDialog>(label, QStringLiteral("キャンセル"), 0, 1, parent))
{
    m_dialog->setObjectName(QStringLiteral("pageProgress"));
    m_dialog->setWindowTitle(ui::appTitle());
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(500);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0); // starts the clock that shows the window after the minimum duration
}

PrintProgress::~PrintProgress() = default;

void PrintProgress::Finish()
{
    if (!m_dialog)
        return;
    m_cancelled = m_cancelled || m_dialog->wasCanceled();
    // Deleted rather than hidden: a hidden progress dialog still shows itself once its
    // minimum duration has passed.
    m_dialog.reset();
}

bool PrintProgress::Step(int done, int count)
{
    if (!m_dialog)
        return !m_cancelled;
    if (m_dialog->maximum() != count)
        m_dialog->setMaximum(count);
    m_dialog->setValue(done);
    // Repaints and input (the cancel button) between pages, shown or not yet.
    QCoreApplication::processEvents();
    m_cancelled = m_cancelled || m_dialog->wasCanceled();
    return !m_cancelled;
}

namespace printout {

namespace {

QString fileNamePart(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const bool bad =
            c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("\\/:*?\"<>|").contains(c);
        out += bad ? QChar('_') : c;
    }
    return out;
}

// Leading and trailing dots and spaces make hidden or unreachable names on one system or the
// other; each becomes '_' so the name keeps its length and parts.
QString guardEnds(QString name)
{
    for (qsizetype i = 0; i < name.size() && (name[i] == ' ' || name[i] == '.'); ++i)
        name[i] = '_';
    for (qsizetype i = name.size() - 1; i >= 0 && (name[i] == ' ' || name[i] == '.'); --i)
        name[i] = '_';
    return name;
}

struct OutputStopped {}; // thrown out of the writer to drop the temporary file

QString outputFolder(const CAppSettings& settings)
{
    QString dir = ui::toQ(settings.PdfOutDir);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QString::fromStdString(settings.Paths().documentsDir);
    return dir;
}

} // namespace

QString PdfFileProposal(const QString& customer, const QString& cable, const QString& set,
                        const QString& date)
{
    QStringList parts{customer, cable, set};
    if (!date.isEmpty())
        parts << date;
    return guardEnds(fileNamePart(parts.join('_'))) + QStringLiteral(".pdf");
}

PagedOutput ViewOutput(const ShownReport& view)
{
    return {[&view] { return view.PrintPageCount(); },
            [&view](QPagedPaintDevice& device, int from, int to,
                    const std::function<bool(int, int)>& progress) {
                return view.PrintReport(device, from, to, progress);
            },
            QStringLiteral("成績表")};
}

QString SafeFileName(const QString& text)
{
    return guardEnds(fileNamePart(text));
}

QPrintPreviewDialog* CreatePreview(QWidget* parent, const ShownReport& view, QPrinter& printer)
{
    return CreatePreview(parent, ViewOutput(view), printer);
}

QPrintPreviewDialog* CreatePreview(QWidget* parent, PagedOutput output, QPrinter& printer)
{
    auto* dialog = new QPrintPreviewDialog(&printer, parent);
    dialog->setObjectName(QStringLiteral("printPreview"));
    dialog->setWindowTitle(QStringLiteral("印刷プレビュー"));
    // Called for the preview pages and again, with the chosen printer, by its print button.
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog,
                     [dialog, output = std::move(output)](QPrinter* target) {
                         int from = 1, to = output.pageCount();
                         if (target->outputFormat() == QPrinter::NativeFormat &&
                             target->printRange() == QPrinter::PageRange) {
                             from = target->fromPage();
                             to = target->toPage();
                         }
                         PrintProgress progress(dialog,
                                                QStringLiteral("ページを作成しています..."));
                         output.print(*target, from, to, progress.Callback());
                     });
    return dialog;
}

void RunPreview(QWidget* parent, const ShownReport& view, QPrinter& printer)
{
    if (!view.HasRecord())
        return;
    RunPreview(parent, ViewOutput(view), printer);
}

void RunPreview(QWidget* parent, const PagedOutput& output, QPrinter& printer)
{
    if (output.pageCount() == 0)
        return;
    std::unique_ptr<QPrintPreviewDialog> dialog(CreatePreview(parent, output, printer));
    dialog->resize(900, 700);
    dialog->exec();
}

void RunPrint(QWidget* parent, const PagedOutput& output, QPrinter& printer)
{
    const int total = output.pageCount();
    if (total == 0)
        return;
    printer.setFromTo(1, total);
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, total);
    if (dialog.exec() != QDialog::Accepted)
        return;
    int from = 1, to = total;
    if (printer.printRange() == QPrinter::PageRange) {
        from = printer.fromPage();
        to = printer.toPage();
    }
    PrintProgress progress(parent, QStringLiteral("印刷しています..."));
    const bool printed = output.print(printer, from, to, progress.Callback());
    progress.Finish();
    if (!printed && progress.Cancelled())
        printer.abort(); // the pages already spooled are dropped, not printed
}

PdfResult RunPdfOut(QWidget* parent, const ShownReport& view, const QPrinter& printer,
                    CAppSettings& settings)
{
    const CMeasRecord* record = view.DisplayedRecord();
    if (!record || view.PrintPageCount() == 0)
        return PdfResult::Dismissed;
    const QString date = QString::fromStdString(mxrfmt::StartDateText(*record)).remove('/');
    const ShownReport::Names names = view.ShownNames();
    const QString proposal = PdfFileProposal(ui::toQ(names.customer), ui::toQ(names.cable),
                                             ui::toQ(names.measData), date);
    return RunPdfOut(parent, ViewOutput(view), proposal, printer, settings);
}

PdfResult RunPdfOut(QWidget* parent, const PagedOutput& output, const QString& proposal,
                    const QPrinter& printer, CAppSettings& settings)
{
    const int total = output.pageCount();
    if (total == 0)
        return PdfResult::Dismissed;
    QString path = ui::messages().saveFileName(
        parent, QStringLiteral("PDF出力"), QDir(outputFolder(settings)).filePath(proposal),
        QStringLiteral("PDF ファイル (*.pdf);;すべてのファイル (*)"));
    if (path.isEmpty())
        return PdfResult::Dismissed;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    if (auto folder = ui::fromQ(QDir::toNativeSeparators(QFileInfo(path).absolutePath())))
        settings.PdfOutDir = *folder;

    PrintProgress progress(parent, QStringLiteral("PDF ファイルを作成しています..."));
    bool printed = false;
    safefile::ReplaceOutcome outcome;
    try {
        outcome = safefile::ReplaceFile(
            QFile::encodeName(path).toStdString(), safefile::LockWait{}, true, [&](int fd) {
                QFile file;
                if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
                    throw OutputStopped{};
                QPdfWriter pdf(&file);
                QPageLayout layout = printer.pageLayout();
                layout.setMargins(QMarginsF(0, 0, 0, 0));
                pdf.setPageLayout(layout);
                pdf.setResolution(printer.resolution());
                pdf.setTitle(output.title);
                printed = output.print(pdf, 1, total, progress.Callback());
                progress.Finish();
                if (!printed || !file.flush())
                    throw OutputStopped{};
            });
    } catch (const OutputStopped&) {
        progress.Finish();
        if (progress.Cancelled())
            return PdfResult::Cancelled;
        outcome.status = safefile::ReplaceStatus::IoFailed;
    }
    progress.Finish(); // before any message: the file is written or failed
    if (outcome.status != safefile::ReplaceStatus::Ok) {
        QString text = QStringLiteral("PDF ファイルを作成できませんでした。\n%1")
                           .arg(QDir::toNativeSeparators(path));
        if (outcome.error != 0)
            text += QStringLiteral("\n%1").arg(ui::errnoText(outcome.error));
        ui::messages().error(parent, text);
        return PdfResult::Failed;
    }
    if (ui::messages().questionYesNo(
            parent, QStringLiteral("PDF ファイルを作成しました。\n%1\n\n開きますか?")
                        .arg(QDir::toNativeSeparators(path))) == MessageInterface::Answer::Yes)
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    return PdfResult::Written;
}

} // namespace printout

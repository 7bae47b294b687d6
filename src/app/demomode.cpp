// DemoMode: folder, emulator thread and the demonstration marks of the main window.
#include "app/demomode.h"

#include "app/demodata.h"
#include "link/emulatorport.h"
#include "ui/common/uitext.h"
#include "ui/document/measurementdocument.h"
#include "ui/frame/mainwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>

namespace {

const QString kDemo = QStringLiteral("--demo");
const QString kDemoEq = QStringLiteral("--demo=");

} // namespace

DemoMode::DemoMode() = default;

DemoMode::~DemoMode()
{
    // The emulator thread ends before its folder goes.
    m_emulator.reset();
    m_temporary.reset();
}

bool DemoMode::Requested(const QStringList& arguments)
{
    for (int i = 1; i < arguments.size(); ++i)
        if (arguments[i] == kDemo || arguments[i].startsWith(kDemoEq))
            return true;
    return false;
}

bool DemoMode::Start(const QStringList& arguments, QString& error)
{
    QString dir;
    for (int i = 1; i < arguments.size(); ++i)
        if (arguments[i].startsWith(kDemoEq))
            dir = arguments[i].mid(kDemoEq.size());
    if (dir.isEmpty()) {
        m_temporary = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                      QStringLiteral("/MXRView-demo-XXXXXX"));
        if (!m_temporary->isValid()) {
            error =
                QStringLiteral("cannot create a temporary folder: ") + m_temporary->errorString();
            return false;
        }
        m_folder = m_temporary->path();
    } else {
        m_folder = QFileInfo(dir).absoluteFilePath();
    }

    const TesterEmulator dump(demo::DumpOptions());
    // 38400 baud, the store's line setting; the tester sends again at every opening.
    m_emulator = std::make_unique<EmulatorPtySender>(dump.serialChunks(), 38400, 200, true);
    if (!m_emulator->ok()) {
        error = QStringLiteral("cannot create a pseudo-terminal: ") +
                QString::fromStdString(m_emulator->error());
        m_emulator.reset();
        return false;
    }
    std::string message;
    if (!demo::PrepareFolder(m_folder.toStdString(), "MXRView", m_emulator->path(), message)) {
        error = QString::fromStdString(message);
        m_emulator.reset();
        return false;
    }
    return true;
}

QStringList DemoMode::Arguments(const QStringList& arguments) const
{
    QStringList out;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (i > 0 && (a == kDemo || a.startsWith(kDemoEq) || a.startsWith("--home=")))
            continue;
        if (i > 0 && a == QStringLiteral("--home")) {
            ++i; // and its folder
            continue;
        }
        out << a;
    }
    out << QStringLiteral("--home") << m_folder;
    return out;
}

void DemoMode::Decorate(QMainWindow* window) const
{
    if (!window)
        return;
    window->setWindowTitle(ui::appTitle() + QStringLiteral(" [デモ]"));
    auto* mark = new QLabel(
        QStringLiteral(
            "デモ：見本のデータです（測定データの転送 → データ転送開始 で受信できます）"),
        window->statusBar());
    mark->setObjectName(QStringLiteral("demoMark"));
    mark->setStyleSheet(QStringLiteral("QLabel { background: #fff3b0; color: #5a4500; "
                                       "padding: 0 6px; font-weight: bold; }"));
    window->statusBar()->insertWidget(0, mark);

    // The sample's first measurement is shown as soon as the store is read, so the report and
    // its graph are there without a click.
    auto* frame = qobject_cast<MainWindow*>(window);
    MeasurementDocument* doc = frame ? frame->Document() : nullptr;
    if (!doc)
        return;
    if (!doc->IsLoading()) {
        doc->SelectFirstMeasurement();
        return;
    }
    // The load has started already (it told so before this window was marked), so the next
    // change of the loading state is its end.
    QObject::connect(
        &doc->Notifier(), &DocumentNotifier::loadingChanged, doc, [doc] { doc->SelectFirstMeasurement(); },
        Qt::SingleShotConnection);
}

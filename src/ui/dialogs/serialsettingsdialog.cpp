// SerialSettingsDialog: layout, the port scan under its information window, filling and reading the
// lists; the main window's command around it.
#include "ui/dialogs/serialsettingsdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/appsettings.h"
#include "model/cp932text.h"
#include "ui/document/measurementdocument.h"
#include "ui/dialogs/serialsettingstables.h"

namespace ss = serialsettings;

namespace {

// The small modeless window that asks the user to wait while the ports are tried.
class PortScanInfo : public QDialog {
public:
    explicit PortScanInfo(QWidget* parent) : QDialog(parent)
    {
        setObjectName(QString::fromLatin1(SerialSettingsDialog::ScanInfoName()));
        setWindowTitle(QStringLiteral("ｲﾝﾌｫﾒｰｼｮﾝ"));
        setModal(false);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(16, 12, 16, 14);
        layout->setSpacing(8);
        // The busy indicator: an indeterminate bar animates by itself while events run.
        auto* busy = new QProgressBar(this);
        busy->setRange(0, 0);
        busy->setTextVisible(false);
        busy->setFixedHeight(12);
        layout->addWidget(busy);
        for (const QString& text : {QStringLiteral("利用可能なポートを探しています"),
                                    QStringLiteral("しばらくお待ちください")})
            layout->addWidget(new QLabel(text, this), 0, Qt::AlignHCenter);
        setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
    }
};

// Opens the port with the scan's line settings and closes it again; names the device.
PortInfo probe(int port, const PortMap& ports)
{
    CxSerialPort serial;
    serial.SetPortMap(ports);
    serial.SetParam(ss::scanSetting(port));
    const bool ok = serial.Open();
    const uint32_t error = serial.GetErrorCode();
    serial.Close();
    const PortPresence presence = presenceAfterOpen(ok, error);
    if (presence == PortPresence::Absent)
        return {};
    PortInfo info = describeDevice(serial.DevicePath());
    info.presence = presence;
    return info;
}

QString fromCp932(const std::string& text)
{
    return QString::fromStdString(cp932::toUtf8(text));
}

QComboBox* fixedList(QWidget* parent, std::span<const ss::TableRow> table)
{
    auto* box = new QComboBox(parent);
    for (const ss::TableRow& row : table)
        box->addItem(QString::fromUtf8(row.text), row.value);
    box->setMaxVisibleItems(16);
    return box;
}

} // namespace

SerialSettingsDialog::SerialSettingsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("setSerial"));
    setWindowTitle(QStringLiteral("通信設定"));

    m_port = new QComboBox(this);
    m_port->setObjectName(QStringLiteral("list1016"));
    m_port->setMaxVisibleItems(20);
    // Entries name their device ("COM5 — Maker A USB Serial Adapter (ttyUSB0)"): show them whole.
    m_port->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_baudRate = fixedList(this, ss::baudRateTable());
    m_baudRate->setObjectName(QStringLiteral("list1017"));
    m_dataBits = fixedList(this, ss::dataBitsTable());
    m_dataBits->setObjectName(QStringLiteral("list1018"));
    m_parity = fixedList(this, ss::parityTable());
    m_parity->setObjectName(QStringLiteral("list1019"));
    m_stopBits = fixedList(this, ss::stopBitsTable());
    m_stopBits->setObjectName(QStringLiteral("list1020"));
    m_flowControl = fixedList(this, ss::flowControlTable());
    m_flowControl->setObjectName(QStringLiteral("list1021"));
    for (QComboBox* box : {m_port, m_baudRate, m_dataBits, m_parity, m_stopBits, m_flowControl})
        box->setMinimumWidth(110);

    // The device path tells a Linux user which adapter "COM5" is.
    m_devicePath = new QLabel(this);
    m_devicePath->setObjectName(QStringLiteral("devicePath"));
    m_devicePath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_devicePath->setForegroundRole(QPalette::PlaceholderText);
    m_accessHint = new QLabel(this);
    m_accessHint->setObjectName(QStringLiteral("accessHint"));
    m_accessHint->setWordWrap(true);
    m_accessHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_accessHint->setVisible(false);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(7);
    auto* portRow = new QHBoxLayout;
    portRow->setSpacing(8);
    portRow->addWidget(m_port);
    portRow->addWidget(m_devicePath, 1);
    form->addRow(QStringLiteral("ポート番号："), portRow);
    form->addRow(QStringLiteral("ボーレイト："), m_baudRate);
    form->addRow(QStringLiteral("データ長："), m_dataBits);
    form->addRow(QStringLiteral("パリティチェック："), m_parity);
    form->addRow(QStringLiteral("ストップビット："), m_stopBits);
    form->addRow(QStringLiteral("フロー制御："), m_flowControl);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &SerialSettingsDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(14);
    layout->addLayout(form);
    layout->addWidget(m_accessHint);
    layout->addWidget(buttons);
    // Room for the longest default device path beside the list.
    const int pathWidth =
        m_devicePath->fontMetrics().horizontalAdvance(QStringLiteral("/dev/ttyUSB0"));
    m_devicePath->setMinimumWidth(pathWidth + 4);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_port, &QComboBox::currentIndexChanged, this, [this] { showDevicePath(); });
}

SerialSettingsDialog::~SerialSettingsDialog() = default;

void SerialSettingsDialog::scanPorts()
{
    if (!m_portMap)
        m_portMap = AppSettings().PortOverrides();
    PortScanInfo info(isVisible() ? this : parentWidget());
    info.show();
    // Let the window paint before the scan keeps the thread busy.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const PortMap& ports = *m_portMap;
    m_found = ss::scanPorts([&](int port) {
        PortInfo info = m_probe ? m_probe(port, portDevicePath(port, ports)) : probe(port, ports);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return info;
    });
    info.close();
}

void SerialSettingsDialog::OnInitDialog()
{
    m_initialised = true;
    scanPorts();

    const QSignalBlocker block(m_port);
    m_port->clear();
    const std::vector<std::string> entries = ss::portEntries(m_found);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        m_port->addItem(QString::fromStdString(entries[i]), ss::portFromEntry(entries[i]));
        if (i < m_found.size() && m_found[i].info.presence == PortPresence::NoAccess) {
            const int row = static_cast<int>(i);
            m_port->setItemData(row, palette().color(QPalette::Disabled, QPalette::Text),
                                Qt::ForegroundRole);
            m_port->setItemData(row, accessText(m_found[i].port), Qt::ToolTipRole);
        }
    }
    m_port->setCurrentIndex(ss::portPosition(entries, m_setting.port));

    const ss::ListPositions p = ss::positionsFor(m_setting);
    m_baudRate->setCurrentIndex(p.baudRate);
    m_dataBits->setCurrentIndex(p.dataBits);
    m_parity->setCurrentIndex(p.parity);
    m_stopBits->setCurrentIndex(p.stopBits);
    m_flowControl->setCurrentIndex(p.flowControl);
    showDevicePath();
}

std::vector<int> SerialSettingsDialog::FoundPorts() const
{
    std::vector<int> ports;
    for (const ss::ScannedPort& p : m_found)
        ports.push_back(p.port);
    return ports;
}

QString SerialSettingsDialog::accessText(int port) const
{
    return fromCp932(noAccessText(portDevicePath(port, m_portMap ? *m_portMap : PortMap{})));
}

void SerialSettingsDialog::showDevicePath()
{
    const QString entry = m_port->currentText();
    const int row = m_port->currentIndex();
    const bool noAccess =
        row >= 0 && static_cast<std::size_t>(row) < m_found.size() &&
        m_found[static_cast<std::size_t>(row)].info.presence == PortPresence::NoAccess;
    m_accessHint->setText(noAccess ? accessText(m_found[static_cast<std::size_t>(row)].port)
                                   : QString());
    if (m_accessHint->isVisibleTo(this) != noAccess) {
        m_accessHint->setVisible(noAccess);
        layout()->activate(); // the dialog has a fixed size: grow or shrink it now
    }
    if (entry.isEmpty()) {
        m_devicePath->clear();
        return;
    }
    const int32_t port = ss::portFromEntry(entry.toStdString());
    const std::string path = portDevicePath(port, m_portMap ? *m_portMap : PortMap{});
    m_devicePath->setText(QString::fromStdString(path));
    m_devicePath->setToolTip(
        QStringLiteral("COM%1 = %2").arg(port).arg(QString::fromStdString(path)));
}

void SerialSettingsDialog::OnOK()
{
    ss::ListPositions p;
    p.baudRate = m_baudRate->currentIndex();
    p.dataBits = m_dataBits->currentIndex();
    p.parity = m_parity->currentIndex();
    p.stopBits = m_stopBits->currentIndex();
    p.flowControl = m_flowControl->currentIndex();
    m_setting = ss::settingFrom(m_port->currentText().toStdString(), p);
    accept();
}

int SerialSettingsDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void SerialSettingsDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

bool RunCommSettings(QWidget* parent, MeasurementDocument& doc, SerialSettingsDialog::PortProbe probe)
{
    SerialSettingsDialog dialog(parent);
    dialog.SetSetting(doc.Store().comm);
    if (probe)
        dialog.SetPortProbe(std::move(probe));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    doc.Store().comm = dialog.Setting();
    doc.CommitStore();
    return true;
}

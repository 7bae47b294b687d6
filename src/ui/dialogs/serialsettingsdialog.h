// SerialSettingsDialog: the modal dialog "通信設定" in which the user picks the COM port and the line
// settings for receiving from the tester, and the main window's command that opens it.
// SerialSettingsDialog was CSetSerial in the Windows program's sources.
#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/portinfo.h"
#include "link/serialport.h" // PortMap
#include "model/customerdb.h"
#include "ui/dialogs/serialsettingstables.h"

class MeasurementDocument;
class QComboBox;
class QLabel;
class QWidget;

class SerialSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // Says whether port n (mapped to devicePath) can be opened now, and names its device.
    using PortProbe = std::function<PortInfo(int port, const std::string& devicePath)>;

    explicit SerialSettingsDialog(QWidget* parent = nullptr);
    ~SerialSettingsDialog() override;

    // The six values: the caller's before the dialog opens, the chosen ones after OK.
    void SetSetting(const CCommSetting& setting) { m_setting = setting; }
    const CCommSetting& Setting() const { return m_setting; }

    // How port numbers map to devices; the "Ports" section of the settings unless set.
    void SetPortMap(PortMap ports) { m_portMap = std::move(ports); }
    // The scan's test of one port; unless set, a CxSerialPort opened and closed again, the
    // device described from sysfs.
    void SetPortProbe(PortProbe probe) { m_probe = std::move(probe); }

    // Scans the ports (under a small information window), fills the six lists and selects
    // the current values. exec() calls it when the caller has not.
    void OnInitDialog();
    // Reads the six values back from the lists and closes with Accepted.
    void OnOK();
    int exec() override;

    // The port numbers the last scan found (empty: the fixed list is shown), and what it found.
    std::vector<int> FoundPorts() const;
    const std::vector<serialsettings::ScannedPort>& ScannedPorts() const { return m_found; }

    QComboBox* PortList() const { return m_port; }
    QComboBox* BaudRateList() const { return m_baudRate; }
    QComboBox* DataBitsList() const { return m_dataBits; }
    QComboBox* ParityList() const { return m_parity; }
    QComboBox* StopBitsList() const { return m_stopBits; }
    QComboBox* FlowControlList() const { return m_flowControl; }
    // The device the selected port number maps to, e.g. "/dev/ttyUSB0".
    QLabel* DevicePathLabel() const { return m_devicePath; }
    // How to get access to the selected port; shown only for a port this user may not open.
    QLabel* AccessHintLabel() const { return m_accessHint; }

    // Object name of the information window shown during the scan.
    static const char* ScanInfoName() { return "portScanInfo"; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void scanPorts();
    void showDevicePath();
    QString accessText(int port) const;

    CCommSetting m_setting;
    std::optional<PortMap> m_portMap;
    PortProbe m_probe;
    std::vector<serialsettings::ScannedPort> m_found;
    bool m_initialised = false;

    QComboBox* m_port = nullptr;
    QComboBox* m_baudRate = nullptr;
    QComboBox* m_dataBits = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_stopBits = nullptr;
    QComboBox* m_flowControl = nullptr;
    QLabel* m_devicePath = nullptr;
    QLabel* m_accessHint = nullptr;
};

// The command "通信設定(&C)...": opens SerialSettingsDialog on a copy of the store's line settings; OK
// copies them back and saves the store, Cancel changes nothing. An empty probe uses the real
// ports. Returns true when the settings were taken over.
bool RunCommSettings(QWidget* parent, MeasurementDocument& doc, SerialSettingsDialog::PortProbe probe = {});

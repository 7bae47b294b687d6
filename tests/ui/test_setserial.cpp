// SerialSettingsDialog and its tables: the port scan, the selection of the current values (the prefix
// search included), reading back on OK, the information window, and the menu command's copy
// back into the store.
#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

#include "link/emulatorport.h"
#include "link/uucplock.h"
#include "store/store.h"
#include "support/scriptedmessages.h"
#include "ui/frame/commandids.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "ui/dialogs/serialsettingstables.h"
#include "ui/dialogs/serialsettingsdialog.h"
#include "support/widgetgrab.h"

namespace ss = serialsettings;

namespace {

QStringList items(const QComboBox* box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

// A probe that finds the given ports openable and notes every port it was asked about.
SerialSettingsDialog::PortProbe portsPresent(std::set<int> present, std::vector<int>* asked = nullptr)
{
    return [present, asked](int port, const std::string&) {
        if (asked)
            asked->push_back(port);
        PortInfo info;
        if (present.count(port) != 0)
            info.presence = PortPresence::Available;
        return info;
    };
}

// Openable ports as the scan would report them, without device names.
std::vector<ss::ScannedPort> scanned(const std::vector<int>& ports)
{
    std::vector<ss::ScannedPort> found;
    for (int port : ports)
        found.push_back({port, PortInfo{PortPresence::Available, "", ""}});
    return found;
}

} // namespace

TEST(SerialTables, EveryRowRoundTripsAndUnknownValuesTakeTheFirstRow)
{
    // Each row's value selects its own position and reads back as the same value.
    const std::pair<std::span<const ss::TableRow>, int32_t CCommSetting::*> lists[] = {
        {ss::baudRateTable(), &CCommSetting::baudRate},
        {ss::dataBitsTable(), &CCommSetting::dataBits},
        {ss::parityTable(), &CCommSetting::parity},
        {ss::stopBitsTable(), &CCommSetting::stopBits},
        {ss::flowControlTable(), &CCommSetting::flowControl}};
    for (const auto& [table, field] : lists) {
        for (const ss::TableRow& row : table) {
            CCommSetting s;
            s.*field = row.value;
            EXPECT_EQ(ss::settingFrom("COM4", ss::positionsFor(s)).*field, row.value) << row.text;
        }
    }
    // A value no row has shows the first entry and becomes its value.
    CCommSetting odd{4, 12345, 9, 7, 7, 7};
    const ss::ListPositions p = ss::positionsFor(odd);
    EXPECT_EQ(p.baudRate + p.dataBits + p.parity + p.stopBits + p.flowControl, 0);
    EXPECT_EQ(ss::settingFrom("COM4", p), (CCommSetting{4, 110, 4, 0, 0, 0}));
    // Positions outside a table also read as the first row.
    EXPECT_EQ(ss::valueAt(ss::stopBitsTable(), -1), 0);
    EXPECT_EQ(ss::valueAt(ss::baudRateTable(), 15), 110);
    EXPECT_EQ(ss::dataBitsTable().size(), 5u);
    EXPECT_EQ(ss::baudRateTable().size(), 15u);
}

TEST(SerialTables, PortSelection)
{
    struct Case {
        std::vector<int> found;
        int32_t setting;
        int position;
    };
    const Case cases[] = {
        {{3, 17}, 17, 1},  // 17 is outside the fixed table: "COM1" finds "COM17"
        {{10, 11}, 1, 0},  // COM1 is absent: "COM10" begins with "COM1"
        {{}, 17, 0},       // fixed list: "COM1"
        {{}, 15, 14},      // fixed list, last row
        {{10, 17}, 17, 1}, // the port itself wins over the prefix search
        {{2, 12}, 12, 1},  // "COM12", not "COM1..." or "COM2"
        {{3, 4}, 9, 0},    // nothing matches: the first entry
        {{20}, 2, 0},      // COM2 absent: "COM20" begins with "COM2"
        {{5, 6}, 0, 0},    // port 0 searches "COM1": nothing, first entry
    };
    for (const Case& c : cases)
        EXPECT_EQ(ss::portPosition(ss::portEntries(scanned(c.found)), c.setting), c.position)
            << "setting " << c.setting;
    // The search ignores case, and entries that name their device are found by number.
    EXPECT_EQ(ss::portPosition({"com3", "com5"}, 5), 1);
    EXPECT_EQ(ss::portPosition({"COM10 (ttyUSB5)", "COM1 (ttyS0)"}, 1), 1);
    EXPECT_EQ(ss::portPosition({"COM10 (ttyUSB5)", "COM11 (ttyUSB6)"}, 1), 0);
}

TEST(SerialTables, PortFromEntry)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"COM17", 17}, {"COM1", 1}, {"com9", 9}, {"COM", 1}, {"", 1}, {"COMx", 1}, {"COM-3", 1}};
    for (const auto& [text, port] : cases)
        EXPECT_EQ(ss::portFromEntry(text), port) << text;
}

TEST(SerialTables, ScanTriesOneToTwentyInOrderWithScanSettings)
{
    // Openable and inaccessible ports are offered; ports in use and absent ones are not.
    std::vector<int> asked;
    const std::vector<ss::ScannedPort> found = ss::scanPorts([&](int port) {
        asked.push_back(port);
        PortInfo info;
        info.presence = port == 2 || port == 20 ? PortPresence::Available
                        : port == 7             ? PortPresence::NoAccess
                        : port == 9             ? PortPresence::InUse
                                                : PortPresence::Absent;
        return info;
    });
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].port, 2);
    EXPECT_EQ(found[1].port, 7);
    EXPECT_EQ(found[1].info.presence, PortPresence::NoAccess);
    EXPECT_EQ(found[2].port, 20);
    ASSERT_EQ(asked.size(), 20u);
    EXPECT_EQ(asked.front(), 1);
    EXPECT_EQ(asked.back(), 20);
    EXPECT_EQ(ss::scanSetting(7), (CCommSetting{7, 2400, 8, 0, 0, 0}));
    EXPECT_EQ(ss::portEntries({}).size(), 15u);
    EXPECT_EQ(ss::portEntries({}).back(), "COM15");
}

TEST(SerialTables, EntriesNameTheDevice)
{
    const struct {
        ss::ScannedPort port;
        const char* text;
    } cases[] = {
        {{5, {PortPresence::Available, "ttyUSB0", "Maker A USB Serial Adapter"}},
         "COM5 — Maker A USB Serial Adapter (ttyUSB0)"},
        {{3, {PortPresence::Available, "pts/3", ""}}, "COM3 (pts/3)"},
        {{7, {PortPresence::NoAccess, "ttyUSB2", ""}}, "COM7 (ttyUSB2) [アクセス権なし]"},
        {{1, {PortPresence::Available, "", ""}}, "COM1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ss::portEntryText(c.port), c.text);
        EXPECT_EQ(ss::portFromEntry(c.text), c.port.port) << c.text; // OK reads the number back
    }
}

TEST(SetSerial, Ports3And17WithSetting17)
{
    SerialSettingsDialog dlg;
    CCommSetting s;
    s.port = 17;
    dlg.SetSetting(s);
    dlg.SetPortMap({{17, "/dev/pts/77"}});
    dlg.SetPortProbe(portsPresent({3, 17}));
    dlg.OnInitDialog();
    EXPECT_EQ(items(dlg.PortList()), (QStringList{"COM3", "COM17"}));
    EXPECT_EQ(dlg.PortList()->currentText(), "COM17");
    EXPECT_EQ(dlg.DevicePathLabel()->text(), "/dev/pts/77"); // the override
    dlg.PortList()->setCurrentIndex(0);
    EXPECT_EQ(dlg.DevicePathLabel()->text(), "/dev/ttyS2"); // default table, follows the list
    dlg.PortList()->setCurrentIndex(1);
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Setting(), s);
}

TEST(SetSerial, Ports10And11WithSetting1SelectsCom10)
{
    SerialSettingsDialog dlg;
    dlg.SetPortMap({});
    dlg.SetPortProbe(portsPresent({10, 11}));
    dlg.OnInitDialog(); // default setting: port 1
    EXPECT_EQ(items(dlg.PortList()), (QStringList{"COM10", "COM11"}));
    EXPECT_EQ(dlg.PortList()->currentText(), "COM10");
    EXPECT_EQ(dlg.DevicePathLabel()->text(), "/dev/ttyUSB5");
    dlg.OnOK();
    EXPECT_EQ(dlg.Setting().port, 10);
}

TEST(SetSerial, NoPortFoundOffersTheFixedList)
{
    SerialSettingsDialog dlg;
    CCommSetting s;
    s.port = 13;
    dlg.SetSetting(s);
    dlg.SetPortMap({});
    std::vector<int> asked;
    dlg.SetPortProbe(portsPresent({}, &asked));
    dlg.OnInitDialog();
    EXPECT_EQ(asked.size(), 20u);
    EXPECT_TRUE(dlg.FoundPorts().empty());
    ASSERT_EQ(dlg.PortList()->count(), 15);
    EXPECT_EQ(dlg.PortList()->itemText(0), "COM1");
    EXPECT_EQ(dlg.PortList()->itemText(14), "COM15");
    EXPECT_EQ(dlg.PortList()->currentText(), "COM13");
    EXPECT_EQ(dlg.DevicePathLabel()->text(), "/dev/ttyACM0");
}

TEST(SetSerial, SettingsRoundTripUnchangedAndEditsAreRead)
{
    SerialSettingsDialog dlg;
    const CCommSetting s{3, 9600, 7, 2, 1, 2};
    dlg.SetSetting(s);
    dlg.SetPortMap({});
    dlg.SetPortProbe(portsPresent({3}));
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.BaudRateList()->currentText(), "9600");
    EXPECT_EQ(dlg.DataBitsList()->currentText(), "7");
    EXPECT_EQ(dlg.StopBitsList()->currentText(), "2");
    EXPECT_EQ(dlg.ParityList()->currentText(), QString::fromUtf8("奇数"));
    EXPECT_EQ(dlg.FlowControlList()->currentText(), "Xon/Xoff");
    dlg.OnOK();
    EXPECT_EQ(dlg.Setting(), s);

    dlg.BaudRateList()->setCurrentText("115200");
    dlg.StopBitsList()->setCurrentText("1.5");
    dlg.ParityList()->setCurrentText(QString::fromUtf8("マーク"));
    dlg.FlowControlList()->setCurrentText(QString::fromUtf8("ハードウェア"));
    dlg.OnOK();
    EXPECT_EQ(dlg.Setting(), (CCommSetting{3, 115200, 7, 1, 3, 1}));
}

TEST(SetSerial, InformationWindowIsShownDuringTheScanOnly)
{
    SerialSettingsDialog dlg;
    dlg.SetPortMap({});
    int seenVisible = 0;
    QStringList texts;
    dlg.SetPortProbe([&](int, const std::string&) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == SerialSettingsDialog::ScanInfoName() && w->isVisible()) {
                ++seenVisible;
                texts.clear();
                texts << w->windowTitle();
                for (QLabel* l : w->findChildren<QLabel*>())
                    texts << l->text();
            }
        return PortInfo{};
    });
    dlg.OnInitDialog();
    EXPECT_EQ(seenVisible, 20);
    EXPECT_EQ(texts, (QStringList{QString::fromUtf8("ｲﾝﾌｫﾒｰｼｮﾝ"),
                                  QString::fromUtf8("利用可能なポートを探しています"),
                                  QString::fromUtf8("しばらくお待ちください")}));
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->objectName() == SerialSettingsDialog::ScanInfoName() && w->isVisible());
}

TEST(SetSerial, RealScanOffersOpenablePtysOnly)
{
    // Every port number points somewhere known: 3 and 9 at ptys, 9 held by another user.
    EmulatorPty free, held;
    std::string error;
    ASSERT_TRUE(free.create(error)) << error;
    ASSERT_TRUE(held.create(error)) << error;
    PortMap ports;
    for (int n = 1; n <= 20; ++n)
        ports[n] = "/dev/mxr-test-no-port-" + std::to_string(n);
    ports[3] = free.slavePath();
    ports[9] = held.slavePath();
    CxSerialPort user;
    user.SetDevicePath(held.slavePath());
    ASSERT_TRUE(user.Open());

    // 12 is named in a lock file by another program that is still running.
    EmulatorPty locked;
    ASSERT_TRUE(locked.create(error)) << error;
    ports[12] = locked.slavePath();
    const pid_t other = ::fork();
    if (other == 0) {
        ::pause();
        ::_exit(0);
    }
    const std::string lockFile =
        uucpLockPath(kDefaultLockFolder, locked.slavePath()); // /dev/pts/N: unique while open
    const bool lockWritten =
        static_cast<bool>(std::ofstream(lockFile) << std::setw(10) << other << "\n");

    SerialSettingsDialog dlg;
    dlg.SetPortMap(ports);
    dlg.OnInitDialog();
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    std::filesystem::remove(lockFile);
    EXPECT_EQ(dlg.FoundPorts(), std::vector<int>{3}) << "lock file written: " << lockWritten;
    EXPECT_EQ(dlg.PortList()->currentText().toStdString(),
              "COM3 (" + free.slavePath().substr(5) + ")");
    EXPECT_EQ(dlg.DevicePathLabel()->text(), QString::fromStdString(free.slavePath()));
    EXPECT_FALSE(dlg.AccessHintLabel()->isVisibleTo(&dlg));
}

TEST(SetSerial, InaccessiblePortIsListedWithHowToGetAccess)
{
    SerialSettingsDialog dlg;
    dlg.SetSetting(CCommSetting{7, 38400, 8, 0, 0, 1});
    dlg.SetPortMap({});
    dlg.SetPortProbe([](int port, const std::string&) -> PortInfo {
        switch (port) {
        case 1: return {PortPresence::Available, "ttyS0", ""};
        case 3: return {PortPresence::Available, "pts/3", ""};
        case 5: return {PortPresence::Available, "ttyUSB0", "Maker A USB Serial Adapter"};
        case 6: return {PortPresence::InUse, "ttyUSB1", "Maker A USB Serial Adapter"};
        case 7: return {PortPresence::NoAccess, "ttyUSB2", "Maker B Serial Bridge"};
        default: return {};
        }
    });
    dlg.show();
    EXPECT_EQ(
        items(dlg.PortList()),
        (QStringList{"COM1 (ttyS0)", "COM3 (pts/3)", "COM5 — Maker A USB Serial Adapter (ttyUSB0)",
                     "COM7 — Maker B Serial Bridge (ttyUSB2) [アクセス権なし]"}));
    EXPECT_EQ(dlg.PortList()->currentIndex(), 3);
    ASSERT_TRUE(dlg.AccessHintLabel()->isVisible());
    const QString hint = dlg.AccessHintLabel()->text();
    EXPECT_TRUE(hint.startsWith("/dev/ttyUSB2 を開く権限がありません。")) << hint.toStdString();
    EXPECT_TRUE(hint.contains("dialout")) << hint.toStdString();
    EXPECT_EQ(dlg.PortList()->itemData(3, Qt::ToolTipRole).toString(), hint);
    // The picture: the dialog with its port list opened over it.
    const QPixmap dialogPicture = dlg.grab();
    dlg.PortList()->showPopup();
    QWidget* popup = dlg.PortList()->view()->window();
    ASSERT_TRUE(popup->isVisible());
    const QPixmap popupPicture = popup->grab();
    const QPoint at = dlg.PortList()->mapTo(&dlg, QPoint(0, dlg.PortList()->height()));
    QImage picture(dialogPicture.width(),
                   std::max(dialogPicture.height(), at.y() + popupPicture.height()),
                   QImage::Format_RGB32);
    picture.fill(dlg.palette().color(QPalette::Window));
    {
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, dialogPicture);
        painter.drawPixmap(at, popupPicture);
        painter.setPen(dlg.palette().color(QPalette::Dark));
        painter.drawRect(QRect(at, popupPicture.size()).adjusted(0, 0, -1, -1));
    }
    const QString file = guitest::grabDir() + "/setserial_ports.png";
    QDir().mkpath(QFileInfo(file).absolutePath());
    EXPECT_TRUE(picture.save(file, "PNG"));
    dlg.PortList()->hidePopup();

    // An accessible port hides the hint; the inaccessible one can still be chosen.
    dlg.PortList()->setCurrentIndex(2);
    EXPECT_FALSE(dlg.AccessHintLabel()->isVisible());
    dlg.PortList()->setCurrentIndex(3);
    dlg.OnOK();
    EXPECT_EQ(dlg.Setting().port, 7);
}

namespace {

class CommSettingsCommand : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        doc.SetDataFilePath(dataFile());
        doc.Store().comm = CCommSetting{17, 9600, 8, 0, 0, 1};
    }
    std::string dataFile() const { return dir.filePath("MXR.DAT").toStdString(); }
    // act gets the dialog once it runs modally (after its port scan).
    void whenUp(const std::function<void(SerialSettingsDialog&)>& act)
    {
        tries = 0;
        poll.disconnect();
        QObject::connect(&poll, &QTimer::timeout, [this, act] {
            auto* dlg = qobject_cast<SerialSettingsDialog*>(QApplication::activeModalWidget());
            if (dlg) {
                poll.stop();
                act(*dlg);
            } else if (++tries > 500) { // never up: fail instead of hanging
                poll.stop();
                ADD_FAILURE() << "the dialog did not open";
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* d = qobject_cast<SerialSettingsDialog*>(w))
                        d->reject();
            }
        });
        poll.start(10);
    }
    bool run(const std::function<void(SerialSettingsDialog&)>& act)
    {
        whenUp(act);
        return RunCommSettings(nullptr, doc, portsPresent({3, 17}));
    }

    QTimer poll;
    int tries = 0;
    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    MeasurementDocument doc;
};

} // namespace

TEST_F(CommSettingsCommand, CancelLeavesTheStoreAsItWas)
{
    const CCommSetting before = doc.Store().comm;
    EXPECT_FALSE(run([](SerialSettingsDialog& dlg) {
        dlg.PortList()->setCurrentText("COM3");
        dlg.BaudRateList()->setCurrentText("110");
        dlg.reject();
    }));
    EXPECT_EQ(doc.Store().comm, before);
    EXPECT_FALSE(std::filesystem::exists(dataFile()));
}

TEST_F(CommSettingsCommand, OkCopiesBackAndSavesTheStore)
{
    EXPECT_TRUE(run([](SerialSettingsDialog& dlg) {
        EXPECT_EQ(dlg.PortList()->currentText(), "COM17");
        dlg.PortList()->setCurrentText("COM3");
        dlg.BaudRateList()->setCurrentText("38400");
        dlg.OnOK();
    }));
    const CCommSetting expected{3, 38400, 8, 0, 0, 1};
    EXPECT_EQ(doc.Store().comm, expected);
    CCustomerDB saved;
    ASSERT_TRUE(LoadStore(saved, dataFile()).ok);
    EXPECT_EQ(saved.comm, expected);
    EXPECT_TRUE(messages->entries().empty());
}

TEST_F(CommSettingsCommand, MainWindowMenuOpensTheDialog)
{
    MainWindow frame(&doc);
    QAction* action = frame.Action(commandid::CommSettings);
    ASSERT_TRUE(action->isEnabled());
    whenUp([](SerialSettingsDialog& dlg) {
        dlg.BaudRateList()->setCurrentText("4800");
        dlg.OnOK();
    });
    action->trigger();
    EXPECT_EQ(doc.Store().comm.baudRate, 4800);
    EXPECT_TRUE(std::filesystem::exists(dataFile()));
}

TEST(Grab, SerialDialogAndItsScanWindow)
{
    const QString out = guitest::grabDir();
    SerialSettingsDialog dlg;
    dlg.SetSetting(CCommSetting{5, 38400, 8, 0, 0, 1});
    dlg.SetPortMap({});
    bool infoGrabbed = false;
    dlg.SetPortProbe([&](int port, const std::string&) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (!infoGrabbed && w->objectName() == SerialSettingsDialog::ScanInfoName() && w->isVisible())
                infoGrabbed = guitest::grabToPng(w, out + "/setserial_scan.png");
        PortInfo info;
        if (port == 1 || port == 5 || port == 6 || port == 13)
            info.presence = PortPresence::Available;
        return info;
    });
    dlg.show();
    EXPECT_TRUE(infoGrabbed);
    EXPECT_EQ(dlg.PortList()->currentText(), "COM5");
    EXPECT_EQ(dlg.DevicePathLabel()->text(), "/dev/ttyUSB0");
    EXPECT_TRUE(guitest::grabToPng(&dlg, out + "/setserial.png"));
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const QRect r = dlg.frameGeometry();
        QGuiApplication::primaryScreen()
            ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
            .save(out + "/screen_setserial.png");
    }
    dlg.reject();
}

// The COM-port dialog: what it shows on opening, the connection test against the simulated PLC,
// storing with "OK", and closing.
#include "scripted_line.h"
#include "support/scripted_prompts.h"

#include "app/main_window.h"
#include "link/com_setting_dialog.h"
#include "link/ini_file.h"
#include "link/plc_link.h"
#include "sim/sim_line.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString NoFirst =
    QStringLiteral("No first answer from PLC. Check cable connection,port setting,and e.t.c.");
const QString NoSecond = QStringLiteral(
    "No second answer from PLC with type. Check cable connection,port setting,and e.t.c.");
const QByteArray Enquiry("\x05");
const QByteArray TypeRead("\x02"
                          "00E0202\x03"
                          "6C");
const QByteArray TypeAnswer("\x02"
                            "3412\x03"
                            "CD");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

} // namespace

class TestComSettingDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompts m_prompts;
    int m_captions = 0;

    QString ini() const { return m_dir->filePath(QStringLiteral("set.ini")); }
    std::unique_ptr<ComSettingDialog> dialogOn(std::unique_ptr<SerialLine> line)
    {
        auto dialog = std::make_unique<ComSettingDialog>(ini(), std::move(line), &m_prompts,
                                                         [this] { ++m_captions; });
        dialog->show();
        return dialog;
    }
    static QComboBox *list(QDialog &dialog, const char *name)
    {
        return dialog.findChild<QComboBox *>(QLatin1String(name));
    }
    static void click(QDialog &dialog, const char *name)
    {
        QTest::mouseClick(dialog.findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
    }
    static void choose(QDialog &dialog, const char *name, const QString &text)
    {
        QComboBox *box = list(dialog, name);
        box->setFocus();
        box->setCurrentIndex(box->findText(text));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_prompts = ScriptedPrompts();
        m_captions = 0;
    }

    void openingShowsTheStoredPositions_data()
    {
        QTest::addColumn<QStringList>("entries"); // key=value in section COM
        QTest::addColumn<QStringList>("shown");   // Port_num, Speed_set, Parity, Bits, Stop
        QTest::newRow("no set.ini") << QStringList{} << QStringList{"COM1", "9600", "N", "7", "1"};
        QTest::newRow("all stored")
            << QStringList{"Speed=4", "Parity=2", "Bit_num=1", "Stop_bit=1", "Port_num=9"}
            << QStringList{"COM10", "115200", "E", "8", "1.5"};
        QTest::newRow("spoilt values show the first item")
            << QStringList{"Speed=fast", "Parity=3", "Port_num=-1", "Stop_bit=2"}
            << QStringList{"COM1", "9600", "N", "7", "2"};
    }
    void openingShowsTheStoredPositions()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, shown);
        for (const QString &e : entries)
            Write_ini(ini(), "COM", e.section('=', 0, 0), e.section('=', 1));
        auto dialog = dialogOn(std::make_unique<sim::SimulatedLine>());
        QCOMPARE(dialog->objectName(), QStringLiteral("Com_setting"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("COM-port setting"));
        QStringList actual;
        for (const char *name : {"Port_num", "Speed_set", "Parity_set", "Bit_setting", "Stop_bit"})
            actual << list(*dialog, name)->currentText();
        QCOMPARE(actual, shown);
        // Every list is named by its label.
        QStringList labels;
        for (const QLabel *label : dialog->findChildren<QLabel *>()) {
            if (label->buddy())
                labels << label->text();
        }
        QCOMPARE(labels, (QStringList{"COM-port :", "Speed setting:", "Parity setting",
                                      "Bit number:", "Stop bit"}));
    }

    void testReportsWhatThePlcAnswered_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers"); // to each send in turn; then silence
        QTest::addColumn<QString>("openFailure");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<QByteArray>>("sends");
        using Bytes = QList<QByteArray>;
        const QString missing = QStringLiteral("COM1 (/dev/ttyUSB0): no such device");
        QTest::newRow("ACK then the type word")
            << Bytes{"\x06", TypeAnswer} << QString()
            << "Successful connect to the CPU with type 4660" << Bytes{Enquiry, TypeRead};
        QTest::newRow("silent PLC") << Bytes{} << QString() << NoFirst << Bytes{Enquiry};
        QTest::newRow("NAK to the enquiry")
            << Bytes{"\x15"} << QString() << NoFirst << Bytes{Enquiry};
        QTest::newRow("silence after ACK")
            << Bytes{"\x06"} << QString() << NoSecond << Bytes{Enquiry, TypeRead};
        QTest::newRow("port cannot open")
            << Bytes{} << missing << NoFirst + "\n\n" + missing << Bytes{};
    }
    void testReportsWhatThePlcAnswered()
    {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(QString, openFailure);
        QFETCH(QString, message);
        QFETCH(QList<QByteArray>, sends);
        auto owned = std::make_unique<ScriptedLine>();
        ScriptedLine &line = *owned;
        line.openFailure = openFailure;
        line.onSend = [&line, answers](const QByteArray &) {
            if (line.frames.size() <= answers.size())
                line.arrive(answers[line.frames.size() - 1]);
        };
        auto dialog = dialogOn(std::move(owned));
        click(*dialog, "Command2");
        QCOMPARE(m_prompts.messages(), QStringList{message});
        QCOMPARE(line.frames, sends);
        QVERIFY(!line.isOpen());
        QVERIFY(dialog->isVisible());
    }

    // "Test" tries the shown settings and stores nothing; "OK" stores them, renews the caption
    // and closes.
    void testTriesTheShownSettingsAndOkStoresThem()
    {
        auto *line = new sim::SimulatedLine;
        MainWindow window(ini(), std::make_unique<sim::SimulatedLine>(), &m_prompts);
        ComSettingDialog dialog(
            ini(), std::unique_ptr<SerialLine>(line), &m_prompts,
            [&] { window.Change_main_caption(); }, &window);
        dialog.show();
        const QByteArray before = fileBytes(ini());
        choose(dialog, "Port_num", "COM10");
        choose(dialog, "Speed_set", "57600");
        choose(dialog, "Parity_set", "O");
        choose(dialog, "Stop_bit", "2");

        click(dialog, "Command2");
        QCOMPARE(line->portNumber(), 10);
        QCOMPARE(line->settingsText(), QStringLiteral("57600,O,7,2"));
        QCOMPARE(line->openCount(), 1);
        QVERIFY(!line->isOpen());
        QCOMPARE(fileBytes(ini()), before);
        QVERIFY(window.windowTitle().endsWith(QLatin1String("COM 1")));

        click(dialog, "Command1");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(QString::fromLatin1(fileBytes(ini())),
                 QStringLiteral("[COM]\nSpeed=3\nParity=1\nBit_num=0\nStop_bit=2\nPort_num=9\n"));
        QVERIFY2(window.windowTitle().endsWith(QLatin1String("  //Active port - COM 10")),
                 qPrintable(window.windowTitle()));
        QCOMPARE(m_prompts.messages(),
                 QStringList{QStringLiteral("Successful connect to the CPU with type 4660")});
    }

    void okThatCannotStoreSaysWhyAndStaysOpen()
    {
        // set.ini is a folder here: no program can write it, not even one run as root.
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("set.ini")));
        auto dialog = dialogOn(std::make_unique<sim::SimulatedLine>());
        click(*dialog, "Command1");
        QCOMPARE(m_prompts.messages().size(), 1);
        QVERIFY2(m_prompts.messages().first().contains(QDir::toNativeSeparators(ini())),
                 qPrintable(m_prompts.messages().first()));
        QVERIFY(dialog->isVisible());
        QCOMPARE(m_captions, 0);
    }

    void closingDuringATestEndsItQuietly()
    {
        auto owned = std::make_unique<ScriptedLine>(); // never answers
        ScriptedLine &line = *owned;
        auto dialog = dialogOn(std::move(owned));
        bool okGreyed = false;
        QTimer::singleShot(20, dialog.get(), [&] {
            okGreyed = !dialog->findChild<QPushButton *>("Command1")->isEnabled();
            dialog->close();
        });
        click(*dialog, "Command2");
        QVERIFY(okGreyed);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(fileBytes(ini()), QByteArray("<none>")); // closing stores nothing
        QCOMPARE(m_captions, 0);
        QVERIFY(m_prompts.shown().isEmpty());
        QVERIFY(!line.isOpen());
    }

    void theDeviceOfTheChosenPortIsShown()
    {
        const QString present = m_dir->filePath(QStringLiteral("plc"));
        QFile(present).open(QIODevice::WriteOnly);
        Write_ini(ini(), "Devices", "COM3", present);
        Write_ini(ini(), "Devices", "COM4", m_dir->filePath(QStringLiteral("unplugged")));
        auto dialog = dialogOn(std::make_unique<sim::SimulatedLine>());
        auto *device = dialog->findChild<QLabel *>("portDevice");

        choose(*dialog, "Port_num", "COM3");
        QCOMPARE(device->text(), "Device: " + present + " (mapped in set.ini [Devices])\nPresent");
        choose(*dialog, "Port_num", "COM4");
        QVERIFY2(device->text().contains("Not present"), qPrintable(device->text()));

        // A port whose device is missing can still be stored.
        click(*dialog, "Command1");
        QCOMPARE(Read_ini(ini(), "COM", "Port_num", "?"), QStringLiteral("3"));
    }
};

QTEST_MAIN(TestComSettingDialog)
#include "tst_com_setting_dialog.moc"

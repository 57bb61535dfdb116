// The "Converter" tab as the user types and clicks: results, word orders, and outputs left alone
// when a click fails.
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "tabs/converter_tab.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestConverterTab : public QObject
{
    Q_OBJECT

    Bench m_b;
    ScriptedPrompts &m_prompts = m_b.prompts;
    std::unique_ptr<ConverterTab> m_tab;
    WidgetDriver m_driver;

    QLineEdit *box(const char *name) const { return m_driver.find<QLineEdit>(QLatin1String(name)); }
    void convert(const char *input, const QString &text, const char *button)
    {
        box(input)->clear();
        QTest::keyClicks(box(input), text);
        m_driver.click(QLatin1String(button));
    }
    QString shown() const
    {
        QStringList texts;
        for (const char *name : {"Text12", "Text14", "wordOrderABCD", "wordOrderCDAB",
                                 "wordOrderBADC", "wordOrderDCBA"})
            texts << box(name)->text();
        return texts.join(QLatin1Char(' '));
    }

private Q_SLOTS:
    void init()
    {
        m_prompts = ScriptedPrompts();
        m_tab = std::make_unique<ConverterTab>(TabContext{m_b.link, QString(), m_prompts});
        m_driver.setRoot(m_tab.get());
        m_tab->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tab.get()));
    }
    void cleanup() { m_tab.reset(); }

    void bothButtonsShowTheirResultAndTheWordOrders()
    {
        convert("Text13", QStringLiteral("1,5"), "Command22");
        QCOMPARE(shown(), QStringLiteral("3FC00000  3FC00000 00003FC0 C03F0000 0000C03F"));
        // Enter in the box converts, as the button does.
        box("Text15")->clear();
        QTest::keyClicks(box("Text15"), QStringLiteral("3dcccccd"));
        QTest::keyClick(box("Text15"), Qt::Key_Return);
        QCOMPARE(shown(), QStringLiteral("3FC00000 0.1 3DCCCCCD CCCD3DCC CC3DCDCC CDCCCC3D"));
        QVERIFY(m_prompts.shown().isEmpty());
        for (QLineEdit *edit : m_tab->findChildren<QLineEdit *>())
            QVERIFY2(!edit->accessibleName().isEmpty(), qPrintable(edit->objectName()));
    }

    void aFailedClickLeavesTheOutputsAlone_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        QTest::newRow("To IEEE, empty") << "Text13"
                                        << ""
                                        << "Command22"
                                        << "Incorrect value for conversion to IEEE format!";
        QTest::newRow("To IEEE, no number") << "Text13"
                                            << "1.5x"
                                            << "Command22"
                                            << "\"1.5x\" is not a number";
        QTest::newRow("To float, ZZ") << "Text15"
                                      << "3FZZ0000"
                                      << "Command23"
                                      << "\"ZZ\" (characters 3 and 4) is not a hexadecimal byte";
    }
    void aFailedClickLeavesTheOutputsAlone()
    {
        QFETCH(QString, input);
        QFETCH(QString, text);
        QFETCH(QString, button);
        QFETCH(QString, message);
        convert("Text13", QStringLiteral("1.5"), "Command22");
        convert("Text15", QStringLiteral("40200000"), "Command23");
        const QString before = shown();
        convert(qPrintable(input), text, qPrintable(button));
        QCOMPARE(m_prompts.messages(), QStringList{message});
        QCOMPARE(shown(), before);
    }

    void aLibraryThatCannotBeLoadedChangesNothing()
    {
        convert("Text13", QStringLiteral("1.5"), "Command22");
        QTemporaryDir empty;
        m_tab->setLibraryFolder(empty.path());
        convert("Text13", QStringLiteral("2.5"), "Command22");
        convert("Text15", QStringLiteral("40200000"), "Command23");
        QCOMPARE(m_prompts.messages().size(), 2);
        QVERIFY(m_prompts.messages().last().startsWith(
            QStringLiteral("The conversion library conv cannot be loaded: ")));
        QCOMPARE(shown(), QStringLiteral("3FC00000  3FC00000 00003FC0 C03F0000 0000C03F"));
    }
};

QTEST_MAIN(TestConverterTab)
#include "tst_converter_tab.moc"

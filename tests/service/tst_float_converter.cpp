// The float converter without its window: the conv library, "To IEEE", "To float", the texts of
// the results, the word orders, and round trips.
#include "support/scripted_prompts.h"

#include "common/errors.h"
#include "service/conv_library.h"
#include "service/float_converter.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <tuple>

class TestFloatConverter : public QObject
{
    Q_OBJECT

    // conv is built beside the tests.
    static QString beside() { return QCoreApplication::applicationDirPath(); }
    static QString terminatingFolder() { return beside() + QStringLiteral("/conv-terminating"); }
    ConvLibrary m_conv{{beside(), terminatingFolder()}};
    ScriptedPrompts m_prompts;

    // The hex digits or number shown, "(invalid)" after a message, or the error's description.
    QString convert(bool toIeee, const QString &text)
    {
        try {
            const auto value =
                toIeee ? ::toIeee(m_conv, m_prompts, text) : ::toFloat(m_conv, m_prompts, text);
            if (!value)
                return QStringLiteral("(invalid)");
            return toIeee ? bytesHex(value->bytes) : floatText(value->value);
        } catch (const InputError &e) {
            return e.description();
        }
    }

private Q_SLOTS:
    void init() { m_prompts = ScriptedPrompts(); }

    void aLibraryThatCannotBeLoadedSaysWhy()
    {
        QTemporaryDir empty;
        ConvLibrary missing({empty.path(), empty.filePath("lib")});
        try {
            // Loading the library fails before a number comes back.
            std::ignore = ::toIeee(missing, m_prompts, QStringLiteral("1"));
            QFAIL("loading conv from an empty folder must fail");
        } catch (const PlatformError &e) {
            QVERIFY2(e.description().startsWith(
                         QStringLiteral("The conversion library conv cannot be loaded: ")) &&
                         e.description().contains(empty.filePath("conv")) &&
                         e.description().contains(empty.filePath("lib/conv")),
                     qPrintable(e.description()));
        }
        // The empty-text message comes before the library is needed.
        QCOMPARE(::toIeee(missing, m_prompts, QString()).outcome(), Outcome::Invalid);
        QCOMPARE(m_prompts.messages(),
                 QStringList{"Incorrect value for conversion to IEEE format!"});
    }

    void conversions_data()
    {
        QTest::addColumn<bool>("toIeee");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output"); // "...": the text starts so
        auto ieee = [](const char *name, const QString &in, const QString &out) {
            QTest::newRow(name) << true << in << out;
        };
        auto real = [](const char *name, const QString &in, const QString &out) {
            QTest::newRow(name) << false << in << out;
        };
        const QString outside = " is outside the range of a single-precision number...";
        ieee("1.5", "1.5", "3FC00000");
        ieee("1,5: the comma is the point", "1,5", "3FC00000");
        ieee("+1 with blanks", " +1 ", "3F800000");
        ieee("0.1 rounds to nearest", "0.1", "3DCCCCCD");
        ieee("exponent with a comma", "-1,5e2", "C3160000");
        ieee("largest", "3.4028235E+38", "7F7FFFFF");
        ieee("smallest", "1.401298E-45", "00000001");
        ieee("-0", "-0", "80000000");
        ieee("NaN as shown", "NaN", "7FC00000");
        ieee("a second comma stays", "1,5,5", "\"1,5,5\" is not a number");
        ieee("too large", "-3.5E+38", "-3.5E+38" + outside);
        ieee("too small", "1e-50", "1e-50" + outside);
        ieee("empty", "", "(invalid)");

        real("3FC00000", "3FC00000", "1.5");
        real("lower case", "3fc00000", "1.5");
        real("largest, in 7 digits", "7F7FFFFF", "3.402823E+38");
        real("0.1 in 7 digits", "3DCCCCCD", "0.1");
        real("1E-05", "3727C5AC", "1E-05");
        real("8 digits need the exponent", "4B3C614E", "1.234568E+07");
        real("-0", "80000000", "-0");
        real("-inf", "FF800000", "-inf");
        real("NaN with a payload", "FFC00001", "NaN");
        real("ZZ", "3FC0ZZ00", "\"ZZ\" (characters 5 and 6) is not a hexadecimal byte");
        real("a sign", "-1000000", "\"-1\" (characters 1 and 2) is not a hexadecimal byte");
        real("7 characters", "3FC0000", "(invalid)");
        real("9 characters", "3FC000000", "(invalid)");
    }
    void conversions()
    {
        QFETCH(bool, toIeee);
        QFETCH(QString, input);
        QFETCH(QString, output);
        const QString result = convert(toIeee, input);
        if (output.endsWith(QLatin1String("...")))
            QVERIFY2(result.startsWith(output.chopped(3)), qPrintable(result));
        else
            QCOMPARE(result, output);
        if (output == QLatin1String("(invalid)")) {
            QCOMPARE(m_prompts.messages(),
                     QStringList{toIeee ? "Incorrect value for conversion to IEEE format!"
                                        : "Incorrect value for conversion to float format!"});
            QCOMPARE(m_prompts.shown().first().title, Prompts::Title());
        } else {
            QVERIFY(m_prompts.shown().isEmpty());
        }
    }

    // The library is called with a 5-byte buffer, so one that ends the 4 bytes with a
    // terminator writes it into the buffer and not past it (the sanitizer would stop this test).
    void aLibraryThatWritesATerminatorStaysInsideItsBuffer()
    {
        // Taken from the first folder that holds one, as an installed program finds its own.
        QTemporaryDir empty;
        ConvLibrary terminating({empty.path(), terminatingFolder(), beside()});
        QCOMPARE(bytesHex(terminating.floatToBytes(1.5f)), QStringLiteral("3FC00000"));
        QVERIFY(terminating.fileName().startsWith(terminatingFolder()));
        QCOMPARE(terminating.toReal({0x3F, 0xC0, 0, 0}), 1.5f);
        m_conv.load(); // the one beside the program comes first
        QVERIFY(!m_conv.fileName().startsWith(terminatingFolder()));
    }

    void wordOrders()
    {
        const ConvLibrary::Bytes bytes{0x3F, 0xC0, 0x12, 0x34};
        QCOMPARE(bytesHex(bytes, WordOrder::ABCD), QStringLiteral("3FC01234"));
        QCOMPARE(bytesHex(bytes, WordOrder::CDAB), QStringLiteral("12343FC0"));
        QCOMPARE(bytesHex(bytes, WordOrder::BADC), QStringLiteral("C03F3412"));
        QCOMPARE(bytesHex(bytes, WordOrder::DCBA), QStringLiteral("3412C03F"));
    }

    // Decimal texts of up to 7 significant digits through both buttons, and any 4 bytes of a
    // finite number shown and typed back, give the same number to 7 significant digits.
    void roundTrips()
    {
        QRandomGenerator random(20240611);
        auto same = [](double a, double b) {
            // Subnormal numbers have fewer bits: there the text is as close as they allow.
            return std::fabs(a - b) <= 6e-7 * std::fabs(a) ||
                   (std::fabs(a) < 1.2e-38 && std::fabs(a - b) < 1e-44);
        };
        for (int i = 0; i < 20000; ++i) {
            const int digits = random.bounded(1, 8);
            const qint64 mantissa = random.bounded(qint64(1), qint64(std::pow(10, digits)));
            const int exponent = random.bounded(-37, 38) - digits;
            const QString sign = random.bounded(2) ? QStringLiteral("-") : QString();
            const double number =
                (sign + QString::number(mantissa) + 'E' + QString::number(exponent)).toDouble();
            if (std::fabs(number) < 1.2e-38 || std::fabs(number) > 3.4e38)
                continue;
            const QString text = sign + QString::number(mantissa) +
                                 (random.bounded(2) ? ",0E" : ".0E") + QString::number(exponent);
            const QString back = convert(false, convert(true, text));
            QVERIFY2(same(number, back.toDouble()), qPrintable(text + " came back as " + back));

            const quint32 bits = random.generate();
            float value;
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value))
                continue;
            const QString shown = convert(false, QStringLiteral("%1").arg(bits, 8, 16, QChar('0')));
            const auto again = ::toIeee(m_conv, m_prompts, shown);
            QVERIFY2(again && same(value, again->value), qPrintable(shown));
        }
        QVERIFY(m_prompts.shown().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFloatConverter)
#include "tst_float_converter.moc"

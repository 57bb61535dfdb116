// A port's output among several: whole lines with the port in front, whatever pieces the command
// writes them in, and an unfinished last line ended rather than lost.
#include "cli/cli_output.h"

#include <QtTest>

#include <cstdio>

class TestCliOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portLines_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArray>("beforeFinish");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("a line in pieces")
            << QByteArrayList{"0.004 > ", "<ENQ>", "\n"} << QByteArray("COM3: 0.004 > <ENQ>\n")
            << QByteArray("COM3: 0.004 > <ENQ>\n");
        QTest::newRow("two lines in one piece")
            << QByteArrayList{"one\r\ntwo\n"} << QByteArray("COM3: one\r\nCOM3: two\n")
            << QByteArray("COM3: one\r\nCOM3: two\n");
        QTest::newRow("an unfinished line waits, then is ended")
            << QByteArrayList{"done\n", "\r 50 %"} << QByteArray("COM3: done\n")
            << QByteArray("COM3: done\nCOM3: \r 50 %\n");
        QTest::newRow("an empty line keeps its prefix")
            << QByteArrayList{"\n"} << QByteArray("COM3: \n") << QByteArray("COM3: \n");
    }
    void portLines()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, beforeFinish);
        QFETCH(QByteArray, written);
        std::FILE *file = std::tmpfile();
        QVERIFY(file);
        auto contents = [file] {
            std::fflush(file);
            QByteArray all(std::ftell(file), '\0');
            std::rewind(file);
            const size_t read = std::fread(all.data(), 1, size_t(all.size()), file);
            all.truncate(qsizetype(read));
            return all;
        };
        Cli::OutputStream stream(file, QStringLiteral("COM3"));
        QVERIFY(!stream.isTerminal());
        for (const QByteArray &piece : pieces)
            stream.write(piece);
        QCOMPARE(contents(), beforeFinish);
        stream.finish();
        QCOMPARE(contents(), written);
        std::fclose(file);
    }
};

QTEST_GUILESS_MAIN(TestCliOutput)
#include "tst_cli_output.moc"

// Files written whole: all the new bytes on the disk, or the old file as it was.
#include "common/errors.h"
#include "common/whole_file.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>

namespace {
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

bool putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// A byte pattern that a cut or shifted copy does not match.
QByteArray pattern(qsizetype size, char seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i % 251);
    return bytes;
}
} // namespace

class TestWholeFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The new bytes fit in a write buffer or not; either way the failure shows. (The commands'
    // test runs every writer on a full tmpfs.)
    void aFailedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("newSize");
        QTest::newRow("less than a buffer") << 3000;
        QTest::newRow("more than a buffer") << 40000;
    }
    void aFailedWriteKeepsTheOldFile()
    {
        QFETCH(int, newSize);
        QTemporaryDir dir;
        const QString path = dir.filePath("kept.dpc");
        const QByteArray old = pattern(1500, 'o');
        QVERIFY(putFile(path, old));
        try {
            const FileSizeLimit noRoom(2048);
            writeWholeFile(path, pattern(newSize, 'n'));
            QFAIL("written");
        } catch (const PlatformError &e) {
            QCOMPARE(e.description(), "Cannot write " + path + ": File too large");
        }
        QCOMPARE(fileBytes(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.dpc"});
    }

    void aWrittenFileHoldsExactlyTheNewBytes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.json");
        writeWholeFile(path, "new");
        QCOMPARE(fileBytes(path), "new");

        // A longer old file leaves nothing behind; its permissions stay.
        QVERIFY(putFile(path, pattern(50000, 'o')));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        writeWholeFile(path, pattern(20, 'n'));
        QCOMPARE(fileBytes(path), pattern(20, 'n'));
        const auto forThisUser = QFileDevice::ReadUser | QFileDevice::WriteUser;
        QCOMPARE(QFile::permissions(path) & ~forThisUser,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.json"});

        // Through a link, the file it leads to is written and the link stays.
        const QString link = dir.filePath("link.json");
        QVERIFY(QFile::link(path, link));
        writeWholeFile(link, "through");
        QVERIFY(QFileInfo(link).isSymbolicLink());
        QCOMPARE(fileBytes(path), "through");
    }

    // A "C" locale spells no letter beyond ASCII; the file names are the system's all the same.
    void aNameBeyondAsciiIsWrittenWhateverTheLocale()
    {
        const QByteArray locale = std::setlocale(LC_CTYPE, nullptr);
        std::setlocale(LC_CTYPE, "C");
        QTemporaryDir dir;
        const QString named = dir.filePath(QStringLiteral("Pumpwerk \u00dcberlauf.dpc"));
        try {
            writeWholeFile(named, "old");
            writeWholeFile(named, "new");
        } catch (const std::exception &e) {
            std::setlocale(LC_CTYPE, locale.constData());
            QFAIL(e.what());
        }
        std::setlocale(LC_CTYPE, locale.constData());
        QCOMPARE(fileBytes(named), "new");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }

    // Without --force nothing is replaced, not even a link that leads nowhere: writing through
    // it would create the file it names.
    void aLinkToNothingIsAnExistingOutput()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.dpc");
        QVERIFY(QFile::link(dir.filePath("nothing.dpc"), path));
        requireNewFile(path, true);
        QVERIFY_THROWS_EXCEPTION(InputError, requireNewFile(path, false));
    }
};

QTEST_GUILESS_MAIN(TestWholeFile)
#include "tst_whole_file.moc"

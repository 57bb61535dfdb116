// Files written whole: all the new bytes on the disk, or the old file as it was.
#include "common/errors.h"
#include "common/whole_file.h"
#include "support/full_disk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <memory>

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
    // The new bytes fit in a write buffer or not; the disk is full, or the file may not grow.
    void aFailedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<int>("newSize");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full disk, less than a buffer") << true << 3000 << "No space left on device";
        QTest::newRow("full disk, more than a buffer")
            << true << 40000 << "No space left on device";
        QTest::newRow("size limit, less than a buffer") << false << 3000 << "File too large";
        QTest::newRow("size limit, more than a buffer") << false << 40000 << "File too large";
    }
    void aFailedWriteKeepsTheOldFile()
    {
        QFETCH(bool, fullDisk);
        QFETCH(int, newSize);
        QFETCH(QString, reason);
        std::unique_ptr<FullDisk> disk;
        QTemporaryDir dir;
        QString path = dir.filePath("kept.dpc");
        if (fullDisk) {
            disk = std::make_unique<FullDisk>();
            if (!disk->isReady())
                QSKIP(qPrintable(disk->whyNot()));
            path = disk->filePath("kept.dpc");
        }
        const QByteArray old = pattern(1500, 'o');
        QVERIFY(putFile(path, old));
        const QStringList before = QDir(QFileInfo(path).path()).entryList(QDir::Files);
        if (disk)
            disk->fill();
        const std::unique_ptr<FileSizeLimit> limit(fullDisk ? nullptr : new FileSizeLimit(2048));
        try {
            writeWholeFile(path, pattern(newSize, 'n'));
            QFAIL("written");
        } catch (const PlatformError &e) {
            QCOMPARE(e.description(),
                     "Cannot write " + QDir::toNativeSeparators(path) + ": " + reason);
        }
        QCOMPARE(fileBytes(path), old);
        QStringList after = QDir(QFileInfo(path).path()).entryList(QDir::Files);
        after.removeAll("filler");
        QCOMPARE(after, before);
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

    // Without --force nothing is replaced, not even through a link that leads nowhere (which
    // would create the file it names).
    void anExistingOutputIsKeptUnlessReplaced_data()
    {
        QTest::addColumn<QString>("made");
        QTest::addColumn<bool>("exists");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("a file") << "file" << true;
        QTest::newRow("a link to a file") << "link" << true;
        QTest::newRow("a link to nothing") << "dangling" << true;
    }
    void anExistingOutputIsKeptUnlessReplaced()
    {
        QFETCH(QString, made);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.dpc");
        const QString target = dir.filePath("target.dpc");
        if (made == "file" || made == "link")
            QVERIFY(putFile(made == "file" ? path : target, "old"));
        if (made == "link" || made == "dangling")
            QVERIFY(QFile::link(target, path));
        requireNewFile(path, true);
        if (!exists) {
            requireNewFile(path, false);
            return;
        }
        try {
            requireNewFile(path, false);
            QFAIL("not refused");
        } catch (const InputError &e) {
            QCOMPARE(e.description(), path + " exists; it is kept (--force replaces it)");
        }
        QCOMPARE(QFileInfo::exists(target), made == "link");
    }
};

QTEST_GUILESS_MAIN(TestWholeFile)
#include "tst_whole_file.moc"

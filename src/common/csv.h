#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <memory>

// Comma-separated text as spreadsheets write it (RFC 4180): fields in double quotes may hold the
// separator, line breaks and doubled quotes. UTF-8, with or without a byte order mark.

// One record and the line of the text it starts on (from 1). fieldCount counts every field of
// the record, also those a reader did not keep.
struct CsvRecord
{
    int line = 0;
    QStringList fields;
    qsizetype fieldCount = 0;
    friend bool operator==(const CsvRecord &, const CsvRecord &) = default;
};

// The records of a text one at a time (see readCsv), so that a reader may stop early and keep
// only as many fields of a record as it can use.
class CsvReader
{
public:
    // Throws InputError when the text is not UTF-8.
    explicit CsvReader(const QByteArray &bytes);
    ~CsvReader();
    CsvReader(const CsvReader &) = delete;
    CsvReader &operator=(const CsvReader &) = delete;
    bool atEnd() const;
    // The next record, with at most mostFields of its fields kept (all when negative).
    CsvRecord next(qsizetype mostFields = -1);

private:
    class Parser;
    QString m_text;
    std::unique_ptr<Parser> m_parser; // reads m_text
};

// The records of a text. The separator is that of the first line: a semicolon when it holds more
// semicolons than commas outside quotes (as spreadsheets write where the comma is the decimal
// mark), else a comma. Lines end in CR LF, LF or CR; a last line break adds no record. Throws
// InputError naming the line: bytes that are not UTF-8, a quoted field never closed, a quote
// inside an unquoted field, text after a closing quote.
QList<CsvRecord> readCsv(const QByteArray &bytes);

// The rows as UTF-8 text, comma-separated, each line ending in CR LF. A field is quoted when it
// holds a comma, a semicolon, a quote or a line break.
QByteArray writeCsv(const QList<QStringList> &rows);

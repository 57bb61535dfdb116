#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

struct FieldNetSettings;
struct ProjectPorts;
class QPagedPaintDevice;

// The configuration sheet for the commissioning file: the project's name and dates, then one
// section per port with its mode, line settings and table. Built as HTML, so the same sheet is
// written as an HTML file, laid out on pages as PDF and printed.

struct SheetHeading
{
    QString projectName;           // the project file's name; empty for a project never saved
    QDateTime fileTime;            // when that file was written; invalid when there is none
    QDateTime printed;             // when the sheet is made
    bool changedSinceFile = false; // the window holds changes the file does not
};

// One section of the sheet: a heading and its body (HTML). Further sections, such as the
// findings of a check, follow the ports'.
struct SheetSection
{
    QString title;
    QString html;
};

// UART 1, UART 2, the auxiliary port. The Field Net line settings are not kept in a project
// file: given (from the window) they are shown, otherwise the sheet says they are not known.
QList<SheetSection> portSections(const ProjectPorts &ports,
                                 const std::optional<FieldNetSettings> &fieldNet);

// The findings of the configuration check, warnings first, or a line saying there are none.
SheetSection findingsSection(const QList<struct Finding> &findings);

// The whole sheet; tables repeat their header row on every page they span.
QString configSheetHtml(const SheetHeading &heading, const QList<SheetSection> &sections);

// Lays the sheet out on the device's pages, numbered at the foot. Needs a QGuiApplication.
void printSheet(const QString &html, QPagedPaintDevice &device);
// The sheet as an A4 PDF file, written as writeWholeFile writes (PlatformError). Needs a
// QGuiApplication.
void writeSheetPdf(const QString &html, const QString &title, const QString &path);

#include "project/config_sheet.h"

#include "common/whole_file.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_port.h"
#include "project/config_check.h"
#include "project/port_texts.h"
#include "project/project_file.h"

#include <QBuffer>
#include <QFont>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QTextDocument>

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

// Label and value pairs, one per line.
QString facts(const QList<std::pair<QString, QString>> &pairs)
{
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">\n");
    for (const auto &[label, value] : pairs) {
        html += QStringLiteral("<tr><td><b>%1</b>&nbsp;&nbsp;</td><td>%2</td></tr>\n")
                    .arg(escaped(label), escaped(value));
    }
    return html + QStringLiteral("</table>\n");
}

// A table whose header row is repeated on every page it spans; widths in per cent. Numbers are
// centred on one line; sentences (wrapped) run from the left and may take several.
enum class Cells { Numbers, Sentences };
QString grid(const QStringList &titles, const QList<int> &widths, const QList<QStringList> &rows,
             Cells cells = Cells::Numbers)
{
    const QString cellStyle = cells == Cells::Numbers
                                  ? QStringLiteral("align=\"center\" style=\"white-space: nowrap; "
                                                   "font-size: 8pt\"")
                                  : QStringLiteral("style=\"font-size: 8pt\"");
    QString html = QStringLiteral(
        "<table class=\"grid\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\" "
        "style=\"border-collapse: collapse\">\n<thead><tr>");
    for (int c = 0; c < titles.size(); ++c) {
        html += QStringLiteral("<th bgcolor=\"#e8e8e8\" width=\"%1%\" "
                               "style=\"white-space: nowrap; font-size: 8pt\">%2</th>")
                    .arg(widths.value(c))
                    .arg(escaped(titles[c]));
    }
    html += QStringLiteral("</tr></thead>\n<tbody>\n");
    for (const QStringList &row : rows) {
        html += QStringLiteral("<tr>");
        for (const QString &cell : row)
            html += QStringLiteral("<td %1>%2</td>").arg(cellStyle, escaped(cell));
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</tbody></table>\n");
}

// "3 slaves" and the table of them, or "0 slaves" alone.
QString table(const char *one, const char *many, const QStringList &titles,
              const QList<int> &widths, const QList<QStringList> &rows)
{
    const QString count = QStringLiteral("<p>%1 %2</p>\n")
                              .arg(rows.size())
                              .arg(QLatin1String(rows.size() == 1 ? one : many));
    return rows.isEmpty() ? count : count + grid(titles, widths, rows);
}

SheetSection modbusSection(const ModbusPort &port)
{
    QList<std::pair<QString, QString>> pairs = {
        {QStringLiteral("Mode"), portModeText(port)},
        {QStringLiteral("Line"), lineSettingsText(port)},
    };
    if (port.mode() == PortMode::Slave) {
        pairs.append({QStringLiteral("Slave-mode address"), port.slaveAddress()});
        pairs.append(
            {QStringLiteral("Slave-mode timeout"), port.slaveTimeout() + QStringLiteral(" ms")});
    }
    const TextTable &t = port.slaves();
    QList<QStringList> rows;
    for (int r = 0; r < t.itemCount(); ++r) {
        QStringList cells = t.rowCells(r);
        // A function as typed that names none is shown as it stands.
        bool isNumber = false;
        const QString name = functionText(cells[SlaveColumn::Function].toInt(&isNumber));
        if (isNumber && !name.isEmpty())
            cells[SlaveColumn::Function] += QLatin1Char(' ') + name;
        rows << cells;
    }
    QStringList titles;
    for (const QString &title : t.titles())
        titles << title.trimmed();
    return {port.info().name,
            facts(pairs) + table("slave", "slaves", titles, {6, 10, 10, 12, 13, 34, 15}, rows)};
}

QString fieldNetText(const FieldNetSettings &s)
{
    return QStringLiteral("%1 bit/s, parity %2, %3 data bits, stop bits %4")
        .arg(listItem(FieldNetSettings::speeds(), s.speed),
             listItem(FieldNetSettings::parities(), s.parity),
             listItem(FieldNetSettings::dataBitsItems(), s.dataBits),
             listItem(FieldNetSettings::stopBitsItems(), s.stopBits));
}

SheetSection auxSection(const AuxPort &aux, const std::optional<FieldNetSettings> &fieldNet)
{
    QList<std::pair<QString, QString>> pairs = {{QStringLiteral("Mode"), auxModeText(aux.mode())}};
    if (aux.mode() == AuxMode::FieldNet) {
        pairs.append(
            {QStringLiteral("Line"),
             fieldNet ? fieldNetText(*fieldNet) : QStringLiteral("not kept in the project file")});
    }
    QList<QStringList> rows;
    for (int s = 0; s < aux.sensors().sensorCount(); ++s) {
        const SensorRow row = aux.sensors().sensor(s);
        rows << QStringList{QString::number(s + 1), romText(row), row.reg};
    }
    return {QStringLiteral("Auxiliary port"),
            facts(pairs) +
                table("1-wire sensor", "1-wire sensors",
                      {QStringLiteral("Num"), QStringLiteral("ROM code"), QStringLiteral("Dxxxx")},
                      {10, 60, 30}, rows)};
}

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

QList<SheetSection> portSections(const ProjectPorts &ports,
                                 const std::optional<FieldNetSettings> &fieldNet)
{
    return {modbusSection(ports.uart1), modbusSection(ports.uart2),
            auxSection(ports.aux, fieldNet)};
}

SheetSection findingsSection(const QList<Finding> &findings)
{
    const QString title = QStringLiteral("Configuration check");
    if (findings.isEmpty())
        return {title, QStringLiteral("<p>No findings.</p>\n")};
    QList<Finding> sorted = findings;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Finding &a, const Finding &b) {
        return int(a.severity) < int(b.severity);
    });
    QList<QStringList> rows;
    for (const Finding &f : std::as_const(sorted))
        rows << QStringList{severityText(f.severity), findingPlace(f), f.text};
    const int warnings = warningCount(findings);
    return {title, QStringLiteral("<p>%1, %2 %3</p>\n")
                           .arg(warningCountText(warnings))
                           .arg(findings.size() - warnings)
                           .arg(QLatin1String(findings.size() - warnings == 1 ? "note" : "notes")) +
                       grid({QStringLiteral("Severity"), QStringLiteral("Where"),
                             QStringLiteral("Finding")},
                            {10, 25, 65}, rows, Cells::Sentences)};
}

QString configSheetHtml(const SheetHeading &heading, const QList<SheetSection> &sections)
{
    const QString name =
        heading.projectName.isEmpty() ? QStringLiteral("(not saved)") : heading.projectName;
    QList<std::pair<QString, QString>> pairs = {{QStringLiteral("Project"), name}};
    if (heading.fileTime.isValid()) {
        pairs.append(
            {QStringLiteral("File written"),
             timeText(heading.fileTime) +
                 (heading.changedSinceFile ? QStringLiteral(" (changed since)") : QString())});
    }
    pairs.append({QStringLiteral("Printed"), timeText(heading.printed)});

    QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
                                  "<title>PLC configuration: %1</title>\n"
                                  "<style>body { font-family: sans-serif; font-size: 9pt; } "
                                  "h1 { font-size: 15pt; } h2 { font-size: 12pt; }</style>\n"
                                  "</head><body>\n<h1>PLC configuration</h1>\n")
                       .arg(escaped(name));
    html += facts(pairs);
    for (const SheetSection &section : sections)
        html += QStringLiteral("<h2>%1</h2>\n").arg(escaped(section.title)) + section.html;
    return html + QStringLiteral("</body></html>\n");
}

void printSheet(const QString &html, QPagedPaintDevice &device)
{
    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSize(9);
    document.setDefaultFont(font);
    document.setHtml(html);
    document.print(&device);
}

void writeSheetPdf(const QString &html, const QString &title, const QString &path)
{
    QBuffer pdfBytes;
    pdfBytes.open(QIODevice::WriteOnly);
    {
        // The writer finishes the PDF when it goes.
        QPdfWriter pdf(&pdfBytes);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(300);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("plc-config"));
        printSheet(html, pdf);
    }
    writeWholeFile(path, pdfBytes.data());
}

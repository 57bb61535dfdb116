#include "app/status_bar.h"

#include "common/command.h"
#include "common/errors.h"
#include "link/com_setting.h"
#include "link/device_map.h"
#include "link/network_address.h"
#include "link/serial_devices.h"
#include "tabs/command_feedback.h"
#include "transfer/plc_verify.h"

#include <QFrame>
#include <QLabel>
#include <QRegularExpression>

#include <algorithm>

namespace {

// What stands between the user and a working port, with where to put it right; empty when the
// port leads to a serial device the system has, to a serial server, or to the simulated PLC.
QString portHint(int comNumber, const QString &iniPath)
{
    const ComMapping mapping = mapComNumber(comNumber, iniPath);
    // Whether a serial server answers shows only when the port opens.
    if (NetworkAddress::looksLikeOne(mapping.device) && !NetworkAddress::parse(mapping.device))
        return NetworkAddress::problem(mapping.device);
    if (mapping.fromOverride || isPseudoTerminal(mapping.device) ||
        NetworkAddress::looksLikeOne(mapping.device))
        return {};
    const QList<SerialDevice> devices = serialDevices();
    const QString choose = QStringLiteral("PLC \u2192 Comm. setting");
    if (devices.isEmpty()) {
        return QStringLiteral("No serial port found: connect the PLC's adapter, then choose it in "
                              "%1")
            .arg(choose);
    }
    const bool found = std::any_of(devices.cbegin(), devices.cend(), [&](const SerialDevice &d) {
        return d.isNamedBy(mapping.device);
    });
    return found ? QString()
                 : QStringLiteral("%1 is not a serial port found on this computer: choose one in "
                                  "%2")
                       .arg(mapping.device, choose);
}

QString lowerFirst(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

// What follows the port's name.
QString writeEnding(const PortWriteReport &r)
{
    const WriteReport &w = r.write;
    const QString stopped =
        QStringLiteral(" write stopped after %1 of %2 frames: the PLC may hold a partial "
                       "configuration")
            .arg(w.framesSent)
            .arg(w.framesPlanned);
    if (!r.error.isEmpty()) {
        if (r.verify)
            return QStringLiteral(" written, verify FAILED: %1").arg(r.error);
        return w.bracketOpen ? stopped + QStringLiteral(" (%1)").arg(r.error)
                             : QStringLiteral(" not written: %1").arg(r.error);
    }
    switch (w.outcome) {
    case Outcome::Cancelled:
        return QStringLiteral(" not written: cancelled");
    case Outcome::Invalid:
        return QStringLiteral(" not written: the configuration has an error");
    case Outcome::PlcFailed:
        return w.partial()
                   ? stopped
                   : QStringLiteral(": %1, nothing was changed").arg(lowerFirst(w.failure.message));
    case Outcome::Done:
        break;
    }
    if (!r.verify)
        return QStringLiteral(" written");
    if (r.verified())
        return QStringLiteral(" written and verified");
    if (r.verify->done())
        return QStringLiteral(" written, verify FAILED");
    return QStringLiteral(" written, verify FAILED: it could not be read back");
}

QString readFailure(const PortReadReport &r)
{
    if (!r.error.isEmpty())
        return QStringLiteral("%1 not read: %2").arg(r.port, r.error);
    if (!r.failure.answerFault)
        return r.failure.message;
    return QStringLiteral("%1: %2, nothing was changed").arg(r.port, lowerFirst(r.failure.message));
}

} // namespace

// A status bar label that asks for the width of its whole text (or of `wantedChars` characters at
// most) but takes what the window can spare, down to `leastChars`, cutting the text short (whole
// in the tooltip) instead of widening the window.
class FittedLabel final : public QLabel
{
public:
    FittedLabel(int leastChars, int wantedChars, QWidget *parent)
        : QLabel(parent), m_leastChars(leastChars), m_wantedChars(wantedChars)
    {
        setTextFormat(Qt::PlainText);
    }

    void setFullText(const QString &text)
    {
        if (text == m_full)
            return;
        m_full = text;
        // Screen readers read the label by its name ("Last command"); the description carries
        // what it says now, and its change event (Qt sends it) makes them announce it.
        setAccessibleDescription(text);
        fit();
        updateGeometry();
    }
    const QString &fullText() const { return m_full; }

    QSize sizeHint() const final { return withTextWidth(QLabel::sizeHint(), m_wantedChars); }
    QSize minimumSizeHint() const final
    {
        return withTextWidth(QLabel::minimumSizeHint(), m_leastChars);
    }

protected:
    void resizeEvent(QResizeEvent *event) final
    {
        QLabel::resizeEvent(event);
        fit();
    }

private:
    // The label's size for the whole text, or for `chars` characters when that is less (0: the
    // whole text in any case).
    QSize withTextWidth(QSize size, int chars) const
    {
        const QFontMetrics metrics = fontMetrics();
        int width = metrics.horizontalAdvance(m_full);
        if (chars > 0)
            width = std::min(width, metrics.averageCharWidth() * chars);
        size.rwidth() += width - metrics.horizontalAdvance(text());
        return size;
    }

    void fit()
    {
        const QString shown =
            fontMetrics().elidedText(m_full, Qt::ElideRight, std::max(0, contentsRect().width()));
        if (shown != text())
            setText(shown);
        setToolTip(shown == m_full ? QString() : m_full);
    }

    int m_leastChars;
    int m_wantedChars;
    QString m_full;
};

QString StatusText::writes(const QList<PortWriteReport> &reports)
{
    QStringList ports, endings;
    for (const PortWriteReport &r : reports) {
        ports << r.port;
        endings << writeEnding(r);
    }
    if (!endings.isEmpty() && endings.count(endings.first()) == endings.size())
        return ports.join(QStringLiteral(", ")) + endings.first();
    QStringList each;
    for (int i = 0; i < ports.size(); ++i)
        each << ports[i] + endings[i];
    return each.join(QStringLiteral("; "));
}

QString StatusText::reads(const QList<PortReadReport> &reports)
{
    QStringList read, failures;
    for (const PortReadReport &r : reports) {
        if (r.outcome == Outcome::Done)
            read << r.port;
        else if (r.outcome != Outcome::Cancelled)
            failures << readFailure(r);
    }
    if (!read.isEmpty())
        failures.prepend(QStringLiteral("Read from PLC: ") + read.join(QStringLiteral(", ")));
    return failures.join(QStringLiteral("; "));
}

bool StatusText::failed(const QList<PortWriteReport> &reports)
{
    return std::any_of(reports.cbegin(), reports.cend(), [](const PortWriteReport &r) {
        return !r.error.isEmpty() || r.write.outcome != Outcome::Done || r.verifyFailed();
    });
}

bool StatusText::failed(const QList<PortReadReport> &reports)
{
    return std::any_of(reports.cbegin(), reports.cend(),
                       [](const PortReadReport &r) { return r.outcome == Outcome::PlcFailed; });
}

StatusBar::StatusBar(QWidget *parent)
    : QStatusBar(parent), m_port(new FittedLabel(24, 0, this)),
      m_hint(new FittedLabel(16, 0, this)), m_outcome(new FittedLabel(24, 0, this)),
      m_project(new FittedLabel(12, 32, this)), m_now([] { return QTime::currentTime(); })
{
    setObjectName(QStringLiteral("statusBar"));
    setSizeGripEnabled(false);
    const std::pair<FittedLabel *, const char *> labels[] = {{m_port, "statusPort"},
                                                             {m_hint, "statusPortHint"},
                                                             {m_outcome, "statusOutcome"},
                                                             {m_project, "statusProject"}};
    for (const auto &[label, name] : labels) {
        label->setObjectName(QLatin1String(name));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_port->setAccessibleName(QStringLiteral("PLC port"));
    m_hint->setAccessibleName(QStringLiteral("PLC port hint"));
    m_hint->setStyleSheet(QStringLiteral("color: #b00000"));
    m_outcome->setAccessibleName(QStringLiteral("Last command"));
    m_project->setAccessibleName(QStringLiteral("Project"));
    addWidget(m_port);
    addWidget(m_hint);
    addPermanentWidget(m_outcome);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    addPermanentWidget(divider);
    addPermanentWidget(m_project);
}

void StatusBar::showPort(const QString &port, const QString &iniPath)
{
    bool known = false;
    const int number = port.toInt(&known);
    QString device = QStringLiteral("?");
    QString hint;
    if (known) {
        const ComMapping mapping = mapComNumber(number, iniPath);
        device = mapping.simulated ? QStringLiteral("simulated PLC") : mapping.device;
        hint = portHint(number, iniPath);
    }
    m_hint->setFullText(hint);
    m_hint->setVisible(!hint.isEmpty());
    QString settings = QStringLiteral("?");
    try {
        settings = comSettingsText(iniPath);
    } catch (const CommandError &) {
    }
    m_port->setFullText(QStringLiteral("Active port COM %1: %2, %3").arg(port, device, settings));
}

void StatusBar::showOutcome(const QString &text, bool failure)
{
    const QTime at = m_now();
    // One line: a failure's description may run over several.
    QString line = text;
    line.replace(QRegularExpression(QStringLiteral("\\s*[\\r\\n]+\\s*")), QStringLiteral(" "));
    m_outcome->setFullText(line + QLatin1Char(' ') + at.toString(QStringLiteral("HH:mm:ss")));
    // A failure keeps its colour until the next command, after its message box is gone.
    m_outcome->setStyleSheet(failure ? QStringLiteral("color: #b00000; font-weight: bold")
                                     : QString());
    Q_EMIT outcomeShown(at, text, failure);
}

void StatusBar::showEnd(const CommandEnd &end, const QString &done, const QString &failed)
{
    if (!end.failure.isEmpty())
        showOutcome(failed.arg(end.failure), true);
    else if (end.completed() && !done.isEmpty())
        showOutcome(done);
}

void StatusBar::follow(const CommandFeedback &feedback)
{
    connect(&feedback, &CommandFeedback::portWritten, this, [this](const PortWriteReport &r) {
        showOutcome(StatusText::writes({r}), StatusText::failed({r}));
    });
    connect(&feedback, &CommandFeedback::portsRead, this,
            [this](const QList<PortReadReport> &reads) {
                if (!reads.isEmpty())
                    showOutcome(StatusText::reads(reads), StatusText::failed(reads));
            });
    connect(&feedback, &CommandFeedback::commandEnded, this, &StatusBar::showOutcome);
}

void StatusBar::showProject(const QString &description)
{
    m_project->setFullText(description);
}

QString StatusBar::portText() const
{
    return m_port->fullText();
}

QString StatusBar::hintText() const
{
    return m_hint->fullText();
}

QString StatusBar::outcomeText() const
{
    return m_outcome->fullText();
}

QString StatusBar::projectText() const
{
    return m_project->fullText();
}

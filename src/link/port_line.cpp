#include "link/port_line.h"

#include "common/errors.h"
#include "link/device_map.h"
#include "link/network_address.h"
#include "link/network_line.h"
#include "link/qt_serial_line.h"
#include "link/serial_devices.h"

#include <QHash>

namespace {

// The devices and servers held by a line of this program, and by which.
QHash<QString, const PortLine *> &claims()
{
    static QHash<QString, const PortLine *> held;
    return held;
}

} // namespace

QString targetIdentity(const QString &target)
{
    if (const auto address = NetworkAddress::parse(target))
        return QStringLiteral("//") + address->server().toLower();
    const QString device = deviceTarget(target);
    return device.isEmpty() ? target : device;
}

PortLine::PortLine(Resolver resolver, QObject *parent)
    : SerialLine(parent), m_resolver(std::move(resolver))
{}

PortLine::~PortLine()
{
    // Its last signals must not reach a line that is half gone.
    release();
    if (m_line) {
        m_line->disconnect(this);
        delete m_line;
    }
}

void PortLine::release()
{
    if (!m_claim.isEmpty() && claims().value(m_claim) == this)
        claims().remove(m_claim);
    m_claim.clear();
}

void PortLine::setOpeningLimit(std::chrono::milliseconds limit)
{
    m_openingLimit = limit;
    if (auto *network = qobject_cast<NetworkLine *>(m_line))
        network->setOpeningLimit(limit);
}

QString PortLine::targetProblem(const QString &target) const
{
    if (!NetworkAddress::looksLikeOne(target) || NetworkAddress::parse(target))
        return {};
    const QString problem = NetworkAddress::problem(target);
    return m_byDevice ? problem : QStringLiteral("%1: %2").arg(comName(portNumber()), problem);
}

SerialLine &PortLine::lineFor(const QString &target) const
{
    if (!m_line || m_target != target) {
        if (m_line) {
            // Possibly from within one of its own signals: it goes once that has returned.
            m_line->disconnect(this);
            m_line->close();
            m_line->deleteLater();
        }
        auto *self = const_cast<PortLine *>(this);
        SerialLine *line = nullptr;
        if (const auto address = NetworkAddress::parse(target)) {
            auto *network = new NetworkLine(*address, self);
            if (!m_byDevice)
                network->nameByComNumber();
            if (m_openingLimit)
                network->setOpeningLimit(*m_openingLimit);
            line = network;
        } else {
            auto *serial = new QtSerialLine([target](int) { return target; }, self);
            if (m_byDevice)
                serial->nameByDevice();
            line = serial;
        }
        connect(line, &SerialLine::opened, self, &SerialLine::opened);
        connect(line, &SerialLine::received, self, &SerialLine::received);
        connect(line, &SerialLine::sent, self, &SerialLine::sent);
        connect(line, &SerialLine::failed, self,
                [self](const QString &why) { self->reportBroken(why); });
        m_line = line;
        m_target = target;
    }
    if (!m_line->isOpen() && !m_line->opening()) {
        m_line->setPortNumber(portNumber());
        m_line->setSettings(settingsText());
    }
    return *m_line;
}

QString PortLine::describe() const
{
    if (inUse())
        return m_line->describe();
    QString target;
    try {
        target = m_resolver(portNumber());
    } catch (const CommandError &) {
        // An unreadable set.ini is said where the port opens; a message needs only the name.
        return comName(portNumber());
    }
    if (!targetProblem(target).isEmpty())
        return m_byDevice ? target : QStringLiteral("%1 (%2)").arg(comName(portNumber()), target);
    return lineFor(target).describe();
}

void PortLine::open()
{
    if (inUse()) {
        m_line->open(); // says that it is open already
        return;
    }
    const QString target = m_resolver(portNumber());
    if (const QString problem = targetProblem(target); !problem.isEmpty())
        throw PlatformError(problem);
    SerialLine &line = lineFor(target);
    const QString id = targetIdentity(target);
    if (const PortLine *holder = claims().value(id); holder && holder != this) {
        throw PlatformError(tr("%1: in use by %2")
                                .arg(line.describe(), holder->m_holder.isEmpty()
                                                          ? tr("another transfer")
                                                          : holder->m_holder));
    }
    clearBroken();
    line.open();
    release();
    claims().insert(id, this);
    m_claim = id;
}

void PortLine::close()
{
    release();
    if (m_line)
        m_line->close();
}

bool PortLine::isOpen() const
{
    return m_line && m_line->isOpen();
}

bool PortLine::opening() const
{
    return m_line && m_line->opening();
}

void PortLine::send(const QByteArray &bytes)
{
    if (!m_line) {
        throw PlatformError(brokenReason().isEmpty()
                                ? QStringLiteral("%1: the port is not open").arg(describe())
                                : brokenReason());
    }
    m_line->send(bytes);
}

QByteArray PortLine::takeReceived()
{
    return m_line ? m_line->takeReceived() : QByteArray();
}

void PortLine::discardPending()
{
    if (m_line)
        m_line->discardPending();
}

void PortLine::settingsChanged()
{
    if (m_line)
        m_line->setSettings(settingsText());
}

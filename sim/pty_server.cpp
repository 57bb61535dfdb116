#include "sim/pty_server.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <iterator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
struct Speed
{
    speed_t code;
    int bitsPerSecond;
};
const Speed Speeds[] = {{B300, 300},     {B600, 600},       {B1200, 1200},    {B2400, 2400},
                        {B4800, 4800},   {B9600, 9600},     {B19200, 19200},  {B38400, 38400},
                        {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};

// While the master reads nothing but errors, look again this often; slow enough to cost nothing.
constexpr int ResumeIntervalMs = 200;
} // namespace

PtyServer::PtyServer(PlcModel &model, QObject *parent)
    : QObject(parent), m_model(model), m_pacer(model)
{
    connect(&m_pacer, &AnswerPacer::answerReady, this, &PtyServer::queueAnswer);
    m_resumeTimer.setSingleShot(true);
    m_resumeTimer.setInterval(ResumeIntervalMs);
    connect(&m_resumeTimer, &QTimer::timeout, this, [this] {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
    });
}

PtyServer::~PtyServer()
{
    stop();
}

bool PtyServer::fail(const QString &what)
{
    m_error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
    stop();
    return false;
}

bool PtyServer::start()
{
    if (isRunning())
        return true;
    m_error.clear();
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail(QStringLiteral("cannot open a pseudo-terminal"));
    // Not inherited by programs started from here (the firmware updater of the demo).
    if (fcntl(m_master, F_SETFD, FD_CLOEXEC) < 0 ||
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK) < 0)
        return fail(QStringLiteral("cannot set up the pseudo-terminal"));
    if (grantpt(m_master) < 0 || unlockpt(m_master) < 0)
        return fail(QStringLiteral("cannot unlock the pseudo-terminal"));
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail(QStringLiteral("cannot name the pseudo-terminal"));
    m_devicePath = QString::fromLocal8Bit(name);

    // We hold the slave open ourselves for as long as we serve. When the last slave descriptor
    // closes, reads on the master fail with EIO and poll reports a hang-up for good, which would
    // spin the notifier; with ours open a client can close and reopen as often as it likes and
    // the master never notices. The raw mode set here also stays in force between clients.
    m_slaveHold = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveHold < 0)
        return fail(QStringLiteral("cannot open %1").arg(m_devicePath));
    termios tio{};
    if (tcgetattr(m_slaveHold, &tio) < 0)
        return fail(QStringLiteral("cannot read the settings of %1").arg(m_devicePath));
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(m_slaveHold, TCSANOW, &tio) < 0)
        return fail(QStringLiteral("cannot set raw mode on %1").arg(m_devicePath));

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyServer::readRequests);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyServer::writePending);

    if (!m_linkPath.isEmpty() && !makeLink()) {
        stop();
        return false;
    }
    return true;
}

void PtyServer::stop()
{
    removeLink();
    m_pacer.clear();
    m_resumeTimer.stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    m_out.clear();
    if (m_slaveHold >= 0)
        ::close(m_slaveHold);
    m_slaveHold = -1;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_devicePath.clear();
    m_notedSettings.clear();
}

bool PtyServer::setLinkPath(const QString &path)
{
    removeLink();
    m_linkPath = path;
    return path.isEmpty() || !isRunning() || makeLink();
}

bool PtyServer::makeLink()
{
    const QFileInfo existing(m_linkPath);
    if (existing.isSymLink()) {
        QFile::remove(m_linkPath);
    } else if (existing.exists()) {
        m_error = QStringLiteral("%1 exists and is not a symlink; not replaced").arg(m_linkPath);
        return false;
    }
    if (!QFile::link(m_devicePath, m_linkPath)) {
        m_error = QStringLiteral("cannot make the symlink %1").arg(m_linkPath);
        return false;
    }
    m_linkMade = true;
    return true;
}

void PtyServer::removeLink()
{
    // Only our own link: another run may have taken the path over meanwhile.
    if (m_linkMade && QFile::symLinkTarget(m_linkPath) == m_devicePath)
        QFile::remove(m_linkPath);
    m_linkMade = false;
}

void PtyServer::readRequests()
{
    QByteArray requests;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            requests.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Not expected while we hold the slave; should it happen, rest instead of spinning.
            m_readNotifier->setEnabled(false);
            m_resumeTimer.start();
        }
        break;
    }
    if (requests.isEmpty())
        return;
    // Before the requests: a client sets the line up before it sends.
    noteLineSettings();
    m_pacer.takeRequests(requests);
    if (m_model.hungUp()) {
        // Not from inside the notifier's own signal: stop() deletes it.
        QTimer::singleShot(0, this, [this] {
            stop();
            Q_EMIT hungUp();
        });
    }
}

QString PtyServer::lineSettings() const
{
    termios tio{};
    if (m_slaveHold < 0 || tcgetattr(m_slaveHold, &tio) < 0)
        return {};
    const speed_t code = cfgetospeed(&tio);
    const auto speed = std::find_if(std::cbegin(Speeds), std::cend(Speeds),
                                    [code](const Speed &s) { return s.code == code; });
    const int dataBits = (tio.c_cflag & CSIZE) == CS5   ? 5
                         : (tio.c_cflag & CSIZE) == CS6 ? 6
                         : (tio.c_cflag & CSIZE) == CS7 ? 7
                                                        : 8;
    const char parity = (tio.c_cflag & PARENB) == 0 ? 'N' : (tio.c_cflag & PARODD) ? 'O' : 'E';
    return QStringLiteral("%1,%2,%3,%4")
        .arg(speed == std::cend(Speeds) ? QStringLiteral("?")
                                        : QString::number(speed->bitsPerSecond))
        .arg(QLatin1Char(parity))
        .arg(dataBits)
        .arg((tio.c_cflag & CSTOPB) ? 2 : 1);
}

void PtyServer::noteLineSettings()
{
    const QString settings = lineSettings();
    if (settings == m_notedSettings)
        return;
    m_notedSettings = settings;
    m_model.note(QStringLiteral("line settings %1").arg(settings));
}

void PtyServer::queueAnswer(const QByteArray &bytes)
{
    m_out += bytes;
    writePending();
}

void PtyServer::writePending()
{
    // A flooding PLC sends garbage whenever the line has room (after the answers it owes), never
    // more than the line takes.
    if (m_out.isEmpty() && m_model.flooding())
        m_out = QByteArray(4096, 'Z');
    while (!m_out.isEmpty() && m_master >= 0) {
        const ssize_t n = ::write(m_master, m_out.constData(), static_cast<size_t>(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The slave's input queue is full (nobody reads it): go on when it has room.
            m_writeNotifier->setEnabled(true);
            return;
        } else {
            m_out.clear();
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_model.flooding());
}

} // namespace sim

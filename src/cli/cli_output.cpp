#include "cli/cli_output.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace Cli {

OutputStream::OutputStream(std::FILE *file, const QString &port) : m_file(file)
{
    if (!port.isEmpty())
        m_prefix = port.toLocal8Bit() + ": ";
}

void OutputStream::write(const QByteArray &bytes)
{
    if (m_prefix.isEmpty()) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_file);
        return;
    }
    m_pending += bytes;
    qsizetype from = 0;
    for (qsizetype end; (end = m_pending.indexOf('\n', from)) >= 0; from = end + 1) {
        const QByteArray line = m_prefix + m_pending.mid(from, end + 1 - from);
        std::fwrite(line.constData(), 1, size_t(line.size()), m_file);
    }
    if (from > 0) {
        m_pending.remove(0, from);
        std::fflush(m_file);
    }
}

void OutputStream::flush()
{
    std::fflush(m_file);
}

void OutputStream::finish()
{
    if (!m_pending.isEmpty())
        write(QByteArray("\n"));
    flush();
}

bool OutputStream::isTerminal() const
{
#ifdef Q_OS_UNIX
    return m_prefix.isEmpty() && isatty(fileno(m_file));
#else
    return false;
#endif
}

} // namespace Cli

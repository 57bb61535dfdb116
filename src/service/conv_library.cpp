#include "service/conv_library.h"

#include "common/errors.h"

#include <QDir>

ConvLibrary::ConvLibrary(const QStringList &folders) : m_folders(folders) {}

void ConvLibrary::load()
{
    if (m_floatToBytes && m_toReal)
        return;
    QStringList reasons;
    for (const QString &folder : m_folders) {
        m_library.setFileName(QDir(folder).filePath(QStringLiteral("conv")));
        if (m_library.load())
            break;
        reasons << m_library.errorString();
    }
    if (!m_library.isLoaded()) {
        throw PlatformError(QStringLiteral("The conversion library conv cannot be loaded: %1")
                                .arg(reasons.join(QStringLiteral("; "))));
    }
    auto floatToBytes =
        reinterpret_cast<conv_float_to_byte_array>(m_library.resolve("float_to_byte_array"));
    auto toReal = reinterpret_cast<conv_to_real>(m_library.resolve("to_real"));
    if (!floatToBytes || !toReal) {
        const QString missing =
            floatToBytes ? QStringLiteral("to_real") : QStringLiteral("float_to_byte_array");
        throw PlatformError(QStringLiteral("The conversion library %1 has no function %2")
                                .arg(QDir::toNativeSeparators(m_library.fileName()), missing));
    }
    m_floatToBytes = floatToBytes;
    m_toReal = toReal;
}

ConvLibrary::Bytes ConvLibrary::floatToBytes(float value)
{
    load();
    // The call is made with a 5-byte buffer: a library that ends the bytes with a terminator
    // writes it into the fifth.
    unsigned char buffer[BufferSize] = {};
    m_floatToBytes(buffer, 0, value);
    return {buffer[0], buffer[1], buffer[2], buffer[3]};
}

float ConvLibrary::toReal(const Bytes &bytes)
{
    load();
    const unsigned char buffer[BufferSize] = {bytes[0], bytes[1], bytes[2], bytes[3], 0};
    return m_toReal(buffer, 0);
}

#pragma once

#include "service/conv.h"

#include <QLibrary>
#include <QString>

#include <array>

// The conversion library conv, loaded from a given folder when a conversion first needs it.
// A library that cannot be loaded is tried again at the next conversion.
class ConvLibrary
{
public:
    using Bytes = std::array<quint8, 4>;

    // folder: where conv lies (the program's own folder).
    explicit ConvLibrary(const QString &folder);
    ConvLibrary(const ConvLibrary &) = delete;
    ConvLibrary &operator=(const ConvLibrary &) = delete;

    // Loads conv unless it is loaded. PlatformError with the loader's reason when it cannot be
    // loaded or lacks one of its functions.
    void load();

    // float_to_byte_array and to_real; both load conv first.
    Bytes floatToBytes(float value);
    float toReal(const Bytes &bytes);

private:
    static constexpr int BufferSize = 5;
    QLibrary m_library;
    conv_float_to_byte_array m_floatToBytes = nullptr;
    conv_to_real m_toReal = nullptr;
};

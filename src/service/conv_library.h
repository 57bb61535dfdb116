#pragma once

#include "service/conv.h"

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <array>

// The conversion library conv, loaded when a conversion first needs it from the first of the
// given folders it loads from. A library that cannot be loaded is tried again at the next
// conversion.
class ConvLibrary
{
public:
    using Bytes = std::array<quint8, 4>;

    // folders: where conv may lie, in order (programPartFolders() for the running program).
    explicit ConvLibrary(const QStringList &folders);
    ConvLibrary(const ConvLibrary &) = delete;
    ConvLibrary &operator=(const ConvLibrary &) = delete;

    // Loads conv unless it is loaded. PlatformError with the loader's reason when it cannot be
    // loaded or lacks one of its functions.
    void load();

    // The file conv was loaded from; empty before a load.
    QString fileName() const { return m_library.isLoaded() ? m_library.fileName() : QString(); }

    // float_to_byte_array and to_real; both load conv first.
    Bytes floatToBytes(float value);
    float toReal(const Bytes &bytes);

private:
    static constexpr int BufferSize = 5;
    QStringList m_folders;
    QLibrary m_library;
    conv_float_to_byte_array m_floatToBytes = nullptr;
    conv_to_real m_toReal = nullptr;
};

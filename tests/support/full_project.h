#pragma once

#include "project/project_record.h"

// A project as full as it gets: 128 slaves on each UART and 128 sensors, every row inside the
// checks of a write. UART 1 polls at 500000 bit/s; UART 2 is a Modbus slave at address 247.
inline ProjectRecord fullProjectRecord()
{
    ProjectRecord r;
    for (const auto block : {ProjectRecord::Uart1, ProjectRecord::Uart2}) {
        for (int i = 0; i < 128; ++i) {
            r.setSlave(block, i,
                       {quint8(i % 249), quint8(i % 5), quint8(1 + i % 100), quint16(i * 20),
                        quint16(2900 - i * 3), qint16(1 + i * 31)});
        }
        r.setByteField(block, ProjectRecord::SlaveCountOffset, 128);
    }
    for (int i = 0; i < 128; ++i) {
        r.setSensor(ProjectRecord::Aux, i,
                    {{0x28, quint8(i), 0xAB, 0, 0, 0, 1, quint8(255 - i)}, qint16(i * 62)});
    }
    r.setByteField(ProjectRecord::Aux, ProjectRecord::SensorCountOffset, 128);
    r.setByteField(ProjectRecord::Uart2, ProjectRecord::ModeOffset, 1);
    r.setByteField(ProjectRecord::Uart2, ProjectRecord::SlaveAddressOffset, 247);
    r.setByteField(ProjectRecord::Uart1, ProjectRecord::SpeedOffset, 7);
    r.setSlaveTimeout(ProjectRecord::Uart2, 1500);
    r.blankReservedTexts();
    return r;
}

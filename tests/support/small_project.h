#pragma once

#include "support/full_project.h"

#include "project/project_file.h"

// A project with a few slaves on each UART and a few sensors: every table is written, in few
// pieces.
inline void writeSmallProject(const QString &path)
{
    ProjectRecord r = fullProjectRecord();
    for (const auto block : {ProjectRecord::Uart1, ProjectRecord::Uart2})
        r.setByteField(block, ProjectRecord::SlaveCountOffset, 4);
    r.setByteField(ProjectRecord::Aux, ProjectRecord::SensorCountOffset, 3);
    writeProjectFile(path, r);
}

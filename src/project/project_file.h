#pragma once

#include "common/outcome.h"
#include "common/prompts.h"
#include "common/result.h"
#include "modbus/modbus_port.h"
#include "onewire/aux_port.h"
#include "project/project_record.h"

#include <QLoggingCategory>

// Project files read, written and imported, and what was refused:
// QT_LOGGING_RULES="plc.project.debug=true".
Q_DECLARE_LOGGING_CATEGORY(plcProjectLog)

// The three ports a project file holds, as the window shows them.
struct ProjectPorts
{
    ModbusPort &uart1;
    ModbusPort &uart2;
    AuxPort &aux;
};

// Three ports of their own as a fresh window has them (the start-up values of set.ini included).
struct FreshPorts
{
    ModbusPort uart1{ModbusPortInfo::uart1()};
    ModbusPort uart2{ModbusPortInfo::uart2()};
    AuxPort aux;
    explicit FreshPorts(const QString &iniPath);
    ProjectPorts ports() { return {uart1, uart2, aux}; }
};

// "New config": the ports back as a fresh window has them: all three "Not use", the tables
// empty, the lists and boxes at their start-up values.
void resetProjectPorts(const ProjectPorts &ports, const QString &iniPath);

// Copies the ports into the record: the fields a project uses, nothing else. A cell that does
// not convert throws InputError naming it, and the record is then left as it was.
void Fill_project_record(ProjectRecord &record, const ProjectPorts &ports);

// Copies a sound record (see projectRecordFault) into the ports: the three tables are emptied
// first, each mode is selected as a click would, the Field Net lists are left alone.
void Apply_project_record(const ProjectRecord &record, const ProjectPorts &ports);

// Writes the whole file anew through a temporary file renamed over the old one, so neither a
// longer old file nor a failed write leaves a mixed or half-written project. Only a regular file
// is replaced (PlatformError otherwise).
void writeProjectFile(const QString &path, const ProjectRecord &record);
// Reads and checks a project file: its first 15040 bytes are the record, anything after them is
// ignored; a shorter file, one over 1 MiB and anything but a regular file are refused. InputError
// naming the fault when it is not a project.
ProjectRecord readProjectFile(const QString &path);

// The file choosers of "Save config" and "Load config".
FileChoice projectFileChoice(const QString &title, const QString &startFolder);

// "Save config": the file chosen, the ports copied into the in-memory record, the file written.
// The file's path when saved.
Result<QString> Save_project(Prompts &prompts, ProjectRecord &memory, const ProjectPorts &ports,
                             const QString &startFolder);
// "Load config": the file chosen, then loaded as loadProjectFile does. The file's path when
// loaded.
Result<QString> Load_project(Prompts &prompts, ProjectRecord &memory, const ProjectPorts &ports,
                             const QString &startFolder);
// A project file read and checked whole into the in-memory record, then applied to the ports.
void loadProjectFile(const QString &path, ProjectRecord &memory, const ProjectPorts &ports);

// What a cancelled file chooser says.
QString cancelledChoiceMessage();

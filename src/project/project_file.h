#pragma once

#include "common/outcome.h"
#include "common/prompts.h"
#include "project/project_record.h"

class AuxPort;
class ModbusPort;

// The three ports a project file holds, as the window shows them.
struct ProjectPorts
{
    ModbusPort &uart1;
    ModbusPort &uart2;
    AuxPort &aux;
};

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
// chosenPath, when given, receives the file chosen.
Outcome Save_project(Prompts &prompts, ProjectRecord &memory, const ProjectPorts &ports,
                     const QString &startFolder, QString *chosenPath = nullptr);
// "Load config": the file chosen and checked whole, then applied to the ports.
Outcome Load_project(Prompts &prompts, ProjectRecord &memory, const ProjectPorts &ports,
                     const QString &startFolder, QString *chosenPath = nullptr);

// What a cancelled file chooser says.
QString cancelledChoiceMessage();

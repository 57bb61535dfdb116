#pragma once

#include "project/project_record.h"

#include <QByteArray>

struct ProjectPorts;

// The project's text form: one JSON object with "format" 1, the ports "uart1", "uart2" and "aux",
// each with its mode, line settings and table (the keys are listed in the README). It is what
// "show --json" prints, what "export" writes and what "import" reads back.
constexpr int ProjectJsonFormat = 1;

QByteArray projectJson(const ProjectPorts &ports);
// The text form of a sound record (see projectRecordFault).
QByteArray projectJson(const ProjectRecord &record);

// The record a text form describes, checked whole first: every fault found is named by its place
// ("uart1.slaves[3].timeoutMs: 5000 is above 32767"), one per line, the first twenty of them in
// one InputError, and nothing is built then. Refused is only what a project file cannot hold:
// wrong types, numbers beyond their field, lists longer than 128 (not read at all), unknown
// modes and choices, unknown and repeated keys. Whether the PLC can use the rest is for the
// configuration check and the write to say. Fields the record does not use are zero, the
// reserved texts blank. "slot", "num" and "functionName" may be left out; given, they must agree
// with the place and the function.
ProjectRecord projectRecordFromJson(const QByteArray &json);

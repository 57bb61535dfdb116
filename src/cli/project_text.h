#pragma once

#include <QByteArray>
#include <QString>

struct ProjectPorts;

// What "show" prints of a project: for a person, and as one JSON object for scripts.
QString projectText(const ProjectPorts &ports);
QByteArray projectJson(const ProjectPorts &ports);

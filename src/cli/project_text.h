#pragma once

#include <QString>

struct ProjectPorts;

// What "show" prints of a project for a person (its JSON form is project/project_json.h).
QString projectText(const ProjectPorts &ports);

// Fuzz target: a project's JSON text form. Whatever the text, the import either names its faults
// with nothing in them that could steer a terminal, or builds a sound record whose own text form
// reads back as the same record.
#include "project/project_json.h"
#include "common/errors.h"
#include "common/untrusted_text.h"
#include "project/project_record.h"

#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    ProjectRecord record;
    try {
        record = projectRecordFromJson(text);
    } catch (const InputError &e) {
        if (e.description().isEmpty() || escapedText(e.description(), true) != e.description())
            __builtin_trap();
        return 0;
    }
    if (!projectRecordFault(record.bytes()).isEmpty())
        __builtin_trap();
    if (!(projectRecordFromJson(projectJson(record)) == record))
        __builtin_trap();
    return 0;
}

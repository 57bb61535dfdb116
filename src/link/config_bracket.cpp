#include "link/config_bracket.h"

QString answerMessage(const WriteAnswer &answer)
{
    switch (answer.kind) {
    case WriteAnswer::Kind::Refused:
        return QStringLiteral("Wrong answer from PLC");
    case WriteAnswer::Kind::NoAnswer:
        return QStringLiteral("Answer timeout from PLC");
    case WriteAnswer::Kind::Accepted:
        break;
    }
    return {};
}

bool configWrite(PlcLink &link, Prompts &prompts, int timeoutMs, const QString &command,
                 const QString &address, const QString &count, const QString &data)
{
    const WriteAnswer answer = link.Write_plc_block(timeoutMs, command, address, count, data);
    if (answer.accepted())
        return true;
    // The line is closed before the message, so the PLC is free while the user reads it.
    link.line().close();
    prompts.message(answerMessage(answer));
    return false;
}

bool openConfigBracket(PlcLink &link, Prompts &prompts)
{
    return configWrite(link, prompts, 1000, QStringLiteral("E11"), QStringLiteral("3000"),
                       QStringLiteral("02"), QStringLiteral("0FFF"));
}

bool closeConfigBracket(PlcLink &link, Prompts &prompts)
{
    return configWrite(link, prompts, 1000, QStringLiteral("E11"), QStringLiteral("3000"),
                       QStringLiteral("02"), QStringLiteral("0000"));
}

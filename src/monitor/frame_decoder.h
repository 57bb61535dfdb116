#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

// What the frames on the line mean, read with the encodings and the address map the transfers
// use: "UART 1 port word: Modbus master, 115200, None, 4 slaves", "answer: refused (15)".

// A request frame taken apart: STX, command ("E00", "E10", "E11" or the word read's "0"),
// address, count, data, ETX, sum.
struct RequestFrame
{
    QByteArray command;
    quint16 address = 0;
    int count = 0;
    QByteArray data;
    bool sumRight = true;
};
// Nothing when the bytes are not shaped as a request (ENQ alone is not a frame either).
std::optional<RequestFrame> parseRequest(const QByteArray &frame);

// A frame's meaning, and whether its sum does not match its contents.
struct FrameReading
{
    QString meaning;
    bool sumWrong = false;
};

FrameReading readRequest(const QByteArray &frame);

// The answer collected for request. complete is false when the line stayed silent for timeout
// before the awaited characters were there.
FrameReading readAnswer(const QByteArray &request, const QByteArray &answer, bool complete,
                        std::chrono::milliseconds timeout);

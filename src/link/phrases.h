// Reasons and outcomes are kept in English wherever a program or a file
// reads them back (ports --json's problem, a batch log's detail, the line's
// record), and said in the reader's language wherever a person reads them.
// The phrases they are made of are listed once, in phrases.cpp: kept() is a
// phrase as it is kept; said() finds the phrases in a kept text, however
// joined ("; ") or nested ("cannot open: in use by ..."), and says each in
// the reader's language. Anything else, the system's own reasons among them,
// stays as it is.
#pragma once

#include <QString>
#include <QStringList>

namespace Phrases {

enum class Phrase {
    NotASerialPort,
    FolderNotPort,
    FileNotPort,
    NoSuchDevice,
    NoSuchSerialPort,
    InUseBy,           // %1: who holds it
    AnotherProgram,
    GroupDialout,
    CannotOpen,        // %1: why
    NoAnswer,
    ValuesDiffer,      // %1 of %2
    Refused,           // %1: the command, %2: the reply's bytes
    NoCleanAnswer,     // %1: the command, %2: frames sent, %3: what came
    LateRefusal,
    LateBlock,
    ImplausibleBlock,
    LineFailedDuring,  // %1: the command, %2: why
    NoAnswerAfter,     // %1: the command, %2: frames sent
    LineNotOpen,
    LineNotQuiet,      // %1: ms
    LineHungUp,
    WroteDeviceHas,    // %1: key, %2: written, %3: held
    BytesLate,         // %1: how many
    PortLost,
    AfterLastRun,      // %1: what was found
    DeviceMayHold,
    DeviceHolds,
    NotWritten,        // %1: the differences
};

// The phrase as it is kept, in English; its %1... are filled with arg().
QString kept(Phrase phrase);

// A kept text in the reader's language.
QString said(const QString &keptText);

// Every phrase as kept, and what joins them: for a reader that says kept
// texts itself (velmora-web's pages), with their translations.
QStringList sources();
const char *joint();

} // namespace Phrases

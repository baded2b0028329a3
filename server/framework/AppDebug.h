#pragma once
// Debug requests: a command typed at the console, or "@file", a command file
// run line by line.
#include "QvWindows.h"
#include "BaseItem.h"

class APPTYPE;

class APPDEBUG : public BASEITEM {
public:
    explicit APPDEBUG(APPTYPE* type);
    ~APPDEBUG() override;  // gives the command buffer back to the system pool

    QV_ITEM_IDENTITY(APPDEBUG, "APPDEBUG", "APDG")

    // The command becomes "@" (when file) followed by text, cut to the buffer;
    // FALSE without a buffer or when the whole text did not fit.
    BBOOL SetCmd(const char* text, BBOOL file);
    // Runs the command or the command file; TRUE when every submitted line
    // succeeded. Runs on the debug thread.
    BBOOL RequestProc();
    // Submits one command as a scheduled request of the type.
    virtual BBOOL execAppRequest(BUFFER& command);

    // Gives the object a command buffer of size bytes from the system pool.
    BBOOL AllocCommand(int size);

    // Command files naming further files nest at most this deep.
    static const int MaxFileDepth = 8;

    BBOOL linkLevelGiven;
    long linkLevel;
    char fileName[256];  // the output file of generated requests
    volatile BBOOL stopFlag;  // cleared by the console before a run
    BUFFER command;
    APPTYPE* type;

private:
    BBOOL runFile(const char* name, int depth);
};

#pragma once
// The single fatal-error exit: diagnostics, the user's message and exit code 1.
#include "QvWindows.h"

#include "QvBase.h"

[[noreturn]] void _Task_Abend(const char* code, ULONG_PTR value);
[[noreturn]] void __pure_error_();
[[noreturn]] void AbendTestFunction(ULONG_PTR value);

// Codes.
#define ABEND_CNT101 "CNT101"  // chain or tree destroyed while holding entries
#define ABEND_CNT102 "CNT102"  // chain count negative at destruction
#define ABEND_CNT103 "CNT103"  // removal from an empty chain
#define ABEND_COM101 "COM101"  // listening link failed with no error receiver
#define ABEND_DEL101 "DEL101"  // plain delete; plain freeobj of a blocked object
#define ABEND_DEL102 "DEL102"  // release into the wrong kind of pool or allocator
#define ABEND_DEL103 "DEL103"  // pool block without its signature
#define ABEND_DEL104 "DEL104"  // buffer without a pool
#define ABEND_INI100 "INI100"  // configuration cannot be found or read
#define ABEND_INI102 "INI102"  // control thread cannot be created
#define ABEND_MEM101 "MEM101"  // buddy system cannot be built
#define ABEND_MEM102 "MEM102"  // released memory's header not valid for this pool
#define ABEND_NEW101 "NEW101"  // plain new of a blocked class or memory block
#define ABEND_NEW103 "NEW103"  // allocator made without sizes
#define ABEND_NEW104 "NEW104"  // size 0, or a cell larger than the item size
#define ABEND_OBJ101 "OBJ101"  // storable assigned
#define ABEND_OBJ102 "OBJ102"  // object or cell destroyed while linked
#define ABEND_OBJ103 "OBJ103"  // chain removal of a cell without object or not linked
#define ABEND_OBJ104 "OBJ104"  // linking a linked cell; tree removal of a wrong cell
#define ABEND_PRO101 "PRO101"  // profile read twice
#define ABEND_PTR101 "PTR101"  // required object missing
#define ABEND_PTR102 "PTR102"  // scatter-gather buffer without data
#define ABEND_PVF001 "PVF001"  // pure virtual call
#define ABEND_SEM101 "SEM101"  // lock wait failed
#define ABEND_SEM102 "SEM102"  // lock release refused
#define ABEND_SEM104 "SEM104"  // lock or event cannot be created
#define ABEND_SEM105 "SEM105"  // lock released by a thread not holding it
#define ABEND_SEM106 "SEM106"  // lock closed while held; iterator holding its lock destroyed
#define ABEND_STG101 "STG101"  // out of memory
#define ABEND_STG102 "STG102"  // out of memory for a generated body
#define ABEND_STR101 "STR101"  // stream not open or in error
#define ABEND_STR102 "STR102"  // stream destination set while open, or too small
#define ABEND_TBL101 "TBL101"  // field or row bound to a second table
#define ABEND_TST001 "TST001"  // test of the fatal exit

// Where the server root and the console join the fatal exit. Every member
// may be null; the library then skips that step.
struct TASKABENDHOOKS {
    // Entered on every call before anything else; firstEntry is FALSE once the
    // main thread has begun the diagnostics. Sets the server's closing flags.
    void (*enter)(BBOOL firstEntry);
    // On a worker thread: hands code and value to the main thread and parks
    // for ever; returns when it cannot (no server or console), and then the
    // worker carries on with the diagnostics itself.
    void (*handToMain)(const char* code, ULONG_PTR value);
    // On the main thread: wakes parked workers.
    void (*signal)();
    // The owner window of the message box.
    HWND (*ownerWindow)();
    // Writes the text to the system log.
    void (*writeLog)(const char* text);
    // Writes the trace table to a file; the library's own trace dump.
    BBOOL (*writeTrace)(TRACETABLE* trace, const char* fileName);
    // Stops the server and the console. handedOver: the abend came from a
    // parked worker, which may hold locks: release nothing that could wait.
    void (*terminate)(BBOOL handedOver);
};

// Installs the hooks (copied); null restores the defaults. Parts joining
// later read the current set first and change only their own members.
void SetTaskAbendHooks(const TASKABENDHOOKS* hooks);
void GetTaskAbendHooks(TASKABENDHOOKS* hooks);

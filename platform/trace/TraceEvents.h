#pragma once
// The trace's categories and the events of each, listed once: the trace calls
// use the names declared here, and the dump prints the texts of the same
// lists, so a call and its dump line cannot drift apart.
//
// An event list entry is X(name, number, text); a category entry is
// X(name, bit, text, event list). The dump keeps each list's order.

#define QV_TRACE_COMM_EVENTS(X)           \
    X(TRACE_COMM_RECEIVE, 1, "Receive")   \
    X(TRACE_COMM_TRANSMIT, 2, "Transmit") \
    X(TRACE_COMM_EVENT, 3, "Event")       \
    X(TRACE_COMM_STATUS, 4, "Status")

#define QV_TRACE_APP_EVENTS(X)     \
    X(TRACE_APP_EVENT, 1, "Event") \
    X(TRACE_APP_READ, 2, "Read")   \
    X(TRACE_APP_WRITE, 3, "Write") \
    X(TRACE_APP_CONVERT, 4, "Convert")

#define QV_TRACE_TASK_EVENTS(X)                       \
    X(TRACE_TASK_THREAD_STARTED, 7, "Thread Started") \
    X(TRACE_TASK_THREAD_STOPPED, 8, "Thread Stopped") \
    X(TRACE_TASK_THREAD_KILLED, 9, "Thread Killed")   \
    X(TRACE_TASK_EVENT_WAIT, 1, "Event Wait")         \
    X(TRACE_TASK_EVENT_WAKE, 2, "Event Wake")         \
    X(TRACE_TASK_EVENT_POST, 3, "Event Post")         \
    X(TRACE_TASK_POST_ERROR, 4, "Post Error")         \
    X(TRACE_TASK_MSG_POSTED, 10, "Msg Posted")        \
    X(TRACE_TASK_SEM_RESERVE, 5, "Sem. Reserve")      \
    X(TRACE_TASK_SEM_RELEASE, 6, "Sem. Release")

#define QV_TRACE_FUNCTION_EVENTS(X)       \
    X(TRACE_FUNCTION_CALLED, 1, "Called") \
    X(TRACE_FUNCTION_RETURN, 2, "Return") \
    X(TRACE_FUNCTION_EXECUTED, 3, "Executed")

#define QV_TRACE_MEMORY_EVENTS(X)                                  \
    X(TRACE_MEMORY_SYSTEM_ALLOC, 1, "System Alloc")                \
    X(TRACE_MEMORY_SYSTEM_FREE, 2, "System Free")                  \
    X(TRACE_MEMORY_CPP_ALLOC, 3, "c++_Alloc")                      \
    X(TRACE_MEMORY_CPP_FREE, 4, "c++_Free")                        \
    X(TRACE_MEMORY_SHARED_ALLOC, 5, "Shared_Alloc")                \
    X(TRACE_MEMORY_SHARED_FREE, 6, "Shared_Free")                  \
    X(TRACE_MEMORY_POOL_CREATE, 11, "Pool Create")                 \
    X(TRACE_MEMORY_POOL_DELETE, 12, "Pool Delete")                 \
    X(TRACE_MEMORY_ALLOC, 13, "Alloc")                             \
    X(TRACE_MEMORY_FREE, 14, "Free")                               \
    X(TRACE_MEMORY_BLOCK_ALLOC, 15, "Block Alloc")                 \
    X(TRACE_MEMORY_BLOCK_FREE, 16, "Block Free")                   \
    X(TRACE_MEMORY_BUFFER_ALLOC, 17, "Buffer Alloc")               \
    X(TRACE_MEMORY_BUFFER_FREE, 18, "Buffer Free")                 \
    X(TRACE_MEMORY_SHARED_BUFFER_ALLOC, 19, "Shared Buffer Alloc") \
    X(TRACE_MEMORY_SHARED_BUFFER_FREE, 20, "Shared Buffer Free")

#define QV_TRACE_BUDSYS_EVENTS(X)               \
    X(TRACE_BUDSYS_CREATE, 1, "Create")         \
    X(TRACE_BUDSYS_ADD_MEMORY, 2, "Add Memory") \
    X(TRACE_BUDSYS_ALLOC, 3, "Alloc")           \
    X(TRACE_BUDSYS_FREED, 4, "Freed")           \
    X(TRACE_BUDSYS_COMBINE, 5, "Combine")       \
    X(TRACE_BUDSYS_SPLIT, 6, "Split")           \
    X(TRACE_BUDSYS_AVAILABLE, 7, "Available")   \
    X(TRACE_BUDSYS_RESERVED, 8, "Reserved")

#define QV_TRACE_CACHE_EVENTS(X)           \
    X(TRACE_CACHE_ACCEPT, 1, "Accept")     \
    X(TRACE_CACHE_REMOVE, 2, "Remove")     \
    X(TRACE_CACHE_RETRIEVE, 3, "Retrieve") \
    X(TRACE_CACHE_READ, 4, "Read")         \
    X(TRACE_CACHE_WRITE, 5, "Write")       \
    X(TRACE_CACHE_ERROR, 6, "ERROR")

#define QV_TRACE_DDE_EVENTS(X)                                     \
    X(TRACE_DDE_ACKNOWLEDGED, 1, "Acknowledged")                   \
    X(TRACE_DDE_RECEIVED, 2, "Received")                           \
    X(TRACE_DDE_PROCESSED, 3, "Processed")                         \
    X(TRACE_DDE_EXECUTED, 4, "Executed")                           \
    X(TRACE_DDE_TRANSMITTED, 5, "Transmitted")                     \
    X(TRACE_DDE_TRANSMIT_FAILED, 6, "Transmit Failed")             \
    X(TRACE_DDE_ADVISE, 8, "Advise")                               \
    X(TRACE_DDE_UNADVISE, 9, "Unadvise")                           \
    X(TRACE_DDE_CONNECTION_TERMINATED, 7, "Connection Terminated") \
    X(TRACE_DDE_INITIATED, 10, "Initiated")

#define QV_TRACE_CATEGORIES(X)                                    \
    X(TRACE_COMM, 0x01, "COMM", QV_TRACE_COMM_EVENTS)             \
    X(TRACE_DDE, 0x80, "DDE", QV_TRACE_DDE_EVENTS)                \
    X(TRACE_TASK, 0x04, "TASK", QV_TRACE_TASK_EVENTS)             \
    X(TRACE_APP, 0x02, "APP", QV_TRACE_APP_EVENTS)                \
    X(TRACE_MEMORY, 0x10, "MEMORY", QV_TRACE_MEMORY_EVENTS)       \
    X(TRACE_BUDSYS, 0x20, "BUDSYS", QV_TRACE_BUDSYS_EVENTS)       \
    X(TRACE_FUNCTION, 0x08, "FUNCTION", QV_TRACE_FUNCTION_EVENTS) \
    X(TRACE_CACHE, 0x40, "CACHE", QV_TRACE_CACHE_EVENTS)

#define QV_TRACE_EVENT_CONSTANT(name, number, text) const unsigned short name = number;
#define QV_TRACE_CATEGORY_CONSTANTS(name, bit, text, events) \
    const unsigned short name = bit;                         \
    events(QV_TRACE_EVENT_CONSTANT)

QV_TRACE_CATEGORIES(QV_TRACE_CATEGORY_CONSTANTS)

#undef QV_TRACE_CATEGORY_CONSTANTS
#undef QV_TRACE_EVENT_CONSTANT

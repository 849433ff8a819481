// A thread ended by the platform (TerminateThread, ExitThread) unwinds its stack with a special
// exception that a catch-all must let through, or the process aborts. Written before every
// catch (...) of code that may run on a worker thread, in a function marked
// KITCOM_CATCHES_THREAD_END (the handler binds a reference to an exception that has no object,
// which the undefined-behaviour checker would report):
//
//     KITCOM_CATCHES_THREAD_END void F() { try { ... } KITCOM_LET_THREAD_END_THROUGH catch (...) { ... } }
#pragma once

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#define KITCOM_LET_THREAD_END_THROUGH                                                                        \
    catch (abi::__forced_unwind &)                                                                           \
    {                                                                                                        \
        throw;                                                                                               \
    }
#define KITCOM_CATCHES_THREAD_END __attribute__((no_sanitize("null")))
#else
#define KITCOM_LET_THREAD_END_THROUGH
#define KITCOM_CATCHES_THREAD_END
#endif

// A thread ended by the platform (TerminateThread, ExitThread) unwinds its stack with a special
// exception that a catch-all must let through, or the process aborts. Written before every
// catch (...) of code that may run on a worker thread:
//
//     try { ... } KITCOM_LET_THREAD_END_THROUGH catch (...) { ... }
#pragma once

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#define KITCOM_LET_THREAD_END_THROUGH                                                                        \
    catch (abi::__forced_unwind &)                                                                           \
    {                                                                                                        \
        throw;                                                                                               \
    }
#else
#define KITCOM_LET_THREAD_END_THROUGH
#endif

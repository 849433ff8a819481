// Failures inside shared test helpers, reported at the test line that called the helper, in the
// manner of Wine's ok_(file, line). A helper takes `kittest::Caller where = kittest::Caller::current()`
// as its last parameter, then checks with ExpectAt(where, ...) or puts a CallerTrace on its
// assertions.
#pragma once

#include <gtest/gtest.h>
#include <source_location>

namespace kittest
{
using Caller = std::source_location;

// A non-fatal failure at the caller's line when `result` is false; the result's truth.
inline bool ExpectAt(const Caller &where, const testing::AssertionResult &result)
{
    if (!result)
        ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << result.message();
    return static_cast<bool>(result);
}

// While it lives, every failure also names the caller's line.
class CallerTrace
{
  public:
    explicit CallerTrace(const Caller &where)
        : trace_(where.file_name(), static_cast<int>(where.line()), "called from here")
    {
    }

  private:
    testing::ScopedTrace trace_;
};

// An AssertionResult comparing two values, for ExpectAt.
template <class A, class B> testing::AssertionResult Equal(const A &expected, const B &actual)
{
    if (expected == actual)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "expected " << testing::PrintToString(expected) << ", got " << testing::PrintToString(actual);
}
} // namespace kittest

#include <gtest/gtest.h>
TEST(Install, Placeholder) {}

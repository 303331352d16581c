// Our round, sleep and distance share names with the C library and the
// standard library. With every public header of the library and the system
// headers included together, each call must still reach the intended function.
#include "ZENDatabase.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <list>
#include <type_traits>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// POSIX sleep(unsigned seconds) returns the unslept seconds; ours returns nothing.
static_assert(std::is_same_v<decltype(::sleep(0u)), unsigned int>);
static_assert(std::is_same_v<decltype(sleep(0u)), unsigned int>);
static_assert(std::is_same_v<decltype(sleep(0)), void>);
static_assert(std::is_same_v<decltype(sleep(0L)), void>);
static_assert(std::is_same_v<decltype(sleep(static_cast<short>(0))), void>);
// One argument: the C library; two: ours.
static_assert(std::is_same_v<decltype(round(0.5)), double>);
static_assert(std::is_same_v<decltype(round(0.5, 1)), double>);
// Iterators: std::distance (an integer); points: ours (a double).
static_assert(std::is_same_v<decltype(std::distance(std::declval<int*>(), std::declval<int*>())), std::ptrdiff_t>);
static_assert(std::is_same_v<decltype(distance(std::declval<CPoint>(), std::declval<CPoint>())), double>);

TEST(NameResolution, RoundFromLibraryAndToDecimals)
{
    EXPECT_EQ(round(2.5), 3.0);
    EXPECT_EQ(::round(-2.5), -3.0);
    EXPECT_EQ(std::round(2.4), 2.0);
    EXPECT_EQ(round(1.25, 1), 1.3);
    EXPECT_EQ(::round(1.25, 1), 1.3);
}

TEST(NameResolution, DistanceOfIteratorsAndPoints)
{
    const std::vector<int> v{1, 2, 3};
    const std::list<int> l{1, 2, 3, 4};
    EXPECT_EQ(std::distance(v.begin(), v.end()), 3);
    EXPECT_EQ(distance(v.begin(), v.end()), 3);  // found by argument-dependent lookup
    EXPECT_EQ(distance(l.begin(), l.end()), 4);
    EXPECT_EQ(distance(CPoint(0, 0), CPoint(3, 4)), 5.0);
    EXPECT_EQ(::distance(CPoint(1, 1), CPoint(4, 5)), 5.0);
}

TEST(NameResolution, SleepSecondsAndMilliseconds)
{
    EXPECT_EQ(::sleep(0u), 0u);
    sleep(1);   // one millisecond
    sleep(1L);
}

namespace with_std {
using namespace std;

TEST(NameResolution, UnderUsingNamespaceStd)
{
    const vector<int> v{1, 2, 3, 4, 5};
    EXPECT_EQ(distance(v.begin(), v.end()), 5);
    EXPECT_EQ(distance(CPoint(0, 0), CPoint(6, 8)), 10.0);
    EXPECT_EQ(round(2.5), 3.0);
    EXPECT_EQ(round(1.25, 1), 1.3);
    static_assert(is_same_v<decltype(sleep(0)), void>);
    static_assert(is_same_v<decltype(sleep(0u)), unsigned int>);
    EXPECT_EQ(*max_element(v.begin(), v.end()), 5);
}

} // namespace with_std

} // namespace

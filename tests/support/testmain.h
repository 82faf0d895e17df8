#pragma once

#include <QObject>

// Lets one test program per folder hold several test classes, one per file:
// each file ends with DUVE_TEST(ClassName) and the shared main runs them all.
using TestFactory = QObject *(*)();
bool registerTest(TestFactory factory);

#define DUVE_TEST(Class)                                                                   \
    static const bool registered##Class = registerTest([]() -> QObject * { return new Class; });

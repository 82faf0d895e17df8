#include "tests/support/testmain.h"

#include <QApplication>
#include <QTest>

#include <memory>
#include <vector>

static std::vector<TestFactory> &factories()
{
    static std::vector<TestFactory> list;
    return list;
}

bool registerTest(TestFactory factory)
{
    factories().push_back(factory);
    return true;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    for (TestFactory factory : factories()) {
        std::unique_ptr<QObject> test(factory());
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}

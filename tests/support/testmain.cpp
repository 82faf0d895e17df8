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

// "tst_x TestClass [qtest options and functions]" runs that class alone.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QByteArray only = argc > 1 && argv[1][0] != '-' ? QByteArray(argv[1]) : QByteArray();
    int failures = 0;
    bool ran = false;
    for (TestFactory factory : factories()) {
        std::unique_ptr<QObject> test(factory());
        if (only.isEmpty()) {
            failures += QTest::qExec(test.get(), argc, argv);
        } else if (only == test->metaObject()->className()) {
            argv[1] = argv[0];
            failures += QTest::qExec(test.get(), argc - 1, argv + 1);
            ran = true;
        }
    }
    if (!only.isEmpty() && !ran) {
        qWarning("No test class %s", only.constData());
        return 1;
    }
    return failures == 0 ? 0 : 1;
}

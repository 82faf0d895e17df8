#include "measure/answer.h"
#include "measure/notes.h"
#include "tests/support/frames.h"

#include <QTest>

Q_DECLARE_METATYPE(serial::LineErrors)

class TestAnswer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueText_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        // clang-format off
        QTest::newRow("1500") << 1500 << "1.5" << "1,5";
        QTest::newRow("7") << 7 << "0.007" << "0,007";
        QTest::newRow("250") << 250 << "0.25" << "0,25";
        QTest::newRow("10000") << 10000 << "10" << "10";
        QTest::newRow("0") << 0 << "0" << "0";
        QTest::newRow("12345, no group separator") << 12345 << "12.345" << "12,345";
        QTest::newRow("65535") << 65535 << "65.535" << "65,535";
        // clang-format on
    }

    void valueText()
    {
        QFETCH(int, raw);
        QTEST(measure::valueText(raw, QLocale(QLocale::English, QLocale::UnitedStates)), "english");
        QTEST(measure::valueText(raw, QLocale(QLocale::German, QLocale::Germany)), "german");
    }

    // Each kind of answer cut at every position, followed by the start of the
    // next: nothing is taken before the frame is whole, then the frame alone
    // where the tool knows its length, else everything once 7 bytes wait;
    // once the line is quiet, whatever waits.
    void blockLength_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("length"); // taken alone at this length; 0: everything
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        QTest::newRow("read answer") << V1Is1500 << 7;
        QTest::newRow("read answer, byte count FF") << hex("0103FF05DCBA8D") << 7;
        QTest::newRow("read answer, two registers") << hex("01030405DC0001FAC5") << 7;
        QTest::newRow("read answer, no register") << hex("0103002040") << 7;
        QTest::newRow("write echo") << hex("010600140BB8CE8C") << 8;
        QTest::newRow("exception") << hex("018302C0F1") << 5;
        QTest::newRow("exception, CRC does not fit") << hex("01830200000000") << 0;
        QTest::newRow("other function") << hex("01040205DC0000") << 0;
    }

    void blockLength()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, length);
        const QByteArray stream = frame + QByteArray::fromHex("0103");
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            const qsizetype taken = length ? (cut >= length ? length : 0) : (cut >= 7 ? cut : 0);
            QCOMPARE(measure::blockLength(stream.first(cut)), taken);
            QCOMPARE(measure::blockLength(stream.first(cut), true), taken ? taken : cut);
        }
    }

    // Linux's drivers count each kind, Windows only flags it; marks are Linux's "?".
    void lineErrorNote_data()
    {
        QTest::addColumn<serial::LineErrors>("errors");
        QTest::addColumn<QString>("note");
        const QString head = "the port reported line errors as these bytes came: ";
        const QString fix = "; check that the baud rate and the character format match the "
                            "module's, and the wiring";
        QTest::newRow("none") << serial::LineErrors{} << "";
        QTest::newRow("counted, with marks")
            << serial::LineErrors{.parity = 1, .framing = 2, .breaks = 1, .marked = 4}
            << head
                   + "1 parity error, 2 framing errors, 1 break, 4 bytes received in error, "
                     "each shown as ?"
                   + fix;
        QTest::newRow("marks only") << serial::LineErrors{.marked = 1}
                                    << head + "1 byte received in error, shown as ?" + fix;
        QTest::newRow("bytes lost, nothing to fix")
            << serial::LineErrors{.overruns = 2, .bufferFull = 1}
            << head + "2 overruns (bytes lost in the port), 1 byte lost to a full buffer";
        QTest::newRow("Windows' flags")
            << serial::LineErrors{.parity = 1, .overruns = 1, .counted = false}
            << "the port reported line errors as these bytes came (Windows tells which, not "
               "how many): parity errors, overruns (bytes lost in the port); a ? among them "
               "stands for a byte received with a parity error"
                   + fix;
    }

    void lineErrorNote()
    {
        QFETCH(serial::LineErrors, errors);
        QTEST(measure::lineErrorNote(errors), "note");
    }
};

QTEST_MAIN(TestAnswer)
#include "tst_answer.moc"

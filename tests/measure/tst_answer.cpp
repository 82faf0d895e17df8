#include "measure/answer.h"
#include "measure/notes.h"
#include "measure/step.h"
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
    void lineErrorText_data()
    {
        QTest::addColumn<serial::LineErrors>("errors");
        QTest::addColumn<QString>("text");
        const QString head = "line errors as these bytes came: check the baud rate, format and "
                             "wiring; ";
        QTest::newRow("none") << serial::LineErrors{} << "";
        QTest::newRow("counted, with marks")
            << serial::LineErrors{.parity = 1, .framing = 2, .breaks = 1, .marked = 4}
            << head
                   + "1 parity error, 2 framing errors, 1 break, 4 bytes received in error, "
                     "each shown as ?";
        QTest::newRow("bytes lost, nothing to fix")
            << serial::LineErrors{.overruns = 2, .bufferFull = 1}
            << "line errors as these bytes came; 2 overruns (bytes lost in the port), 1 byte "
               "lost to a full buffer";
        QTest::newRow("Windows' flags")
            << serial::LineErrors{.parity = 1, .overruns = 1, .counted = false}
            << head
                   + "parity errors, overruns (bytes lost in the port) (Windows tells which, not "
                     "how many); a ? among them stands for a byte with a parity error";
    }

    void lineErrorText()
    {
        QFETCH(serial::LineErrors, errors);
        QTEST(measure::lineErrorText(errors), "text");
    }

    // A log line shows about 75 characters after its time: the first 70 of every
    // kind of note say what happened to which request, and the first thing to check.
    void notesFitTheLog_data()
    {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QStringList>("words"); // each within the first 70 characters
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        const measure::Awaited v1 = measure::awaitedBy(ReadV1, 0);
        const measure::Awaited v2 = measure::awaitedBy(framed("010300080001"), 1);
        const measure::Awaited baud = measure::awaitedBy(framed("010600000503"), 8);
        const measure::Awaited format = measure::awaitedBy(framed("010600012600"), 9);
        const auto answer = [&](const QByteArray &block, const measure::Awaited &asked,
                                const QString &box, std::optional<measure::Awaited> earlier = {}) {
            measure::AnswerFacts facts;
            facts.shownIn = box;
            facts.earlier = earlier;
            return measure::answerNote(block, asked, facts).text;
        };
        // clang-format off
        QTest::newRow("no answer") << measure::noAnswerNote(v1) << QStringList{"V1", "no answer", "device 01", "check the Device ID"};
        QTest::newRow("no answer, noise came") << measure::noAnswerNote(v1, {true, {}}) << QStringList{"V1", "no answer", "only bytes forming none", "check baud rate"};
        QTest::newRow("no answer, new ID given") << measure::noAnswerNote(v1, {false, quint8(0x05)}) << QStringList{"V1", "no answer", "set Device ID to 05"};
        QTest::newRow("settings write unanswered") << measure::noAnswerNote(baud) << QStringList{"Setup Baudrate", "no answer", "may now use ID 05"};
        QTest::newRow("format write unanswered") << measure::noAnswerNote(format) << QStringList{"Setup Configure", "no answer", "may now use 8 data bits"};
        QTest::newRow("crossed") << measure::crossedNote(v1, v2, 300) << QStringList{"V2 sent, V1 unanswered", "wait for the answer before the next request"};
        QTest::newRow("out of step") << answer(V1Is1500, v2, "V2", v1) << QStringList{"V2 may be wrong", "V1's answer", "wait for each answer"};
        QTest::newRow("check bytes") << answer(hex("010302093BBF87"), v2, "V2") << QStringList{"V2 may be wrong", "check bytes", "FF C7", "check termination"};
        QTest::newRow("another device") << answer(framed("02030205DC"), v1, "V1") << QStringList{"V1 may be wrong", "device 02", "check the Device ID"};
        QTest::newRow("byte count") << answer(framed("01030405DC"), v1, "V1") << QStringList{"V1 may be wrong", "byte count 04", "check the register map"};
        QTest::newRow("exception 02") << answer(hex("018302C0F1"), v1, "") << QStringList{"V1", "exception 02", "illegal data address", "check the register map"};
        QTest::newRow("exception 0B") << answer(framed("01830B"), v1, "") << QStringList{"V1", "exception 0B", "check the target"};
        QTest::newRow("noise") << measure::noiseNote({}, "38400,n,8,1") << QStringList{"form no answer", "noise", "termination"};
        QTest::newRow("stray byte") << measure::strayNote(v1, hex("FF")) << QStringList{"V1's answer", "stray byte FF", "check the bias"};
        QTest::newRow("echo not followed") << measure::echoNotFollowedNote(baud, v1) << QStringList{"Setup Baudrate echoed while V1", "ID 05"};
        QTest::newRow("doubtful values") << measure::doubtfulValuesNote({{"V2", {"check bytes do not fit"}}, {"V4", {"from device 02"}}}) << QStringList{"V2, V4", "in doubt", "V2 check bytes"};
        QTest::newRow("reopened apart") << measure::reopenNote(baud, {"38400", "n", "8", "1"}, {"9600", "n", "8", "2"}) << QStringList{"reopened at 9600,n,8,2", "check Stop"};
        QTest::newRow("line errors") << measure::lineErrorText({.parity = 1}) << QStringList{"line errors", "check the baud rate"};
        // clang-format on
    }

    void notesFitTheLog()
    {
        QFETCH(QString, note);
        QFETCH(QStringList, words);
        for (const QString &word : words)
            QVERIFY2(note.left(70).contains(word), qPrintable(word + " not in: " + note.left(70)));
    }

    // Requests and answers on the module's time, in ms: "s" a request sent,
    // "a" an answer arriving. What each answer may be instead: the earlier
    // request named ("0" the first sent), or "-" while in step.
    void step_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("earlier");
        // clang-format off
        QTest::newRow("one after another's answer") << "s0 a5 s500 a505 s900 a905" << "- - -";
        QTest::newRow("crossed: each late answer")  << "s0 s200 a210 s400 a410 a610" << "0 1 -";
        QTest::newRow("after a no-answer note")     << "s0 s1200 a1500 s2400 a2700 a3900" << "0 1 -";
        QTest::newRow("a dropped answer, one note") << "s0 a5 s500 s2000 a2005 s2500 a2505" << "- 1 -";
        QTest::newRow("dropped before any answer")  << "s0 s2000 a2005 s8000 a8005" << "0 -";
        QTest::newRow("written off after 5 s")      << "s0 s6000 a6005" << "-";
        QTest::newRow("a slow module, still owed")  << "s0 a1500 s2000 s2100 a3500 a3600" << "- 1 -";
        // clang-format on
    }

    void step()
    {
        QFETCH(QString, events);
        measure::Step line;
        QStringList found;
        int sent = 0;
        for (const QString &event : events.split(' ')) {
            const qint64 at = event.mid(1).toLongLong();
            if (event.startsWith('s')) {
                measure::Awaited request;
                request.value = quint16(sent++); // a request's number, to tell them apart
                line.sent(request, at);
            } else {
                const auto earlier = line.answered(at);
                found << (earlier ? QString::number(earlier->request.value) : "-");
            }
        }
        QTEST(found.join(' '), "earlier");
    }
};

QTEST_MAIN(TestAnswer)
#include "tst_answer.moc"

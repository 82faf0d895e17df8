// The cost of one more line at the top of the traffic log, by the log's length.
#include "app/form1.h"
#include "modbus/logline.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

#include <benchmark/benchmark.h>

namespace {

const QString sendLine = modbus::logLine(QStringLiteral("2026/12/07 10:15:02"), u"send",
                                         QByteArray::fromHex("010300040001C5CB"));

QStringList noPorts() { return {}; }

void fill(Form1 &form, int lines)
{
    QString text;
    text.reserve(lines * sendLine.size());
    for (int i = 0; i < lines; ++i)
        text += sendLine;
    form.Text1->setPlainText(text);
}

// The tool's way: a block inserted at the start of the document.
void prependLine(benchmark::State &state)
{
    Form1 form(noPorts);
    form.show();
    fill(form, static_cast<int>(state.range(0)));
    for (auto _ : state)
        form.prependLog(sendLine);
    state.SetLabel(std::to_string(form.Text1->blockCount()) + " lines at the end");
}
BENCHMARK(prependLine)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

// A line with a time of its own, as at a read a second, and the log painted again: the new
// line drawn, the others moved down.
void showLine(benchmark::State &state)
{
    Form1 form(noPorts);
    form.show();
    fill(form, 1000);
    QCoreApplication::processEvents(); // the window shown
    int second = 0;
    for (auto _ : state) {
        form.prependLog(modbus::logLine(QStringLiteral("2026/12/07 10:15:%1").arg(++second),
                                        u"send", QByteArray::fromHex("010300040001C5CB")));
        form.Text1->viewport()->repaint();
    }
}
BENCHMARK(showLine)->Unit(benchmark::kMicrosecond);

// For comparison: the whole text rewritten with the new line in front.
void rewriteLog(benchmark::State &state)
{
    Form1 form(noPorts);
    form.show();
    fill(form, static_cast<int>(state.range(0)));
    for (auto _ : state)
        form.Text1->setPlainText(sendLine + form.Text1->toPlainText());
}
BENCHMARK(rewriteLog)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Iterations(20);

} // namespace

// What tessavane-batch tells the user while it runs: progress and the closing summary.
#include "batch/Progress.h"

#include <cmath>

namespace batch {

namespace {

QString duration(double seconds)
{
    const long long whole = std::llround(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

Progress::Progress(std::FILE *out, Mode mode, int total) : m_out(out), m_mode(mode), m_total(total)
{}

void Progress::fileWritten(const QString &input, const QString &output, double seconds)
{
    ++m_done;
    if (m_mode == Mode::Lines) {
        std::fprintf(m_out, "%d/%d %s -> %s\n", m_done, m_total, qUtf8Printable(input),
                     qUtf8Printable(output));
        std::fflush(m_out);
    } else if (m_mode == Mode::Terminal) {
        const double rate = seconds > 0 ? m_done / seconds : 0;
        const double left = rate > 0 ? (m_total - m_done) / rate : 0;
        const QString line = QStringLiteral("%1/%2 files  %3 files/s  %4 left")
                                 .arg(m_done)
                                 .arg(m_total)
                                 .arg(rate, 0, 'f', 1)
                                 .arg(duration(left));
        // Spaces wipe what a longer earlier line left behind.
        const int pad = m_lineLength > line.size() ? m_lineLength - int(line.size()) : 0;
        std::fprintf(m_out, "\r%s%*s", qUtf8Printable(line), pad, "");
        std::fflush(m_out);
        m_lineLength = int(line.size());
    }
}

void Progress::endLine()
{
    if (m_lineLength > 0) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_lineLength = 0;
    }
}

void Progress::summary(int written, int failed, double seconds, const QString &stopReason)
{
    if (m_mode == Mode::Quiet)
        return;
    endLine();
    std::fprintf(m_out, "Written %d of %d files, %d failed, %.1f s%s%s\n", written, m_total, failed,
                 seconds, stopReason.isEmpty() ? "" : "; ", qUtf8Printable(stopReason));
    std::fflush(m_out);
}

} // namespace batch

// What tessavane-batch tells the user while it runs: progress and the closing summary.
#pragma once

#include <QString>

#include <cstdio>

namespace batch {

// Terminal: one line, rewritten after each file, with files done of total, rate and time
// left. Lines: one plain line per file written (for logs and pipes). Quiet: nothing.
// Messages about failed files go elsewhere (standard error); call endLine() before one, so
// it does not land in the middle of the progress line.
class Progress
{
  public:
    enum class Mode { Terminal, Lines, Quiet };

    Progress(std::FILE *out, Mode mode, int total);

    // After each file written; `seconds` is the time since the run started.
    void fileWritten(const QString &input, const QString &output, double seconds);
    // Ends the progress line, if one is showing.
    void endLine();
    void summary(int written, int failed, double seconds, const QString &stopReason);

  private:
    std::FILE *m_out;
    Mode m_mode;
    int m_total;
    int m_done = 0;
    int m_lineLength = 0;
};

} // namespace batch

// tessavane-batch --update.
#include "batch/SetUpdate.h"

#include "platform/Error.h"
#include "platform/FileNames.h"
#include "texset/DurableOutput.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace batch {

namespace {

QString shown(const std::string &name)
{
    return platform::decodeFileName(QByteArrayView(name.data(), qsizetype(name.size())));
}

} // namespace

SetUpdate::SetUpdate(const std::filesystem::path &destination,
                     std::vector<texset::UpdateTile> tiles,
                     const std::vector<texset::SeasonSetting> &seasons, bool dryRun,
                     const std::function<void()> &waiting)
    : m_tiles(std::move(tiles)), m_seasons(seasons), m_destination(destination),
      m_program(texset::currentProgram())
{
    m_lock.emplace(destination,
                   dryRun ? texset::ManifestLock::Mode::Write : texset::ManifestLock::Mode::Update,
                   waiting);
    const texset::LoadedManifest manifest = texset::readManifest(destination, m_program);
    m_plan = texset::planUpdate(m_tiles, m_seasons, manifest, destination, texset::NoiseStates{1});
}

int SetUpdate::tilesToWrite() const
{
    int count = 0;
    for (const texset::PlannedTile &tile : m_plan.tiles)
        count += tile.writes();
    return count;
}

void SetUpdate::printPlan(std::FILE *out) const
{
    if (!m_plan.fullRun.empty())
        std::fprintf(out, "%s: every output would be written\n", m_plan.fullRun.c_str());
    for (std::size_t i = 0; i < m_tiles.size(); ++i)
        for (std::size_t k = 0; k < m_seasons.size(); ++k)
            if (m_plan.tiles[i].outputs[k] != texset::Reason::UpToDate)
                std::fprintf(out, "would write %s (%s)\n",
                             qUtf8Printable(shown(m_tiles[i].outputNames[k])),
                             texset::reasonText(m_plan.tiles[i].outputs[k]));
    for (const texset::PlannedRemoval &removal : m_plan.removals)
        std::fprintf(out, "would remove %s (source removed)\n",
                     qUtf8Printable(shown(removal.record.output)));
    std::fprintf(out, "Would write %zu outputs, remove %zu; %zu up to date\n", m_plan.writes,
                 m_plan.removals.size(), m_plan.upToDate);
    std::fflush(out);
}

void SetUpdate::begin()
{
    if (!m_plan.recordsChanged)
        return; // an update with nothing to do writes nothing
    for (const texset::PlannedRemoval &removal : m_plan.removals)
        if (::unlink(removal.path.c_str()) != 0 && errno != ENOENT)
            throw platform::Error(removal.path.string() +
                                  ": cannot remove: " + std::strerror(errno));
    if (!m_plan.removals.empty())
        texset::flushFolder(m_destination);
    m_writer.emplace(m_destination, m_program, m_plan.kept);
}

void SetUpdate::shape(std::size_t index, texset::TileRequest &request) const
{
    const texset::PlannedTile &tile = m_plan.tiles[index];
    request.write.clear();
    for (const texset::Reason reason : tile.outputs)
        request.write.push_back(reason != texset::Reason::UpToDate);
    request.draws = tile.draws;
}

QString SetUpdate::written(const texset::TileOutcome &outcome)
{
    const texset::UpdateTile &tile = m_tiles[outcome.index];
    const texset::PlannedTile &planned = m_plan.tiles[outcome.index];
    std::vector<texset::OutputRecord> records;
    QStringList names;
    for (std::size_t k = 0; k < m_seasons.size(); ++k) {
        const texset::Reason reason = planned.outputs[k];
        if (reason == texset::Reason::UpToDate)
            continue;
        ++m_writtenFor[reason];
        names << QStringLiteral("%1 (%2)").arg(shown(tile.outputNames[k]),
                                               QString::fromUtf8(texset::reasonText(reason)));
        if (planned.identity)
            records.push_back(texset::recordOf(tile, k, m_seasons[k], *planned.identity, outcome));
    }
    if (m_writer && !records.empty())
        m_writer->append(records);
    return names.join(QStringLiteral(", "));
}

void SetUpdate::finish()
{
    if (m_writer)
        m_writer->close();
}

QString SetUpdate::summaryLine() const
{
    QStringList written;
    for (const auto &[reason, count] : m_writtenFor)
        written << QStringLiteral("%1 %2").arg(count).arg(
            QString::fromUtf8(texset::reasonText(reason)));
    QString line =
        QStringLiteral("Up to date: %1 outputs; written: %2")
            .arg(m_plan.upToDate)
            .arg(written.isEmpty() ? QStringLiteral("none") : written.join(QStringLiteral(", ")));
    if (!m_plan.removals.empty())
        line += QStringLiteral("; removed: %1 source removed").arg(m_plan.removals.size());
    return line;
}

} // namespace batch

// What an update of a texture set writes, and why.
#include "texset/UpdatePlan.h"

#include "convlib/FileIo.h"
#include "texset/TileConversion.h"

#include <algorithm>
#include <exception>
#include <set>

#include <sys/stat.h>

namespace texset {

namespace {

// The tile's identity, from one read of its bytes; none when it cannot be read.
std::optional<SourceIdentity> identityOf(const std::filesystem::path &texture)
{
    try {
        const std::optional<FileStamp> stamp = stampOf(texture);
        if (!stamp)
            return std::nullopt;
        const std::vector<std::uint8_t> bytes = kovar::readFileBytes(texture.string());
        return SourceIdentity{bytes.size(), stamp->mtimeNs, contentHash(bytes)};
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

const OutputRecord *recordFor(const LoadedManifest &manifest, const std::string &output,
                              season::Season season)
{
    const auto found = manifest.records.find(output);
    return found != manifest.records.end() && found->second.season == season ? &found->second
                                                                             : nullptr;
}

// The draws the records give, when every noisy season's record is of this content and
// strength.
std::optional<NoiseDraws> recordedDraws(const UpdateTile &tile,
                                        const std::vector<SeasonSetting> &seasons,
                                        const LoadedManifest &manifest,
                                        const SourceIdentity &identity)
{
    NoiseDraws draws{};
    for (std::size_t k = 0; k < seasons.size(); ++k) {
        const std::optional<Generator> generator = generatorOf(seasons[k].season);
        if (!generator)
            continue;
        const OutputRecord *record = recordFor(manifest, tile.outputNames[k], seasons[k].season);
        if (!record || !record->identity.sameContent(identity) ||
            record->strength != seasons[k].adjustment)
            return std::nullopt;
        draws[*generator] = record->draws;
    }
    return draws;
}

} // namespace

const char *reasonText(Reason reason)
{
    switch (reason) {
    case Reason::UpToDate:
        return "up to date";
    case Reason::FullRun:
        return "full run";
    case Reason::New:
        return "new";
    case Reason::SourceChanged:
        return "source changed";
    case Reason::StrengthChanged:
        return "strength changed";
    case Reason::StartMoved:
        return "snow start moved";
    case Reason::OutputMissing:
        return "output missing";
    case Reason::OutputChanged:
        return "output changed";
    case Reason::Unreadable:
        return "cannot be read";
    }
    return "";
}

bool PlannedTile::writes() const
{
    return std::any_of(outputs.begin(), outputs.end(),
                       [](Reason r) { return r != Reason::UpToDate; });
}

UpdatePlan planUpdate(const std::vector<UpdateTile> &tiles,
                      const std::vector<SeasonSetting> &seasons, const LoadedManifest &manifest,
                      const std::filesystem::path &destination, NoiseStates start)
{
    UpdatePlan plan;
    plan.fullRun = manifest.problem;
    plan.recordsChanged = true;
    if (!plan.fullRun.empty()) {
        for (const UpdateTile &tile : tiles) {
            PlannedTile planned;
            planned.identity = identityOf(tile.texture);
            planned.outputs.assign(seasons.size(), Reason::FullRun);
            plan.writes += seasons.size();
            plan.tiles.push_back(std::move(planned));
        }
        return plan;
    }

    plan.recordsChanged = false;
    TileConversion conversion;
    NoiseStates states = start;
    std::set<std::string> listed;
    for (const UpdateTile &tile : tiles) {
        listed.insert(tile.outputNames.begin(), tile.outputNames.end());
        PlannedTile planned;
        planned.identity = identityOf(tile.texture);
        if (planned.identity)
            planned.draws = recordedDraws(tile, seasons, manifest, *planned.identity);
        if (planned.identity && !planned.draws) {
            try {
                conversion.load(tile.texture);
                NoiseDraws draws{};
                for (const SeasonSetting &setting : seasons)
                    countDraws(draws, conversion, setting.season, setting.adjustment);
                planned.draws = draws;
            } catch (const std::exception &) {
                planned.identity.reset(); // the set reads it again and reports why
            }
        }
        if (!planned.identity) {
            // Counted as the set counts it: a tile that cannot be read draws nothing.
            planned.outputs.assign(seasons.size(), Reason::Unreadable);
            plan.writes += seasons.size();
            plan.recordsChanged = true;
            plan.tiles.push_back(std::move(planned));
            continue;
        }
        const NoiseStates tileStart = states;
        states = statesAfter(states, *planned.draws);

        for (std::size_t k = 0; k < seasons.size(); ++k) {
            const SeasonSetting &setting = seasons[k];
            const OutputRecord *record = recordFor(manifest, tile.outputNames[k], setting.season);
            const std::optional<Generator> generator = generatorOf(setting.season);
            Reason reason = Reason::UpToDate;
            std::optional<FileStamp> stamp;
            if (!record)
                reason = Reason::New;
            else if (!record->identity.sameContent(*planned.identity))
                reason = Reason::SourceChanged;
            else if (record->strength != setting.adjustment)
                reason = Reason::StrengthChanged;
            else if (generator && record->start != tileStart[*generator])
                reason = Reason::StartMoved;
            else if (!(stamp = stampOf(tile.outputs[k])))
                reason = Reason::OutputMissing;
            else if (!(*stamp == record->stamp))
                reason = Reason::OutputChanged;
            planned.outputs.push_back(reason);
            if (reason != Reason::UpToDate) {
                ++plan.writes;
                plan.recordsChanged = true;
                continue;
            }
            ++plan.upToDate;
            OutputRecord kept = *record;
            if (kept.identity.mtimeNs != planned.identity->mtimeNs || kept.source != tile.name) {
                kept.identity = *planned.identity;
                kept.source = tile.name;
                plan.recordsChanged = true;
            }
            plan.kept.push_back(std::move(kept));
        }
        plan.tiles.push_back(std::move(planned));
    }

    // Records of other seasons stay; those of this set's seasons whose tile is gone go, and
    // their outputs with them when nothing else has touched them since.
    for (const auto &entry : manifest.records) {
        const std::string &name = entry.first;
        const OutputRecord &record = entry.second;
        if (listed.count(name))
            continue;
        const bool ofThisSet =
            std::any_of(seasons.begin(), seasons.end(),
                        [&](const SeasonSetting &s) { return s.season == record.season; });
        if (!ofThisSet) {
            plan.kept.push_back(record);
            continue;
        }
        plan.recordsChanged = true;
        const std::filesystem::path path = destination / name;
        if (stampOf(path) == std::optional<FileStamp>(record.stamp))
            plan.removals.push_back({record, path});
    }
    return plan;
}

OutputRecord recordOf(const UpdateTile &tile, std::size_t output, const SeasonSetting &setting,
                      const SourceIdentity &identity, const TileOutcome &outcome)
{
    OutputRecord record;
    record.output = tile.outputNames[output];
    record.source = tile.name;
    record.identity = identity;
    record.season = setting.season;
    record.strength = setting.adjustment;
    if (const std::optional<Generator> generator = generatorOf(setting.season)) {
        record.start = outcome.start[*generator];
        record.draws = outcome.draws[*generator];
    }
    record.stamp = stampOf(tile.outputs[output]).value_or(FileStamp{});
    return record;
}

} // namespace texset

// tessavane-batch preview: a PNG of one tile's seasons side by side, to judge strengths by eye.
#include "batch/PreviewCommand.h"

#include "batch/BatchCommand.h"
#include "batch/BatchOptions.h"
#include "platform/FileNames.h"
#include "preview/SeasonPreview.h"
#include "season/Adjustment.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>

#include <iterator>

namespace batch {

namespace {

struct Strength
{
    const char *option;
    season::Season season;
    int lowest;
    int highest;
    int fallback;
};

const Strength kStrengths[] = {
    {"snow", season::Season::Winter, season::lowestAdjustment, season::highestSnowThreshold,
     season::defaultSnowThreshold},
    {"fall", season::Season::Fall, season::lowestAdjustment, season::highestFallAmount,
     season::defaultFallAmount},
    {"spring", season::Season::Spring, season::lowestSpringAmount, season::highestSpringAmount,
     season::defaultSpringAmount},
    {"hard-snow", season::Season::HardWinter, season::lowestHardWinterThreshold,
     season::highestHardWinterThreshold, season::defaultHardWinterThreshold},
};
constexpr int kStrengthCount = int(std::size(kStrengths));

} // namespace

int runPreviewCommand(const QStringList &arguments, std::FILE *, std::FILE *err)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        std::fprintf(err, "tessavane-batch: preview: needs the GUI module (no QGuiApplication)\n");
        return SomeFailed;
    }
    try {
        QCommandLineParser parser;
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        std::vector<QCommandLineOption> options;
        for (const Strength &s : kStrengths)
            options.emplace_back(QString::fromLatin1(s.option), QString(), QStringLiteral("value"));
        const QCommandLineOption sweep(QStringLiteral("sweep"), QString(), QStringLiteral("name"));
        for (const auto &o : options)
            parser.addOption(o);
        parser.addOption(sweep);
        if (!parser.parse(QStringList{QStringLiteral("tessavane-batch")} + arguments))
            throw UsageError(parser.errorText().toStdString());

        int strengths[kStrengthCount];
        for (int k = 0; k < kStrengthCount; ++k)
            strengths[k] =
                parser.isSet(options[k])
                    ? season::truncateAdjustment(parseAdjustment(
                          QString::fromLatin1(kStrengths[k].option), parser.value(options[k]),
                          kStrengths[k].lowest, kStrengths[k].highest))
                    : kStrengths[k].fallback;

        QStringList positional = parser.positionalArguments();
        std::vector<preview::Panel> panels{{std::nullopt, 0}};
        if (parser.isSet(sweep)) {
            const QString name = parser.value(sweep).toLower();
            std::optional<season::Season> swept;
            if (name == QLatin1String("snow") || name == QLatin1String("winter"))
                swept = season::Season::Winter;
            else if (name == QLatin1String("fall"))
                swept = season::Season::Fall;
            else if (name == QLatin1String("spring"))
                swept = season::Season::Spring;
            else if (name == QLatin1String("hardwinter"))
                swept = season::Season::HardWinter;
            else
                throw UsageError(QStringLiteral("--sweep: unknown strength \"%1\": use snow, fall, "
                                                "spring or hardwinter")
                                     .arg(parser.value(sweep))
                                     .toStdString());
            if (positional.isEmpty())
                throw UsageError("--sweep: expected NAME FROM:TO:STEP");
            std::vector<int> strengths;
            try {
                strengths = preview::parseSweep(positional.takeFirst());
            } catch (const platform::Error &e) {
                throw UsageError(std::string("--sweep: ") + e.what());
            }
            for (int v : strengths)
                panels.push_back({swept, v});
        } else {
            panels.push_back({season::Season::Winter, strengths[0]});
            panels.push_back({season::Season::Fall, strengths[1]});
            panels.push_back({season::Season::Spring, strengths[2]});
            panels.push_back({season::Season::HardWinter, strengths[3]});
        }
        if (positional.size() < 2)
            throw UsageError(QStringLiteral("preview: expected TILE... OUT.png, got %1 argument%2")
                                 .arg(positional.size())
                                 .arg(positional.size() == 1 ? "" : "s")
                                 .toStdString());
        const QString out = positional.takeLast();
        if (!out.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
            throw UsageError(QStringLiteral("preview: the picture \"%1\" must be named *.png "
                                            "(the last argument is the one written)")
                                 .arg(platform::displayFileName(out))
                                 .toStdString());
        if (positional.size() == 1) {
            preview::writePng(
                preview::renderPreview(preview::readSummerTile(positional[0]), panels), out);
        } else {
            std::vector<preview::NamedTile> tiles;
            for (const QString &path : positional)
                tiles.push_back({platform::displayFileName(QFileInfo(path).fileName()),
                                 preview::readSummerTile(path)});
            preview::writePng(preview::renderContactSheet(tiles, panels), out);
        }
        return AllWritten;
    } catch (const UsageError &e) {
        std::fprintf(err, "tessavane-batch: %s (see --help)\n", e.what());
        return BadUsage;
    } catch (const std::exception &e) {
        std::fprintf(err, "tessavane-batch: %s\n", e.what());
        return SomeFailed;
    }
}

} // namespace batch

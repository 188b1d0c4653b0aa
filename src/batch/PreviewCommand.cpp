// tessavane-batch preview: a PNG of one tile's seasons side by side, to judge strengths by eye.
#include "batch/PreviewCommand.h"

#include "batch/BatchCommand.h"
#include "batch/BatchOptions.h"
#include "platform/FileNames.h"
#include "preview/SeasonPreview.h"
#include "season/Adjustment.h"
#include "season/SeasonTable.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <span>

namespace batch {

namespace {

// The names --sweep takes: each season's strength option, and "winter" for snow.
QString sweepNames()
{
    QStringList names;
    for (const season::SeasonRow &row : season::seasonTable())
        names << QString::fromLatin1(row.option);
    names << QString::fromLatin1(season::seasonRow(season::Season::Winter).command);
    return names.join(QStringLiteral(", "));
}

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
        for (const season::SeasonRow &row : season::seasonTable())
            options.emplace_back(QString::fromLatin1(row.option), QString(),
                                 QStringLiteral("value"));
        const QCommandLineOption sweep(QStringLiteral("sweep"), QString(), QStringLiteral("name"));
        for (const auto &o : options)
            parser.addOption(o);
        parser.addOption(sweep);
        // The strengths of a sweep follow its name; taken out before the options are read, a
        // negative start ("--sweep snow -20:40:20") is not read as an option.
        QStringList rest = arguments;
        std::optional<QString> sweepRange;
        for (qsizetype k = 0; k < rest.size(); ++k) {
            const QString &word = rest[k];
            if (word == QLatin1String("--"))
                break;
            const bool joined = word.startsWith(QLatin1String("--sweep=")) ||
                                word.startsWith(QLatin1String("-sweep="));
            const bool apart = word == QLatin1String("--sweep") || word == QLatin1String("-sweep");
            const qsizetype at = joined ? k + 1 : (apart ? k + 2 : -1);
            if (at >= 0 && at < rest.size()) {
                sweepRange = rest.takeAt(at);
                break;
            }
        }
        if (!parser.parse(QStringList{QStringLiteral("tessavane-batch")} + rest))
            throw UsageError(parser.errorText().toStdString());

        const std::span<const season::SeasonRow> table = season::seasonTable();
        std::vector<int> strengths;
        for (std::size_t k = 0; k < table.size(); ++k)
            strengths.push_back(parser.isSet(options[k])
                                    ? season::truncateAdjustment(
                                          parseAdjustment(QString::fromLatin1(table[k].option),
                                                          parser.value(options[k]), table[k].lowest,
                                                          table[k].highest))
                                    : table[k].defaultStrength);

        QStringList positional = parser.positionalArguments();
        std::vector<preview::Panel> panels{{std::nullopt, 0}};
        if (parser.isSet(sweep)) {
            const std::string name = parser.value(sweep).toStdString();
            const season::SeasonRow *swept = season::seasonByOption(name);
            if (!swept)
                swept = season::seasonByCommand(name);
            if (!swept)
                throw UsageError(QStringLiteral("--sweep: unknown strength \"%1\": use %2")
                                     .arg(parser.value(sweep), sweepNames())
                                     .toStdString());
            if (!sweepRange)
                throw UsageError("--sweep: expected NAME FROM:TO:STEP");
            std::vector<int> sweptStrengths;
            try {
                sweptStrengths = preview::parseSweep(*sweepRange, swept->lowest, swept->highest);
            } catch (const platform::Error &e) {
                throw UsageError(std::string("--sweep: ") + e.what());
            }
            for (int v : sweptStrengths)
                panels.push_back({swept->season, v});
        } else {
            for (std::size_t k = 0; k < table.size(); ++k)
                panels.push_back({table[k].season, strengths[k]});
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
        preview::writePreview(std::vector<QString>(positional.begin(), positional.end()), panels,
                              out);
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

#include "settings/StoredSettings.h"

#include "season/Adjustment.h"
#include "season/SeasonTable.h"

#include <algorithm>

namespace settings {

namespace {

const QString sourceName = QStringLiteral("Texture");
const QString destinationName = QStringLiteral("Texture1");

// A season's value name is the season table's: the table says which seasons the window keeps.
QString storedName(season::Season season)
{
    return QString::fromLatin1(season::seasonRow(season).storedKey);
}

} // namespace

const QString StoredSettings::section = QStringLiteral("Frostane");
const QString StoredSettings::summerMask = QStringLiteral("???????????????su.bmp");
// The arrows never go below 0; a typed value may, down to the edit box's lowest.
const Adjustment StoredSettings::winter = {storedName(season::Season::Winter),
                                           season::defaultSnowThreshold, season::lowestAdjustment,
                                           season::highestSnowThreshold, 0};
const Adjustment StoredSettings::fall = {storedName(season::Season::Fall),
                                         season::defaultFallAmount, season::lowestAdjustment,
                                         season::highestFallAmount, 0};

const Adjustment *StoredSettings::adjustmentOf(season::Season season)
{
    switch (season) {
    case season::Season::Winter:
        return &winter;
    case season::Season::Fall:
        return &fall;
    default:
        return nullptr;
    }
}

StoredSettings::StoredSettings(const QString &filePath) : m_store(filePath) {}

QString StoredSettings::sourceFolder(const QString &def)
{
    return m_store.ReadString(section, sourceName, def);
}

QString StoredSettings::destinationFolder(const QString &def)
{
    return m_store.ReadString(section, destinationName, def);
}

int StoredSettings::adjustment(const Adjustment &which)
{
    return m_store.ReadInteger(section, which.name, which.defaultValue);
}

int StoredSettings::adjustmentInRange(const Adjustment &which)
{
    return std::clamp(adjustment(which), which.lowest, which.highest);
}

void StoredSettings::setSourceFolder(const QString &folder)
{
    m_store.WriteString(section, sourceName, folder);
}

void StoredSettings::setDestinationFolder(const QString &folder)
{
    m_store.WriteString(section, destinationName, folder);
}

void StoredSettings::setAdjustment(const Adjustment &which, int value)
{
    m_store.WriteInteger(section, which.name, value);
}

void StoredSettings::release()
{
    m_store.release();
}

} // namespace settings

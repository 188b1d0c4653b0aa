// The settings the window keeps between runs, and that tessavane-batch reads: the source and
// destination folders and the two adjustments, in one section of the per-user settings store.
#pragma once

#include "platform/SettingsStore.h"
#include "season/Season.h"

#include <QString>

namespace settings {

// One stored adjustment: its value name, its default, the range its edit box holds a typed
// value to, and the range its arrows step through.
struct Adjustment
{
    QString name;
    int defaultValue;
    int lowest;
    int highest;
    int lowestStep;
};

class StoredSettings
{
  public:
    // The section that holds every value.
    static const QString section;
    // The names of summer textures, which the window lists and the batch converts.
    static const QString summerMask;
    static const Adjustment winter; // snow setting
    static const Adjustment fall;   // browning amount
    // The stored adjustment of a season the window makes; null for the others.
    static const Adjustment *adjustmentOf(season::Season season);

    // Opens the store at filePath without creating anything; throws platform::Error naming
    // the file when it exists but cannot be read.
    explicit StoredSettings(const QString &filePath);

    // The folders; def when none is stored (an empty stored text reads as empty).
    QString sourceFolder(const QString &def);
    QString destinationFolder(const QString &def);
    // The stored value as it is (which may lie outside the range), or its default.
    int adjustment(const Adjustment &which);
    // The stored value held to [lowest, highest].
    int adjustmentInRange(const Adjustment &which);

    // Each write replaces the file atomically and throws platform::Error when it cannot.
    void setSourceFolder(const QString &folder);
    void setDestinationFolder(const QString &folder);
    void setAdjustment(const Adjustment &which, int value);
    // Closes the store; reading or writing afterwards throws platform::Error.
    void release();

  private:
    platform::SettingsStore m_store;
};

} // namespace settings

// The per-user settings store: sections of named text values under one key, kept in a
// registry export file that a person can read and regedit can import.
#pragma once

#include "platform/RegFile.h"

#include <QString>

#include <optional>

namespace platform {

// The store key (default "\Software\KT") lives under HKEY_CURRENT_USER; each section is a
// subkey of it and each setting a value of that subkey. Every write reads the file afresh,
// changes the one value and replaces the file atomically, so nothing else in it is lost and
// a change another program made meanwhile is kept.
class SettingsStore
{
  public:
    // ${XDG_CONFIG_HOME:-$HOME/.config}/KT/user.reg
    static QString defaultFilePath();

    // Opens the store without creating anything; throws Error naming the file (and the line)
    // when the file exists but cannot be read or parsed.
    explicit SettingsStore(const QString &filePath,
                           const QString &keyPath = QStringLiteral("\\Software\\KT"));

    QString filePath() const { return m_filePath; }

    // The stored text; def when the section or the value is missing. Throws
    // Error("Invalid data type for '<name>'") for a value that is not text.
    QString ReadString(const QString &section, const QString &name, const QString &def);
    // The stored text read as a number (leading spaces, optional sign, "$" or "0x" for
    // hexadecimal); def when the value is missing or its text is no 32-bit number.
    int ReadInteger(const QString &section, const QString &name, int def);
    // Sets a text value, creating the file, its folder and the section as needed. Throws
    // Error("Failed to create key <section>: ...") when the section was missing, else
    // Error("Failed to set data for '<name>': ..."); the file then stays as it was.
    void WriteString(const QString &section, const QString &name, const QString &value);
    void WriteInteger(const QString &section, const QString &name, int value);
    // Closes the store; reading or writing afterwards throws Error.
    void release();

  private:
    QString sectionKey(const QString &section) const;
    const RegFile *document() const;
    void write(const QString &section, const RegValue &value);

    QString m_filePath;
    QString m_keyPath;
    std::optional<RegFile> m_file; // empty when the file does not exist
    bool m_released = false;
};

} // namespace platform

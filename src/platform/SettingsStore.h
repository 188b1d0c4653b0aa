// The per-user settings store: sections of named text values under one key, kept in a
// registry export file that a person can read and regedit can import.
#pragma once

#include "platform/RegFile.h"

#include <QString>

#include <functional>
#include <optional>

namespace platform {

// The store key (default "\Software\KT") lives under HKEY_CURRENT_USER; each section is a
// subkey of it and each setting a value of that subkey. Every write reads the file afresh,
// changes the one value and replaces the file atomically, so nothing else in it is lost and
// a change another program made meanwhile is kept.
//
// A "REGEDIT4" file holds only the characters of the Windows code page. A write whose value
// (a folder name such as "Łódź") it cannot hold writes the whole file anew in the Unicode
// form, as a new file is written, every other key, value and comment kept; the store says so
// once through its notice handler.
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

    // Receives the notice that the file was written anew in another form. The default passes
    // it as an Error to the error sink (reportError), which shows it to the user.
    using NoticeHandler = std::function<void(const QString &notice)>;
    void setNoticeHandler(NoticeHandler handler);
    // The last such notice of this store; empty when there was none.
    QString notice() const { return m_notice; }

  private:
    QString sectionKey(const QString &section) const;
    const RegFile *document() const;
    void write(const QString &section, const RegValue &value);

    QString m_filePath;
    QString m_keyPath;
    std::optional<RegFile> m_file; // empty when the file does not exist
    bool m_released = false;
    NoticeHandler m_noticeHandler;
    QString m_notice;
};

} // namespace platform

#pragma once

#include "util/TOverride.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class TRegistryKey;

// The per-user settings store: keys addressed by absolute paths such as
// "\Software\Tollmark\Brevant Professional\Global" hold named values that keep their
// type (a 32-bit integer, a string, an unexpanded string, bytes), so a value read with
// the wrong kind is recognised as unusable. Key paths and value names compare without
// regard to case.
//
// The store lives in one UTF-8 text file. A store object reads the file when it is
// created and never fails doing so: a missing, unreadable, oversized or corrupt file
// reads as empty, and a damaged line loses only itself. Changes stay in memory until
// Save(), which merges them into the file as it is then and replaces it atomically.
class TRegistryStore
{
public:
    // Value types, numbered as the registry numbers them.
    enum TValueType : uint32_t
    {
        rtNone = 0,
        rtString = 1,
        rtExpandString = 2,
        rtBinary = 3,
        rtDWord = 4
    };

    struct TValue
    {
        uint32_t Type = rtNone;
        QString Text;       // rtString, rtExpandString
        uint32_t DWord = 0; // rtDWord
        QByteArray Bytes;   // rtBinary, rtNone and any other type

        bool operator==(const TValue&) const = default;
    };

    // Opens the store in FilePath().
    TRegistryStore();
    // Opens the store in the given file.
    explicit TRegistryStore(const QString& filePath);
    ~TRegistryStore();

    // The file of the per-user store: the path set with SetFilePath, else the user's
    // configuration folder ($XDG_CONFIG_HOME or ~/.config) followed by
    // "/Tollmark/Brevant Professional.conf".
    static QString FilePath();
    // The file to use instead while a scope of it lasts (tests point into a temporary folder).
    using TFileOverride = TOverride<TRegistryStore, QString>;

    // Canonical form of a key path ("\A\B"), or a null text when it cannot name a key
    // (a level holding a control character).
    static QString NormalizeKeyPath(const QString& keyPath);

    // Opens a key; with create a missing key is created (in memory until Save). A key
    // that does not exist and is not created gives an invalid handle.
    TRegistryKey OpenKey(const QString& keyPath, bool create = true);
    bool KeyExists(const QString& keyPath) const;
    QStringList KeyPaths() const;
    QStringList ValueNames(const QString& keyPath) const;

    std::optional<TValue> Value(const QString& keyPath, const QString& name) const;
    // Typed reads: no value when it is missing or of another type (see TRegistryKey).
    std::optional<int32_t> ReadInteger(const QString& keyPath, const QString& name) const;
    std::optional<bool> ReadBool(const QString& keyPath, const QString& name) const;
    std::optional<QString> ReadString(const QString& keyPath, const QString& name) const;
    std::optional<QByteArray> ReadBinary(const QString& keyPath, const QString& name) const;
    // Stores a value, creating its key; false when the key path is not valid.
    bool SetValue(const QString& keyPath, const QString& name, const TValue& value);

    // Writes the store to its file atomically. On failure (folder not writable, disk full)
    // the previous file stays as it was, the changes stay pending and false is returned;
    // ErrorString() says why. A file that holds more than the store read from it
    // (damaged or binary text, an oversized file, lines edited by hand that it drops) is
    // first kept aside as "<file>.<date>-<time>.bak", so the user's old settings are not
    // silently destroyed.
    bool Save();
    QString ErrorString() const { return m_error; }
    const QString& StoreFilePath() const { return m_filePath; }

    // The file format, public so that it can be checked on its own.
    struct TKeyData
    {
        QString Path;
        QList<QString> Names;
        QList<TValue> Values;
    };
    using TData = QList<TKeyData>;
    static TData Parse(const QByteArray& text);
    static QByteArray Serialize(const TData& data);

private:
    struct TChange
    {
        QString Path;
        bool OnlyKey = false;
        QString Name;
        TValue Value;
    };

    // The file's keys; with whole, also whether the store would write the file back as it
    // is (false for damaged, binary or oversized text, or lines the store drops).
    static TData load(const QString& filePath, bool* whole = nullptr);
    // Renames the file to its backup name before it is replaced; false when it cannot.
    bool keepAside();
    static TKeyData* findKey(TData& data, const QString& normalizedPath);
    static const TKeyData* findKey(const TData& data, const QString& normalizedPath);
    static void apply(TData& data, const TChange& change);

    QString m_filePath;
    TData m_data;
    QList<TChange> m_pending;
    QString m_error;
};

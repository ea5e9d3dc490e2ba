#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

class TRegistryStore;

// An open key of a TRegistryStore. Reads give no value when the value is missing or of
// another type; writes change the store in memory until the store is saved. The store
// must outlive the key.
class TRegistryKey
{
public:
    TRegistryKey() = default;
    TRegistryKey(TRegistryStore* store, const QString& path) : m_store(store), m_path(path) {}

    bool IsValid() const { return m_store != nullptr; }
    const QString& Path() const { return m_path; }

    bool ValueExists(const QString& name) const;
    // A REG_DWORD value as a signed 32-bit integer.
    std::optional<int32_t> ReadInteger(const QString& name) const;
    // A REG_DWORD value; any non-zero integer is true.
    std::optional<bool> ReadBool(const QString& name) const;
    // A REG_SZ or REG_EXPAND_SZ value, the latter unexpanded.
    std::optional<QString> ReadString(const QString& name) const;
    // A REG_BINARY value or one without a type.
    std::optional<QByteArray> ReadBinary(const QString& name) const;

    bool WriteInteger(const QString& name, int32_t value);
    // Written as the integer 1 or 0.
    bool WriteBool(const QString& name, bool value);
    bool WriteString(const QString& name, const QString& value);
    bool WriteExpandString(const QString& name, const QString& value);
    bool WriteBinary(const QString& name, const QByteArray& value);

private:
    TRegistryStore* m_store = nullptr;
    QString m_path;
};

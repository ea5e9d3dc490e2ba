#include "settings/TRegistryKey.h"

#include "settings/TRegistryStore.h"

bool TRegistryKey::ValueExists(const QString& name) const
{
    return m_store && m_store->Value(m_path, name).has_value();
}

std::optional<int32_t> TRegistryKey::ReadInteger(const QString& name) const
{
    return m_store ? m_store->ReadInteger(m_path, name) : std::nullopt;
}

std::optional<bool> TRegistryKey::ReadBool(const QString& name) const
{
    return m_store ? m_store->ReadBool(m_path, name) : std::nullopt;
}

std::optional<QString> TRegistryKey::ReadString(const QString& name) const
{
    return m_store ? m_store->ReadString(m_path, name) : std::nullopt;
}

std::optional<QByteArray> TRegistryKey::ReadBinary(const QString& name) const
{
    return m_store ? m_store->ReadBinary(m_path, name) : std::nullopt;
}

bool TRegistryKey::WriteInteger(const QString& name, int32_t value)
{
    TRegistryStore::TValue stored;
    stored.Type = TRegistryStore::rtDWord;
    stored.DWord = static_cast<uint32_t>(value);
    return m_store && m_store->SetValue(m_path, name, stored);
}

bool TRegistryKey::WriteBool(const QString& name, bool value)
{
    return WriteInteger(name, value ? 1 : 0);
}

bool TRegistryKey::WriteString(const QString& name, const QString& value)
{
    TRegistryStore::TValue stored;
    stored.Type = TRegistryStore::rtString;
    stored.Text = value;
    return m_store && m_store->SetValue(m_path, name, stored);
}

bool TRegistryKey::WriteExpandString(const QString& name, const QString& value)
{
    TRegistryStore::TValue stored;
    stored.Type = TRegistryStore::rtExpandString;
    stored.Text = value;
    return m_store && m_store->SetValue(m_path, name, stored);
}

bool TRegistryKey::WriteBinary(const QString& name, const QByteArray& value)
{
    TRegistryStore::TValue stored;
    stored.Type = TRegistryStore::rtBinary;
    stored.Bytes = value;
    return m_store && m_store->SetValue(m_path, name, stored);
}

#include "settings/TRegistryStore.h"

#include "settings/TRegistryKey.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cctype>

namespace {

// A settings file is a few kilobytes; anything far larger is not one of ours.
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
const QString StoreFileName = QStringLiteral("/Tollmark/Brevant Professional.conf");
const QByteArray FileHeader = "; Brevant Professional user settings\n";

bool isHexDigits(QStringView text)
{
    for (const QChar c : text)
        if (!isxdigit(c.unicode() < 0x80 ? c.unicode() : 0))
            return false;
    return !text.isEmpty();
}

void appendEscaped(QString& out, const QString& text)
{
    out += QLatin1Char('"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        switch (c) {
        case u'\\':
            out += QLatin1String("\\\\");
            continue;
        case u'"':
            out += QLatin1String("\\\"");
            continue;
        case u'\n':
            out += QLatin1String("\\n");
            continue;
        case u'\r':
            out += QLatin1String("\\r");
            continue;
        case u'\t':
            out += QLatin1String("\\t");
            continue;
        default:
            break;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += text[i];
            out += text[++i];
        } else if (c < 0x20 || c == 0x7f || QChar::isSurrogate(c)) {
            // Control characters would break the line structure, and a lone surrogate has
            // no UTF-8 form; both are kept as escapes so every text comes back unchanged.
            out += QStringLiteral("\\u%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0'));
        } else {
            out += text[i];
        }
    }
    out += QLatin1Char('"');
}

// Reads a quoted text starting at pos; pos ends after the closing quote.
bool parseQuoted(const QString& line, qsizetype& pos, QString& out)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == QLatin1Char('"')) {
            ++pos;
            return true;
        }
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            return false;
        switch (line[pos].unicode()) {
        case u'\\':
            out += QLatin1Char('\\');
            break;
        case u'"':
            out += QLatin1Char('"');
            break;
        case u'n':
            out += QLatin1Char('\n');
            break;
        case u'r':
            out += QLatin1Char('\r');
            break;
        case u't':
            out += QLatin1Char('\t');
            break;
        case u'u': {
            const QStringView digits = QStringView(line).mid(pos + 1, 4);
            if (digits.size() != 4 || !isHexDigits(digits))
                return false;
            const uint code = digits.toUInt(nullptr, 16);
            out += QChar(static_cast<char16_t>(code));
            pos += 4;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

bool parseHexBytes(QStringView text, QByteArray& out)
{
    out.clear();
    text = text.trimmed();
    if (text.isEmpty())
        return true;
    for (QStringView part : text.split(QLatin1Char(','))) {
        part = part.trimmed();
        if (part.size() > 2 || !isHexDigits(part))
            return false;
        out += static_cast<char>(part.toUInt(nullptr, 16));
    }
    return true;
}

QString hexBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(','));
}

// The value part of a value line, after "=".
bool parseValue(const QString& line, qsizetype pos, TRegistryStore::TValue& value)
{
    const QStringView rest = QStringView(line).mid(pos);
    if (rest.startsWith(QLatin1Char('"')) || rest.startsWith(QLatin1String("expand:\""))) {
        const bool expand = rest.startsWith(QLatin1String("expand:"));
        qsizetype at = pos + (expand ? 7 : 0);
        if (!parseQuoted(line, at, value.Text) || at != line.size())
            return false;
        value.Type = expand ? TRegistryStore::rtExpandString : TRegistryStore::rtString;
        return true;
    }
    if (rest.startsWith(QLatin1String("dword:"))) {
        const QStringView digits = rest.mid(6);
        if (digits.size() > 8 || !isHexDigits(digits))
            return false;
        value.DWord = digits.toUInt(nullptr, 16);
        value.Type = TRegistryStore::rtDWord;
        return true;
    }
    if (rest.startsWith(QLatin1String("hex:"))) {
        value.Type = TRegistryStore::rtBinary;
        return parseHexBytes(rest.mid(4), value.Bytes);
    }
    if (rest.startsWith(QLatin1String("hex("))) {
        const qsizetype close = rest.indexOf(QLatin1String("):"));
        if (close < 5)
            return false;
        const QStringView type = rest.mid(4, close - 4);
        if (type.size() > 8 || !isHexDigits(type))
            return false;
        value.Type = type.toUInt(nullptr, 16);
        // Types with a form of their own are never written this way.
        if (value.Type == TRegistryStore::rtString || value.Type == TRegistryStore::rtExpandString ||
            value.Type == TRegistryStore::rtDWord)
            return false;
        return parseHexBytes(rest.mid(close + 2), value.Bytes);
    }
    return false;
}

} // namespace

TRegistryStore::TRegistryStore() : TRegistryStore(FilePath()) {}

TRegistryStore::TRegistryStore(const QString& filePath) : m_filePath(filePath), m_data(load(filePath)) {}

TRegistryStore::~TRegistryStore() = default;

QString TRegistryStore::FilePath()
{
    if (!TFileOverride::Get().isEmpty())
        return TFileOverride::Get();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + StoreFileName;
}

QString TRegistryStore::NormalizeKeyPath(const QString& keyPath)
{
    QString normalized;
    for (const QString& level : keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        for (const QChar c : level)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                return {};
        normalized += QLatin1Char('\\') + level;
    }
    return normalized.isEmpty() ? QStringLiteral("\\") : normalized;
}

TRegistryKey TRegistryStore::OpenKey(const QString& keyPath, bool create)
{
    const QString path = NormalizeKeyPath(keyPath);
    if (path.isNull())
        return {};
    if (!findKey(m_data, path)) {
        if (!create)
            return {};
        const TChange change{path, true, {}, {}};
        apply(m_data, change);
        m_pending.append(change);
    }
    return TRegistryKey(this, path);
}

bool TRegistryStore::KeyExists(const QString& keyPath) const
{
    const QString path = NormalizeKeyPath(keyPath);
    return !path.isNull() && findKey(m_data, path);
}

QStringList TRegistryStore::KeyPaths() const
{
    QStringList paths;
    for (const TKeyData& key : m_data)
        paths.append(key.Path);
    return paths;
}

QStringList TRegistryStore::ValueNames(const QString& keyPath) const
{
    const QString path = NormalizeKeyPath(keyPath);
    const TKeyData* key = path.isNull() ? nullptr : findKey(m_data, path);
    return key ? QStringList(key->Names) : QStringList();
}

std::optional<TRegistryStore::TValue> TRegistryStore::Value(const QString& keyPath, const QString& name) const
{
    const QString path = NormalizeKeyPath(keyPath);
    const TKeyData* key = path.isNull() ? nullptr : findKey(m_data, path);
    if (!key)
        return std::nullopt;
    for (qsizetype i = 0; i < key->Names.size(); ++i)
        if (key->Names[i].compare(name, Qt::CaseInsensitive) == 0)
            return key->Values[i];
    return std::nullopt;
}

std::optional<int32_t> TRegistryStore::ReadInteger(const QString& keyPath, const QString& name) const
{
    const auto value = Value(keyPath, name);
    if (!value || value->Type != rtDWord)
        return std::nullopt;
    return static_cast<int32_t>(value->DWord);
}

std::optional<bool> TRegistryStore::ReadBool(const QString& keyPath, const QString& name) const
{
    const auto integer = ReadInteger(keyPath, name);
    return integer ? std::optional<bool>(*integer != 0) : std::nullopt;
}

std::optional<QString> TRegistryStore::ReadString(const QString& keyPath, const QString& name) const
{
    const auto value = Value(keyPath, name);
    if (!value || (value->Type != rtString && value->Type != rtExpandString))
        return std::nullopt;
    return value->Text;
}

std::optional<QByteArray> TRegistryStore::ReadBinary(const QString& keyPath, const QString& name) const
{
    const auto value = Value(keyPath, name);
    if (!value || (value->Type != rtBinary && value->Type != rtNone))
        return std::nullopt;
    return value->Bytes;
}

bool TRegistryStore::SetValue(const QString& keyPath, const QString& name, const TValue& value)
{
    const QString path = NormalizeKeyPath(keyPath);
    if (path.isNull())
        return false;
    const TChange change{path, false, name, value};
    apply(m_data, change);
    m_pending.append(change);
    return true;
}

bool TRegistryStore::Save()
{
    m_error.clear();
    const QFileInfo info(m_filePath);
    if (m_filePath.isEmpty() || !QDir().mkpath(info.absolutePath())) {
        m_error = QStringLiteral("Cannot create the folder of \"%1\".").arg(m_filePath);
        return false;
    }
    // Another store may have saved since this one was read: apply this one's changes on
    // top of the file as it is now.
    bool whole = true;
    TData merged = load(m_filePath, &whole);
    for (const TChange& change : std::as_const(m_pending))
        apply(merged, change);
    const QByteArray bytes = Serialize(merged);
    if (!whole && !keepAside())
        return false;

    // Unbuffered, so that a short write (disk full, size limit) shows in the result of
    // write(): an error in the buffer's final flush would not stop commit() from replacing
    // the file with a truncated one.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        m_error = file.errorString().isEmpty() ? QStringLiteral("Cannot write \"%1\".").arg(m_filePath)
                                               : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_error = file.errorString();
        return false;
    }
    m_data = std::move(merged);
    m_pending.clear();
    return true;
}

bool TRegistryStore::keepAside()
{
    const QString backup = m_filePath +
                           QDateTime::currentDateTime().toString(QStringLiteral(".yyyyMMdd-hhmmss")) +
                           QStringLiteral(".bak");
    if (QFile::rename(m_filePath, backup))
        return true;
    m_error =
        QStringLiteral("Cannot keep the unreadable settings file \"%1\" as \"%2\".").arg(m_filePath, backup);
    return false;
}

TRegistryStore::TData TRegistryStore::Parse(const QByteArray& text)
{
    TData data;
    QString currentPath; // null: values are ignored until a valid key line
    const QString whole = QString::fromUtf8(text);
    for (QStringView view : QStringView(whole).split(QLatin1Char('\n'))) {
        if (view.endsWith(QLatin1Char('\r')))
            view.chop(1);
        if (view.trimmed().isEmpty() || view.startsWith(QLatin1Char(';')) ||
            view.startsWith(QLatin1Char('#')))
            continue;
        const QString line = view.toString();
        if (line.startsWith(QLatin1Char('['))) {
            currentPath =
                line.endsWith(QLatin1Char(']')) ? NormalizeKeyPath(line.mid(1, line.size() - 2)) : QString();
            if (!currentPath.isNull())
                apply(data, TChange{currentPath, true, {}, {}});
            continue;
        }
        if (currentPath.isNull())
            continue;
        qsizetype pos = 0;
        QString name;
        TValue value;
        if (!parseQuoted(line, pos, name) || pos >= line.size() || line[pos] != QLatin1Char('='))
            continue;
        if (parseValue(line, pos + 1, value))
            apply(data, TChange{currentPath, false, name, value});
    }
    return data;
}

QByteArray TRegistryStore::Serialize(const TData& data)
{
    QString out;
    for (const TKeyData& key : data) {
        out += QLatin1String("\n[") + key.Path + QLatin1String("]\n");
        for (qsizetype i = 0; i < key.Names.size(); ++i) {
            const TValue& value = key.Values[i];
            appendEscaped(out, key.Names[i]);
            out += QLatin1Char('=');
            switch (value.Type) {
            case rtString:
                appendEscaped(out, value.Text);
                break;
            case rtExpandString:
                out += QLatin1String("expand:");
                appendEscaped(out, value.Text);
                break;
            case rtDWord:
                out += QStringLiteral("dword:%1").arg(value.DWord, 8, 16, QLatin1Char('0'));
                break;
            case rtBinary:
                out += QLatin1String("hex:") + hexBytes(value.Bytes);
                break;
            default:
                out += QStringLiteral("hex(%1):").arg(value.Type, 0, 16) + hexBytes(value.Bytes);
                break;
            }
            out += QLatin1Char('\n');
        }
    }
    return FileHeader + out.toUtf8();
}

TRegistryStore::TData TRegistryStore::load(const QString& filePath, bool* whole)
{
    // Nothing to lose: no file, an empty one, or something that is no file at all.
    const QFileInfo info(filePath);
    if (whole)
        *whole = filePath.isEmpty() || !info.isFile() || info.size() == 0;
    QFile file(filePath);
    if (filePath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > MaxFileSize)
        return {};
    const QByteArray text = file.read(MaxFileSize);
    TData data = Parse(text);
    if (whole && !*whole)
        *whole = Serialize(data) == text;
    return data;
}

TRegistryStore::TKeyData* TRegistryStore::findKey(TData& data, const QString& normalizedPath)
{
    for (TKeyData& key : data)
        if (key.Path.compare(normalizedPath, Qt::CaseInsensitive) == 0)
            return &key;
    return nullptr;
}

const TRegistryStore::TKeyData* TRegistryStore::findKey(const TData& data, const QString& normalizedPath)
{
    for (const TKeyData& key : data)
        if (key.Path.compare(normalizedPath, Qt::CaseInsensitive) == 0)
            return &key;
    return nullptr;
}

void TRegistryStore::apply(TData& data, const TChange& change)
{
    TKeyData* key = findKey(data, change.Path);
    if (!key) {
        data.append(TKeyData{change.Path, {}, {}});
        key = &data.last();
    }
    if (change.OnlyKey)
        return;
    for (qsizetype i = 0; i < key->Names.size(); ++i) {
        if (key->Names[i].compare(change.Name, Qt::CaseInsensitive) == 0) {
            key->Values[i] = change.Value;
            return;
        }
    }
    key->Names.append(change.Name);
    key->Values.append(change.Value);
}

#include "settings/Settings.h"

#include "settings/TRegistryKey.h"
#include "settings/TRegistryStore.h"
#include "settings/TWindowSizes.h"
#include "util/FileUtils.h"

#include <cstring>
#include <type_traits>
#include <variant>
#include <vector>

namespace {

const QString Global = QStringLiteral("\\Global");
const QString Preferences = QStringLiteral("\\Preferences");
constexpr int CsidlPersonal = 5;

QString fullKeyPath(const QString& subKey)
{
    if (subKey.startsWith(RegKeyBase, Qt::CaseInsensitive) &&
        (subKey.size() == RegKeyBase.size() || subKey[RegKeyBase.size()] == QLatin1Char('\\')))
        return subKey;
    return RegKeyBase + subKey;
}

} // namespace

// The settings hold no value of their own here: the table below gives each one its
// initial value, and resetSettingsToInitialValues puts it there before anything runs.
uint8_t GlobalMainViewStyle;
int GlobalMainSortColumn;
bool GlobalMainSortOrderAZ;
int GlobalLastTip;
bool GlobalFirstStart;
bool GlobalShowOnlyDeleted;
bool GlobalRecoveryFull;
TRecoveryDestination GlobalRecoveryDestination;
QString GlobalRecoveryDestinationFolder;
QString GlobalRecoveryDestinationFTP;
QString GlobalRecoveryDestinationEmail;
bool GlobalStartupShowSplash;
TStartupDefaultAction GlobalStartupDefaultAction;
QChar GlobalStartupDefaultActionDiskLetter;
bool GlobalLogEnable;
QString GlobalLogFilename;
bool GlobalLogRecycle;
int GlobalLogSizeMaxKb;
bool GlobalLogAddStatus;
bool GlobalLogAddWarnings;
bool GlobalLogAddErrors;
bool GlobalLogAddDebug;
QString GlobalLanguage;
bool GlobalConfirmOverwrite;
bool GlobalConfirmInterrupt;
bool GlobalConfirmExit;

namespace {

// A one-byte ordinal stored as binary data; a stored value beyond Last is unusable.
struct TOrdinal
{
    uint8_t* Value;
    uint8_t Last;
};
// Ordinal settings are enumerations of one byte, which are read and written as that byte.
template<typename T> TOrdinal ordinal(T& variable, T last)
{
    static_assert(sizeof(T) == 1);
    return {reinterpret_cast<uint8_t*>(&variable), static_cast<uint8_t>(last)};
}

using TTarget = std::variant<bool*, int*, TOrdinal, QString*, QChar*>;

// What a read gives when the store holds no usable value.
enum class TFallback
{
    Current,   // the value the setting holds before the read
    Initial,   // its initial value
    Fixed,     // the row's Fixed value
    Documents, // "Recovered Files" in the user's documents folder
};

// One setting: where it is stored, its type (by its variable), its initial value and
// what a read falls back to. A letter is stored as a text; an empty text keeps it.
struct TSetting
{
    const QString* Section;
    const char* Name;
    TTarget Variable;
    TSettingValue Initial;
    TFallback Fallback = TFallback::Current;
    TSettingValue Fixed = {};
};

// Every setting, in the order they are written.
const std::vector<TSetting>& settingsTable()
{
    static const std::vector<TSetting> table{
        {&Global, "ViewStyle", ordinal(GlobalMainViewStyle, uint8_t{3}), uint8_t{3}, TFallback::Initial},
        {&Global, "SortColumn", &GlobalMainSortColumn, 0, TFallback::Initial},
        {&Global, "SortOrderAZ", &GlobalMainSortOrderAZ, true, TFallback::Initial},
        {&Global, "GlobalLastTip", &GlobalLastTip, 1, TFallback::Fixed, 0},
        {&Global, "GlobalFirstStart", &GlobalFirstStart, true, TFallback::Initial},
        {&Global, "ShowOnlyDeleted", &GlobalShowOnlyDeleted, false, TFallback::Initial},
        {&Preferences, "RecoveryFull", &GlobalRecoveryFull, false, TFallback::Initial},
        {&Preferences, "RecoveryDestination", ordinal(GlobalRecoveryDestination, rdEmail), uint8_t{rdFolder}},
        {&Preferences, "RecoveryDestinationFolder", &GlobalRecoveryDestinationFolder,
         QStringLiteral("C:\\Recovered Files\\"), TFallback::Documents},
        {&Preferences, "RecoveryDestinationFTP", &GlobalRecoveryDestinationFTP, QStringLiteral("ftp://")},
        {&Preferences, "RecoveryDestinationEmail", &GlobalRecoveryDestinationEmail,
         QStringLiteral("yourname@example.com")},
        {&Preferences, "StartupShowSplash", &GlobalStartupShowSplash, true},
        {&Preferences, "StartupDefaultAction", ordinal(GlobalStartupDefaultAction, sdaNothing),
         uint8_t{sdaSelectDisk}},
        {&Preferences, "StartupDefaultActionDiskLetter", &GlobalStartupDefaultActionDiskLetter, QChar(u'?')},
        {&Preferences, "LogEnable", &GlobalLogEnable, false},
        {&Preferences, "LogFilename", &GlobalLogFilename, QStringLiteral("brevant.log")},
        {&Preferences, "LogRecycle", &GlobalLogRecycle, true},
        {&Preferences, "LogSizeMaxKb", &GlobalLogSizeMaxKb, 1024},
        {&Preferences, "LogAddStatus", &GlobalLogAddStatus, true},
        {&Preferences, "LogAddWarnings", &GlobalLogAddWarnings, true},
        {&Preferences, "LogAddErrors", &GlobalLogAddErrors, true},
        {&Preferences, "LogAddDebug", &GlobalLogAddDebug, true},
        {&Preferences, "Language", &GlobalLanguage, QString()},
        {&Preferences, "ConfirmOverwrite", &GlobalConfirmOverwrite, true},
        {&Preferences, "ConfirmInterrupt", &GlobalConfirmInterrupt, true},
        {&Preferences, "ConfirmExit", &GlobalConfirmExit, false},
    };
    return table;
}

template<typename... F> struct TOverloaded : F...
{
    using F::operator()...;
};
template<typename... F> TOverloaded(F...) -> TOverloaded<F...>;

TSettingValue valueOf(const TTarget& target)
{
    return std::visit(TOverloaded{[](const TOrdinal& o) -> TSettingValue { return *o.Value; },
                                  [](const auto* variable) -> TSettingValue { return *variable; }},
                      target);
}

void assign(const TTarget& target, const TSettingValue& value)
{
    std::visit(TOverloaded{[&](const TOrdinal& o) { *o.Value = std::get<uint8_t>(value); },
                           [&](auto* variable) {
                               *variable = std::get<std::remove_pointer_t<decltype(variable)>>(value);
                           }},
               target);
}

TSettingValue fallbackOf(const TSetting& setting)
{
    switch (setting.Fallback) {
    case TFallback::Current:
        return valueOf(setting.Variable);
    case TFallback::Initial:
        return setting.Initial;
    case TFallback::Fixed:
        return setting.Fixed;
    case TFallback::Documents:
        return GetWinSpecialFoldersValue(CsidlPersonal) + QStringLiteral("/Recovered Files");
    }
    return setting.Initial;
}

void readSetting(const TRegistryStore& store, const TSetting& setting)
{
    const QString& section = *setting.Section;
    const QString name = QLatin1String(setting.Name);
    const TSettingValue fallback = fallbackOf(setting);
    std::visit(
        TOverloaded{
            [&](bool* variable) { *variable = RegReadBool(store, section, name, std::get<bool>(fallback)); },
            [&](int* variable) { *variable = RegReadInteger(store, section, name, std::get<int>(fallback)); },
            [&](QString* variable) {
                *variable = RegReadString(store, section, name, std::get<QString>(fallback));
            },
            [&](QChar* variable) {
                const QChar current = std::get<QChar>(fallback);
                const QString letter = RegReadString(store, section, name, QString(current));
                *variable = letter.isEmpty() ? current : letter[0];
            },
            [&](const TOrdinal& o) {
                // An unusable ordinal leaves the fallback, so later code never
                // sees an ordinal it cannot handle.
                uint8_t value = std::get<uint8_t>(fallback);
                RegReadBinaryData(store, section, name, &value, 1);
                *o.Value = value <= o.Last ? value : std::get<uint8_t>(fallback);
            }},
        setting.Variable);
}

void writeSetting(TRegistryStore& store, const TSetting& setting)
{
    const QString& section = *setting.Section;
    const QString name = QLatin1String(setting.Name);
    std::visit(TOverloaded{
                   [&](const bool* variable) { RegWriteBool(store, section, name, *variable); },
                   [&](const int* variable) { RegWriteInteger(store, section, name, *variable); },
                   [&](const QString* variable) {
                       RegWriteString(store, section, name,
                                      variable == &GlobalRecoveryDestinationFTP ? RemoveUrlPassword(*variable)
                                                                                : *variable);
                   },
                   [&](const QChar* variable) { RegWriteString(store, section, name, QString(*variable)); },
                   [&](const TOrdinal& o) { RegWriteBinaryData(store, section, name, o.Value, 1); }},
               setting.Variable);
}

// The settings start at their initial values, before any other code can read them.
[[maybe_unused]] const bool initialised = (resetSettingsToInitialValues(), true);

} // namespace

QString RemoveUrlPassword(const QString& url)
{
    const qsizetype scheme = url.indexOf(QLatin1String("://"));
    const qsizetype start = scheme < 0 ? 0 : scheme + 3;
    qsizetype end = url.size();
    for (const QChar stop : {u'/', u'?', u'#'}) {
        const qsizetype at = url.indexOf(stop, start);
        if (at >= 0 && at < end)
            end = at;
    }
    if (end <= start)
        return url;
    // The user part ends at the authority's last "@"; its password starts at the first ":".
    const qsizetype at = url.lastIndexOf(QLatin1Char('@'), end - 1);
    if (at < start)
        return url;
    const qsizetype colon = url.indexOf(QLatin1Char(':'), start);
    if (colon < 0 || colon > at)
        return url;
    return url.left(colon) + url.mid(at);
}

void resetSettingsToInitialValues()
{
    for (const TSetting& setting : settingsTable())
        assign(setting.Variable, setting.Initial);
    TWindowSizes::Clear();
}

TSettingsCopy TSettingsCopy::Current()
{
    TSettingsCopy copy;
    for (const TSetting& setting : settingsTable())
        copy.m_values.push_back(valueOf(setting.Variable));
    return copy;
}

void TSettingsCopy::Commit() const
{
    const std::vector<TSetting>& table = settingsTable();
    for (size_t i = 0; i < table.size() && i < m_values.size(); ++i)
        assign(table[i].Variable, m_values[i]);
}

int TSettingsCopy::indexOf(const void* setting) const
{
    const std::vector<TSetting>& table = settingsTable();
    for (size_t i = 0; i < table.size() && i < m_values.size(); ++i) {
        const void* address =
            std::visit(TOverloaded{[](const TOrdinal& o) -> const void* { return o.Value; },
                                   [](const auto* variable) -> const void* { return variable; }},
                       table[i].Variable);
        if (address == setting)
            return int(i);
    }
    return -1;
}

void RegReadBinaryData(const TRegistryStore& store, const QString& subKey, const QString& name, void* buffer,
                       int size)
{
    if (!buffer || size < 0)
        return;
    const auto bytes = store.ReadBinary(fullKeyPath(subKey), name);
    if (bytes && bytes->size() <= size)
        std::memcpy(buffer, bytes->constData(), static_cast<size_t>(bytes->size()));
}

void RegReadBinaryData(const QString& subKey, const QString& name, void* buffer, int size)
{
    RegReadBinaryData(TRegistryStore(), subKey, name, buffer, size);
}

int RegReadInteger(const TRegistryStore& store, const QString& subKey, const QString& name, int defaultValue)
{
    return store.ReadInteger(fullKeyPath(subKey), name).value_or(defaultValue);
}

int RegReadInteger(const QString& subKey, const QString& name, int defaultValue)
{
    return RegReadInteger(TRegistryStore(), subKey, name, defaultValue);
}

bool RegReadBool(const TRegistryStore& store, const QString& subKey, const QString& name, bool defaultValue)
{
    return store.ReadBool(fullKeyPath(subKey), name).value_or(defaultValue);
}

bool RegReadBool(const QString& subKey, const QString& name, bool defaultValue)
{
    return RegReadBool(TRegistryStore(), subKey, name, defaultValue);
}

QString RegReadString(const TRegistryStore& store, const QString& subKey, const QString& name,
                      const QString& defaultValue)
{
    return store.ReadString(fullKeyPath(subKey), name).value_or(defaultValue);
}

QString RegReadString(const QString& subKey, const QString& name, const QString& defaultValue)
{
    return RegReadString(TRegistryStore(), subKey, name, defaultValue);
}

bool RegWriteBinaryData(TRegistryStore& store, const QString& subKey, const QString& name, const void* data,
                        int size)
{
    if ((!data && size > 0) || size < 0)
        return false;
    const QByteArray bytes = size > 0 ? QByteArray(static_cast<const char*>(data), size) : QByteArray();
    return store.OpenKey(fullKeyPath(subKey)).WriteBinary(name, bytes);
}

bool RegWriteBinaryData(const QString& subKey, const QString& name, const void* data, int size)
{
    TRegistryStore store;
    return RegWriteBinaryData(store, subKey, name, data, size) && store.Save();
}

bool RegWriteInteger(TRegistryStore& store, const QString& subKey, const QString& name, int value)
{
    return store.OpenKey(fullKeyPath(subKey)).WriteInteger(name, value);
}

bool RegWriteInteger(const QString& subKey, const QString& name, int value)
{
    TRegistryStore store;
    return RegWriteInteger(store, subKey, name, value) && store.Save();
}

bool RegWriteBool(TRegistryStore& store, const QString& subKey, const QString& name, bool value)
{
    return store.OpenKey(fullKeyPath(subKey)).WriteBool(name, value);
}

bool RegWriteBool(const QString& subKey, const QString& name, bool value)
{
    TRegistryStore store;
    return RegWriteBool(store, subKey, name, value) && store.Save();
}

bool RegWriteString(TRegistryStore& store, const QString& subKey, const QString& name, const QString& value)
{
    return store.OpenKey(fullKeyPath(subKey)).WriteString(name, value);
}

bool RegWriteString(const QString& subKey, const QString& name, const QString& value)
{
    TRegistryStore store;
    return RegWriteString(store, subKey, name, value) && store.Save();
}

void RegSettingsRead()
{
    RegSettingsRead(TRegistryStore());
}

void RegSettingsRead(const TRegistryStore& store)
{
    for (const TSetting& setting : settingsTable())
        readSetting(store, setting);
    TWindowSizes::Read(store);
}

bool RegSettingsWrite()
{
    TRegistryStore store;
    return RegSettingsWrite(store);
}

bool RegSettingsWrite(TRegistryStore& store)
{
    for (const TSetting& setting : settingsTable())
        writeSetting(store, setting);
    TWindowSizes::Write(store);
    return store.Save();
}

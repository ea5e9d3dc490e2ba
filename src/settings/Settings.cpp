#include "settings/Settings.h"

#include "settings/TRegistryKey.h"
#include "settings/TRegistryStore.h"
#include "util/FileUtils.h"

#include <cstring>

namespace {

const QString Global = QStringLiteral("\\Global");
const QString Preferences = QStringLiteral("\\Preferences");
constexpr int CsidlPersonal = 5;

// Initial values, before anything is read.
constexpr uint8_t InitialViewStyle = 3;
constexpr uint8_t LastViewStyle = 3;
const QString InitialRecoveryFolder = QStringLiteral("C:\\Recovered Files\\");
const QString InitialEmail = QStringLiteral("yourname@example.com");

QString fullKeyPath(const QString& subKey)
{
    if (subKey.startsWith(RegKeyBase, Qt::CaseInsensitive) &&
        (subKey.size() == RegKeyBase.size() || subKey[RegKeyBase.size()] == QLatin1Char('\\')))
        return subKey;
    return RegKeyBase + subKey;
}

// A one-byte ordinal read in place; a stored value beyond the last ordinal is unusable
// and leaves the variable as it was, so later code never sees an ordinal it cannot handle.
template<typename T>
void readOrdinal(const TRegistryStore& store, const QString& subKey, const QString& name, T& variable,
                 uint8_t last)
{
    uint8_t ordinal = static_cast<uint8_t>(variable);
    RegReadBinaryData(store, subKey, name, &ordinal, 1);
    if (ordinal <= last)
        variable = static_cast<T>(ordinal);
}

template<typename T>
bool writeOrdinal(TRegistryStore& store, const QString& subKey, const QString& name, T value)
{
    const uint8_t ordinal = static_cast<uint8_t>(value);
    return RegWriteBinaryData(store, subKey, name, &ordinal, 1);
}

} // namespace

uint8_t GlobalMainViewStyle = InitialViewStyle;
int GlobalMainSortColumn = 0;
bool GlobalMainSortOrderAZ = true;
int GlobalLastTip = 1;
bool GlobalFirstStart = true;
bool GlobalShowOnlyDeleted = false;
bool GlobalRecoveryFull = false;
TRecoveryDestination GlobalRecoveryDestination = rdFolder;
QString GlobalRecoveryDestinationFolder = InitialRecoveryFolder;
QString GlobalRecoveryDestinationFTP = QStringLiteral("ftp://");
QString GlobalRecoveryDestinationEmail = InitialEmail;
bool GlobalStartupShowSplash = true;
TStartupDefaultAction GlobalStartupDefaultAction = sdaSelectDisk;
QChar GlobalStartupDefaultActionDiskLetter = QLatin1Char('?');
bool GlobalLogEnable = false;
QString GlobalLogFilename = QStringLiteral("brevant.log");
bool GlobalLogRecycle = true;
int GlobalLogSizeMaxKb = 1024;
bool GlobalLogAddStatus = true;
bool GlobalLogAddWarnings = true;
bool GlobalLogAddErrors = true;
bool GlobalLogAddDebug = true;
QString GlobalLanguage;
bool GlobalConfirmOverwrite = true;
bool GlobalConfirmInterrupt = true;
bool GlobalConfirmExit = false;

void resetSettingsToInitialValues()
{
    GlobalMainViewStyle = InitialViewStyle;
    GlobalMainSortColumn = 0;
    GlobalMainSortOrderAZ = true;
    GlobalLastTip = 1;
    GlobalFirstStart = true;
    GlobalShowOnlyDeleted = false;
    GlobalRecoveryFull = false;
    GlobalRecoveryDestination = rdFolder;
    GlobalRecoveryDestinationFolder = InitialRecoveryFolder;
    GlobalRecoveryDestinationFTP = QStringLiteral("ftp://");
    GlobalRecoveryDestinationEmail = InitialEmail;
    GlobalStartupShowSplash = true;
    GlobalStartupDefaultAction = sdaSelectDisk;
    GlobalStartupDefaultActionDiskLetter = QLatin1Char('?');
    GlobalLogEnable = false;
    GlobalLogFilename = QStringLiteral("brevant.log");
    GlobalLogRecycle = true;
    GlobalLogSizeMaxKb = 1024;
    GlobalLogAddStatus = true;
    GlobalLogAddWarnings = true;
    GlobalLogAddErrors = true;
    GlobalLogAddDebug = true;
    GlobalLanguage.clear();
    GlobalConfirmOverwrite = true;
    GlobalConfirmInterrupt = true;
    GlobalConfirmExit = false;
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
    GlobalMainViewStyle = InitialViewStyle;
    readOrdinal(store, Global, QStringLiteral("ViewStyle"), GlobalMainViewStyle, LastViewStyle);
    GlobalMainSortColumn = RegReadInteger(store, Global, QStringLiteral("SortColumn"), 0);
    GlobalMainSortOrderAZ = RegReadBool(store, Global, QStringLiteral("SortOrderAZ"), true);
    GlobalLastTip = RegReadInteger(store, Global, QStringLiteral("GlobalLastTip"), 0);
    GlobalFirstStart = RegReadBool(store, Global, QStringLiteral("GlobalFirstStart"), true);
    GlobalShowOnlyDeleted = RegReadBool(store, Global, QStringLiteral("ShowOnlyDeleted"), false);

    GlobalRecoveryFull = RegReadBool(store, Preferences, QStringLiteral("RecoveryFull"), false);
    readOrdinal(store, Preferences, QStringLiteral("RecoveryDestination"), GlobalRecoveryDestination,
                rdEmail);
    const QString defaultFolder =
        GetWinSpecialFoldersValue(CsidlPersonal) + QStringLiteral("/Recovered Files");
    GlobalRecoveryDestinationFolder =
        RegReadString(store, Preferences, QStringLiteral("RecoveryDestinationFolder"), defaultFolder);
    GlobalRecoveryDestinationFTP = RegReadString(store, Preferences, QStringLiteral("RecoveryDestinationFTP"),
                                                 GlobalRecoveryDestinationFTP);
    GlobalRecoveryDestinationEmail = RegReadString(
        store, Preferences, QStringLiteral("RecoveryDestinationEmail"), GlobalRecoveryDestinationEmail);
    GlobalStartupShowSplash =
        RegReadBool(store, Preferences, QStringLiteral("StartupShowSplash"), GlobalStartupShowSplash);
    readOrdinal(store, Preferences, QStringLiteral("StartupDefaultAction"), GlobalStartupDefaultAction,
                sdaNothing);
    const QString letter = RegReadString(store, Preferences, QStringLiteral("StartupDefaultActionDiskLetter"),
                                         QString(GlobalStartupDefaultActionDiskLetter));
    if (!letter.isEmpty())
        GlobalStartupDefaultActionDiskLetter = letter[0];
    GlobalLogEnable = RegReadBool(store, Preferences, QStringLiteral("LogEnable"), GlobalLogEnable);
    GlobalLogFilename = RegReadString(store, Preferences, QStringLiteral("LogFilename"), GlobalLogFilename);
    GlobalLogRecycle = RegReadBool(store, Preferences, QStringLiteral("LogRecycle"), GlobalLogRecycle);
    GlobalLogSizeMaxKb =
        RegReadInteger(store, Preferences, QStringLiteral("LogSizeMaxKb"), GlobalLogSizeMaxKb);
    GlobalLogAddStatus = RegReadBool(store, Preferences, QStringLiteral("LogAddStatus"), GlobalLogAddStatus);
    GlobalLogAddWarnings =
        RegReadBool(store, Preferences, QStringLiteral("LogAddWarnings"), GlobalLogAddWarnings);
    GlobalLogAddErrors = RegReadBool(store, Preferences, QStringLiteral("LogAddErrors"), GlobalLogAddErrors);
    GlobalLogAddDebug = RegReadBool(store, Preferences, QStringLiteral("LogAddDebug"), GlobalLogAddDebug);
    GlobalLanguage = RegReadString(store, Preferences, QStringLiteral("Language"), GlobalLanguage);
    GlobalConfirmOverwrite =
        RegReadBool(store, Preferences, QStringLiteral("ConfirmOverwrite"), GlobalConfirmOverwrite);
    GlobalConfirmInterrupt =
        RegReadBool(store, Preferences, QStringLiteral("ConfirmInterrupt"), GlobalConfirmInterrupt);
    GlobalConfirmExit = RegReadBool(store, Preferences, QStringLiteral("ConfirmExit"), GlobalConfirmExit);
}

bool RegSettingsWrite()
{
    TRegistryStore store;
    return RegSettingsWrite(store);
}

bool RegSettingsWrite(TRegistryStore& store)
{
    writeOrdinal(store, Global, QStringLiteral("ViewStyle"), GlobalMainViewStyle);
    RegWriteInteger(store, Global, QStringLiteral("SortColumn"), GlobalMainSortColumn);
    RegWriteBool(store, Global, QStringLiteral("SortOrderAZ"), GlobalMainSortOrderAZ);
    RegWriteInteger(store, Global, QStringLiteral("GlobalLastTip"), GlobalLastTip);
    RegWriteBool(store, Global, QStringLiteral("GlobalFirstStart"), GlobalFirstStart);
    RegWriteBool(store, Global, QStringLiteral("ShowOnlyDeleted"), GlobalShowOnlyDeleted);

    RegWriteBool(store, Preferences, QStringLiteral("RecoveryFull"), GlobalRecoveryFull);
    writeOrdinal(store, Preferences, QStringLiteral("RecoveryDestination"), GlobalRecoveryDestination);
    RegWriteString(store, Preferences, QStringLiteral("RecoveryDestinationFolder"),
                   GlobalRecoveryDestinationFolder);
    RegWriteString(store, Preferences, QStringLiteral("RecoveryDestinationFTP"),
                   GlobalRecoveryDestinationFTP);
    RegWriteString(store, Preferences, QStringLiteral("RecoveryDestinationEmail"),
                   GlobalRecoveryDestinationEmail);
    RegWriteBool(store, Preferences, QStringLiteral("StartupShowSplash"), GlobalStartupShowSplash);
    writeOrdinal(store, Preferences, QStringLiteral("StartupDefaultAction"), GlobalStartupDefaultAction);
    RegWriteString(store, Preferences, QStringLiteral("StartupDefaultActionDiskLetter"),
                   QString(GlobalStartupDefaultActionDiskLetter));
    RegWriteBool(store, Preferences, QStringLiteral("LogEnable"), GlobalLogEnable);
    RegWriteString(store, Preferences, QStringLiteral("LogFilename"), GlobalLogFilename);
    RegWriteBool(store, Preferences, QStringLiteral("LogRecycle"), GlobalLogRecycle);
    RegWriteInteger(store, Preferences, QStringLiteral("LogSizeMaxKb"), GlobalLogSizeMaxKb);
    RegWriteBool(store, Preferences, QStringLiteral("LogAddStatus"), GlobalLogAddStatus);
    RegWriteBool(store, Preferences, QStringLiteral("LogAddWarnings"), GlobalLogAddWarnings);
    RegWriteBool(store, Preferences, QStringLiteral("LogAddErrors"), GlobalLogAddErrors);
    RegWriteBool(store, Preferences, QStringLiteral("LogAddDebug"), GlobalLogAddDebug);
    RegWriteString(store, Preferences, QStringLiteral("Language"), GlobalLanguage);
    RegWriteBool(store, Preferences, QStringLiteral("ConfirmOverwrite"), GlobalConfirmOverwrite);
    RegWriteBool(store, Preferences, QStringLiteral("ConfirmInterrupt"), GlobalConfirmInterrupt);
    RegWriteBool(store, Preferences, QStringLiteral("ConfirmExit"), GlobalConfirmExit);
    return store.Save();
}

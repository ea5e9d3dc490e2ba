#include "settings/TRegistryStore.h"

#include "settings/TRegistryKey.h"
#include "support/TTempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString KeyPath = QStringLiteral("\\Software\\Tollmark\\Brevant Professional\\Main");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Lowers the file size limit of the process, so a write past it fails as on a full disk.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit lowered = m_previous;
        lowered.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_previous{};
    bool m_active = false;
    void (*m_previousHandler)(int) = nullptr;
};

class RegistryStoreTest : public ::testing::Test
{
protected:
    TTempDir temp;
    QString file = temp.filePath("config/Tollmark/Brevant Professional.conf");
};

} // namespace

TEST_F(RegistryStoreTest, ValuesKeepTheirTypesAcrossASave)
{
    const QString awkward =
        QString::fromUtf8("say \"hi\"\\ C:\\x\n\tnext\r\x01\x7f caf\xc3\xa9 \xf0\x9f\x98\x80") +
        QChar(0xD800) + QChar(0) + "end";
    {
        TRegistryStore store(file);
        TRegistryKey key = store.OpenKey(KeyPath);
        ASSERT_TRUE(key.IsValid());
        EXPECT_TRUE(key.WriteInteger("Negative", -2));
        EXPECT_TRUE(key.WriteInteger("Max", 0x7fffffff));
        EXPECT_TRUE(key.WriteBool("On", true));
        EXPECT_TRUE(key.WriteString("Awkward", awkward));
        EXPECT_TRUE(key.WriteString("Empty", ""));
        EXPECT_TRUE(key.WriteExpandString("Expand", "%HOME%\\x"));
        EXPECT_TRUE(key.WriteBinary("Bytes", QByteArray("\x00\xff\x10", 3)));
        EXPECT_TRUE(key.WriteBinary("NoBytes", {}));
        EXPECT_TRUE(key.WriteString("na\"me=[x]\\", "v"));
        EXPECT_TRUE(key.WriteString("", "default value"));
        EXPECT_TRUE(store.SetValue(KeyPath, "Untyped", {TRegistryStore::rtNone, {}, 0, "\x05"}));
        EXPECT_TRUE(store.SetValue(KeyPath, "Qword", {0xb, {}, 0, QByteArray(8, '\x01')}));
        ASSERT_TRUE(store.Save()) << qPrintable(store.ErrorString());
    }

    const TRegistryStore store(file);
    // Key paths and value names are found whatever their case and separators.
    const QString path = "software\\TOLLMARK\\Brevant Professional\\main\\";
    EXPECT_TRUE(store.KeyExists(path));
    EXPECT_EQ(store.ReadInteger(path, "negative"), -2);
    EXPECT_EQ(store.ReadInteger(path, "Max"), 0x7fffffff);
    EXPECT_EQ(store.ReadBool(path, "On"), true);
    EXPECT_EQ(store.ReadString(path, "Awkward"), awkward);
    EXPECT_EQ(store.ReadString(path, "Empty"), QString(""));
    EXPECT_EQ(store.ReadString(path, "Expand"), "%HOME%\\x") << "expandable text comes back unexpanded";
    EXPECT_EQ(store.ReadBinary(path, "Bytes"), QByteArray("\x00\xff\x10", 3));
    EXPECT_EQ(store.ReadBinary(path, "NoBytes"), QByteArray());
    EXPECT_EQ(store.ReadString(path, "na\"me=[x]\\"), "v");
    EXPECT_EQ(store.ReadString(path, ""), "default value");
    EXPECT_EQ(store.ReadBinary(path, "Untyped"), QByteArray("\x05"));
    EXPECT_EQ(store.Value(path, "Qword")->Type, 0xbu);
    EXPECT_EQ(store.Value(path, "Qword")->Bytes, QByteArray(8, '\x01'));
    EXPECT_EQ(store.ValueNames(path).first(), "Negative") << "values keep the order they were written in";

    // A value read as the wrong kind is no value.
    EXPECT_FALSE(store.ReadString(path, "Negative"));
    EXPECT_FALSE(store.ReadBinary(path, "Negative"));
    EXPECT_FALSE(store.ReadInteger(path, "Awkward"));
    EXPECT_FALSE(store.ReadBool(path, "Bytes"));
    EXPECT_FALSE(store.ReadBinary(path, "Qword"));
    EXPECT_FALSE(store.ReadInteger(path, "Missing"));
}

TEST_F(RegistryStoreTest, MissingKeysAndUnusablePaths)
{
    TRegistryStore store(file);
    EXPECT_FALSE(store.OpenKey("\\Nothing\\Here", false).IsValid());
    EXPECT_FALSE(store.KeyExists("\\Nothing\\Here"));
    TRegistryKey invalid;
    EXPECT_FALSE(invalid.ReadInteger("x"));
    EXPECT_FALSE(invalid.WriteInteger("x", 1));

    // A line break in a key name could not be stored; such a path names no key.
    EXPECT_TRUE(TRegistryStore::NormalizeKeyPath("\\A\nB").isNull());
    EXPECT_FALSE(store.OpenKey("\\A\nB").IsValid());
    EXPECT_FALSE(store.SetValue("\\A\rB", "x", {}));
    EXPECT_EQ(TRegistryStore::NormalizeKeyPath("A\\\\B\\"), "\\A\\B");
    EXPECT_EQ(TRegistryStore::NormalizeKeyPath(""), "\\");

    // A created key without values survives a save.
    EXPECT_TRUE(store.OpenKey("\\Empty\\Key").IsValid());
    ASSERT_TRUE(store.Save());
    EXPECT_TRUE(TRegistryStore(file).KeyExists("\\Empty\\Key"));
}

TEST_F(RegistryStoreTest, ReadingNeverFails)
{
    // Missing file: empty, and reading writes nothing.
    EXPECT_TRUE(TRegistryStore(file).KeyPaths().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file));

    // A folder where the file should be.
    QDir().mkpath(file);
    EXPECT_TRUE(TRegistryStore(file).KeyPaths().isEmpty());
    QDir(file).removeRecursively();

    // Binary garbage.
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    writeAll(file, garbage);
    EXPECT_TRUE(TRegistryStore(file).KeyPaths().isEmpty());

    // A file far larger than any settings file is not read at all.
    writeAll(file, "[\\K]\n\"A\"=dword:00000001\n");
    QFile big(file);
    ASSERT_TRUE(big.resize(17 * 1024 * 1024));
    EXPECT_TRUE(TRegistryStore(file).KeyPaths().isEmpty());
}

TEST_F(RegistryStoreTest, DamagedLinesLoseOnlyThemselves)
{
    writeAll(file, "\"Orphan\"=dword:00000001\n"
                   "[\\K]\r\n"
                   "\"Good1\"=dword:0000002a\r\n"
                   "\"TooLong\"=dword:123456789\n"
                   "\"NotHex\"=dword:0x12\n"
                   "\"BadByte\"=hex:01,2g\n"
                   "\"BadEscape\"=\"a\\qb\"\n"
                   "\"Unterminated\"=\"abc\n"
                   "\"Trailing\"=\"abc\" x\n"
                   "\"StringAsHex\"=hex(1):41,00\n"
                   "\"ShortEscape\"=\"\\u12\"\n"
                   "no quote at all\n"
                   "[\\Bad\n"
                   "\"AfterBadKey\"=dword:00000001\n"
                   "[\\K]\n"
                   "\"Good2\"=hex:01, 02\n"
                   "\"Good1\"=dword:00000007\n");
    const TRegistryStore store(file);
    EXPECT_EQ(store.KeyPaths(), QStringList{"\\K"});
    EXPECT_EQ(store.ValueNames("\\K"), (QStringList{"Good1", "Good2"}));
    EXPECT_EQ(store.ReadInteger("\\K", "Good1"), 7) << "a later line replaces an earlier one";
    EXPECT_EQ(store.ReadBinary("\\K", "Good2"), QByteArray("\x01\x02"));
}

TEST_F(RegistryStoreTest, SaveMergesWithWhatOthersSavedMeanwhile)
{
    TRegistryStore first(file);
    TRegistryStore second(file);
    first.OpenKey(KeyPath).WriteInteger("A", 1);
    second.OpenKey(KeyPath).WriteInteger("B", 2);
    second.OpenKey(KeyPath).WriteInteger("A", 5);
    ASSERT_TRUE(second.Save());
    ASSERT_TRUE(first.Save());

    const TRegistryStore reread(file);
    EXPECT_EQ(reread.ReadInteger(KeyPath, "A"), 1) << "the later save wins for a value both wrote";
    EXPECT_EQ(reread.ReadInteger(KeyPath, "B"), 2) << "values only the other store wrote survive";
    EXPECT_EQ(first.ReadInteger(KeyPath, "B"), 2) << "a saved store sees the merged file";
}

TEST_F(RegistryStoreTest, FailedSaveKeepsThePreviousFile)
{
    {
        TRegistryStore store(file);
        store.OpenKey(KeyPath).WriteString("Keep", "old");
        ASSERT_TRUE(store.Save());
    }
    const QByteArray before = readAll(file);
    ASSERT_FALSE(before.isEmpty());

    TRegistryStore store(file);
    store.OpenKey(KeyPath).WriteString("Keep", QString(4000, 'n'));
    {
        TFileSizeLimit limit(before.size() + 16);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(store.Save());
    }
    EXPECT_FALSE(store.ErrorString().isEmpty());
    EXPECT_EQ(readAll(file), before);
    EXPECT_EQ(QDir(QFileInfo(file).absolutePath()).entryList(QDir::Files),
              QStringList{QFileInfo(file).fileName()})
        << "no temporary file is left behind";

    // The change is still pending and reaches the file once writing works again.
    ASSERT_TRUE(store.Save()) << qPrintable(store.ErrorString());
    EXPECT_EQ(TRegistryStore(file).ReadString(KeyPath, "Keep"), QString(4000, 'n'));
}

TEST_F(RegistryStoreTest, SaveFailsCleanlyWhenTheFolderCannotBeWritten)
{
    // A plain file where the folder should be: cannot be fixed by any user, root included.
    const QString blocker = temp.filePath("blocked");
    writeAll(blocker, "x");
    TRegistryStore blocked(blocker + "/sub/settings.conf");
    blocked.OpenKey(KeyPath).WriteInteger("A", 1);
    EXPECT_FALSE(blocked.Save());
    EXPECT_FALSE(blocked.ErrorString().isEmpty());
    EXPECT_EQ(readAll(blocker), "x");

    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not restrict the superuser";
    {
        TRegistryStore store(file);
        store.OpenKey(KeyPath).WriteInteger("A", 1);
        ASSERT_TRUE(store.Save());
    }
    const QByteArray before = readAll(file);
    const QString folder = QFileInfo(file).absolutePath();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    TRegistryStore store(file);
    store.OpenKey(KeyPath).WriteInteger("A", 2);
    const bool saved = store.Save();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readAll(file), before);
}

TEST_F(RegistryStoreTest, AFileThatDoesNotReadWhollyIsKeptAsideBeforeItIsReplaced)
{
    const QByteArray damaged = "[\\K]\n\"Good\"=dword:00000001\n\x01\xff binary tail\n";
    writeAll(file, damaged);
    TRegistryStore store(file);
    store.OpenKey("\\K").WriteInteger("Other", 2);
    ASSERT_TRUE(store.Save()) << store.ErrorString().toStdString();
    const QStringList backups =
        QFileInfo(file).dir().entryList({QFileInfo(file).fileName() + QStringLiteral(".*.bak")}, QDir::Files);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(readAll(QFileInfo(file).dir().filePath(backups[0])), damaged);
    const TRegistryStore reread(file);
    EXPECT_EQ(reread.ReadInteger("\\K", "Good"), 1);
    EXPECT_EQ(reread.ReadInteger("\\K", "Other"), 2);

    // A file the store wrote itself is replaced without a copy.
    QFile::remove(QFileInfo(file).dir().filePath(backups[0]));
    TRegistryStore again(file);
    again.OpenKey("\\K").WriteInteger("Other", 3);
    ASSERT_TRUE(again.Save());
    EXPECT_TRUE(QFileInfo(file).dir().entryList({QStringLiteral("*.bak")}, QDir::Files).isEmpty());
}

#include "QtPrinters.h"
#include "disk/TBaseElement.h"
#include "disk/TBaseSortedList.h"
#include "disk/TElementsArray.h"
#include "disk/TElementsList.h"
#include "disk/TFATDisk.h"
#include "support/TScriptedEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Elements for tests that need no drive; freed with the holder.
class TElementHolder
{
public:
    TBaseElement* make(int64_t id, const QString& name, int64_t flags = 0, TBaseElement* parent = nullptr)
    {
        m_elements.push_back(std::make_unique<TBaseElement>());
        TBaseElement* element = m_elements.back().get();
        element->TrueID = id;
        element->Name = name;
        element->Flags = flags;
        element->Parent = parent;
        return element;
    }

private:
    std::vector<std::unique_ptr<TBaseElement>> m_elements;
};

} // namespace

TEST(ElementTree, NewElementStartsEmpty)
{
    TBaseElement element;
    EXPECT_EQ(element.TrueID, -1);
    EXPECT_EQ(element.TrueParentID, -1);
    EXPECT_EQ(element.Flags, 0);
    EXPECT_EQ(element.Size, 0);
    EXPECT_FALSE(element.FlagsInitialized);
    EXPECT_TRUE(element.Name.isEmpty());
    EXPECT_EQ(element.Drive, nullptr);
    EXPECT_EQ(element.Parent, nullptr);
    EXPECT_EQ(element.GetChildrensCount(), 0);
    EXPECT_FALSE(element.SubDirFound());
}

TEST(ElementTree, BlankOrUnconvertibleNamesBecomeLostNames)
{
    TElementHolder h;
    EXPECT_EQ(h.make(1234, QString())->GetName(), "lost_name_1234");
    EXPECT_EQ(h.make(7, QStringLiteral("  \t\r\n "))->GetName(), "lost_name_7");
    EXPECT_EQ(h.make(8, QString(QChar(0x0001)))->GetName(), "lost_name_8");
    // More than 2048 bytes once converted.
    EXPECT_EQ(h.make(9, QString(1025, QChar(0x00E9)))->GetName(), "lost_name_9");
    // An unpaired surrogate cannot be converted either.
    EXPECT_EQ(h.make(10, QString(QChar(0xD800)) + QStringLiteral("x"))->GetName(), "lost_name_10");
    EXPECT_EQ(h.make(int64_t(1) << 40, QString())->GetName(), "lost_name_1099511627776");
    // A visible name keeps its blanks.
    EXPECT_EQ(h.make(11, QStringLiteral(" a.txt "))->GetName(), " a.txt ");
    EXPECT_EQ(h.make(12, QString::fromUtf8("Größe.doc"))->GetName(), QString::fromUtf8("Größe.doc"));
}

TEST(ElementTree, ConditionAndTypeFollowTheFlags)
{
    TElementHolder h;
    EXPECT_EQ(h.make(1, "a", flag_IS_DELETED | flag_HAS_CHILD_DELETED)->GetCondition(), "Deleted");
    EXPECT_EQ(h.make(2, "b", flag_HAS_CHILD_DELETED | flag_IS_DIRECTORY)->GetCondition(), "Contain Deleted");
    EXPECT_EQ(h.make(3, "c")->GetCondition(), "Live");
    TBaseElement* folder = h.make(4, "d.txt", flag_IS_DIRECTORY);
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_EQ(folder->GetFileType(), "Folder");
    TBaseElement* file = h.make(5, "d.txt", flag_IS_DELETED);
    EXPECT_TRUE(file->IsDeleted());
    EXPECT_FALSE(file->IsFolder());
    EXPECT_NE(file->GetFileType(), "Folder");
}

TEST(ElementTree, PathsAndFullNames)
{
    TScriptedEngine engine;
    TFATDisk disk(-1); // no engine record: letter ?
    TElementHolder h;
    TBaseElement* top = h.make(-1, "?: logical drive", flag_IS_DIRECTORY);
    TBaseElement* root = h.make(0, "C:", flag_IS_DIRECTORY);
    TBaseElement* docs = h.make(3, "Docs", flag_IS_DIRECTORY, root);
    TBaseElement* file = h.make(4, "a.txt", 0, docs);
    TBaseElement* unnamed = h.make(6, "", 0, docs);
    EXPECT_EQ(top->GetPath(), "");
    EXPECT_EQ(root->GetPath(), "C:\\");
    EXPECT_EQ(docs->GetPath(), "C:\\Docs\\");
    EXPECT_EQ(file->GetPath(), "C:\\Docs\\a.txt\\");
    EXPECT_EQ(file->GetFullName(), "C:\\Docs\\a.txt");
    EXPECT_EQ(unnamed->GetPath(), "C:\\Docs\\lost_name_6\\");
    // The full name uses the stored name, not the substitute.
    EXPECT_EQ(unnamed->GetFullName(), "C:\\Docs\\");
    EXPECT_EQ(docs->GetInventPath(), "C:\\Docs\\");
    EXPECT_EQ(root->GetFullName(), "C:");

    // A chain ending at a top without parent starts with that folder; the drive is added.
    TBaseElement* lost = h.make(77, "lost_folder_77", flag_IS_DIRECTORY | flag_IS_DELETED);
    lost->Drive = &disk;
    TBaseElement* old = h.make(80, "Old", flag_IS_DIRECTORY | flag_IS_DELETED, lost);
    old->Drive = &disk;
    EXPECT_EQ(old->GetPath(), "lost_folder_77\\Old\\");
    disk.DriveLetter = 'D';
    EXPECT_EQ(old->GetInventPath(), "D:\\lost_folder_77\\Old\\");

    // The NTFS root (5 under 5) ends the walk, whatever its parent is.
    TBaseElement* placeholder = h.make(5, "not_found_yet_5", flag_IS_DIRECTORY);
    TBaseElement* ntfsRoot = h.make(5, "E:", flag_IS_DIRECTORY, placeholder);
    ntfsRoot->TrueParentID = 5;
    TBaseElement* windows = h.make(40, "Windows", flag_IS_DIRECTORY, ntfsRoot);
    EXPECT_EQ(windows->GetPath(), "E:\\Windows\\");
}

TEST(ElementTree, LoopingParentChainsAreCut)
{
    TElementHolder h;
    TBaseElement* self = h.make(9, "self");
    self->Parent = self;
    EXPECT_EQ(self->GetPath(), "self\\");

    TBaseElement* a = h.make(1, "a");
    TBaseElement* b = h.make(2, "b", 0, a);
    TBaseElement* c = h.make(3, "c", 0, b);
    a->Parent = c;
    EXPECT_EQ(c->GetPath(), "a\\b\\c\\");
    EXPECT_EQ(c->GetFullName(), "c\\a\\b\\c");

    // A long chain whose top loops back below the quick check's reach.
    std::vector<TBaseElement*> chain{h.make(100, "n0")};
    for (int i = 1; i < 100; ++i)
        chain.push_back(h.make(100 + i, QStringLiteral("n%1").arg(i), 0, chain.back()));
    chain.front()->Parent = chain[50];
    const QString path = chain.back()->GetPath();
    EXPECT_EQ(path.count(QLatin1Char('\\')), 100);
    EXPECT_TRUE(path.startsWith("n0\\n1\\"));
}

TEST(ElementTree, SortedListKeepsArrivalOrder)
{
    TElementHolder h;
    TBaseSortedList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.begin(), list.end());
    std::vector<TBaseElement*> added;
    for (int i = 0; i < 1000; ++i) {
        added.push_back(h.make(1000 - i, "x"));
        list.Add(added.back());
    }
    list.Add(added[3]); // duplicates are kept
    ASSERT_EQ(list.Count(), 1001);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(list[i], added[size_t(i)]);
    EXPECT_EQ(list.Last(), added[3]);

    EXPECT_TRUE(list.Remove(added[3]));
    EXPECT_EQ(list.Count(), 1000);
    EXPECT_EQ(list[3], added[4]);
    EXPECT_EQ(list.Last(), added[3]);
    list.Squeeze();
    EXPECT_EQ(list.Count(), 1000);
    EXPECT_EQ(list[999], added[3]);

    TBaseSortedList moved(std::move(list));
    EXPECT_EQ(moved.Count(), 1000);
    EXPECT_EQ(list.Count(), 0);
    moved.Clear();
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_FALSE(moved.Remove(added[0]));
}

TEST(ElementTree, ElementsListFindsTheLatestEntryOfAnId)
{
    TElementHolder h;
    TElementsList list;
    EXPECT_EQ(list.GetItem(1), nullptr);
    TBaseElement* first = h.make(5, "first");
    TBaseElement* second = h.make(5, "second");
    list.SetItem(first);
    list.SetItem(second);
    EXPECT_EQ(list.GetItem(5), second);
    EXPECT_EQ(list.GetItem(-1), nullptr);

    // Long lists answer from an index that must stay right through appends and removals.
    TElementsList big;
    std::vector<TBaseElement*> elements;
    for (int i = 0; i < 200; ++i) {
        elements.push_back(h.make(i % 50, "e"));
        big.SetItem(elements.back());
    }
    EXPECT_EQ(big.GetItem(10), elements[160]);
    TBaseElement* later = h.make(10, "later");
    big.SetItem(later);
    EXPECT_EQ(big.GetItem(10), later);
    big.Delete(big.Count() - 1);
    EXPECT_EQ(big.GetItem(10), elements[160]);
    big.Delete(160);
    EXPECT_EQ(big.GetItem(10), elements[110]);
    EXPECT_EQ(big.GetItem(50), nullptr);
    TBaseElement* negative = h.make(-7, "negative");
    big.SetItem(negative);
    EXPECT_EQ(big.GetItem(-7), negative);
    big.Clear();
    EXPECT_EQ(big.GetItem(10), nullptr);
}

TEST(ElementTree, ElementsArrayGrowsInStepsAndLooksUpExactly)
{
    TElementHolder h;
    TElementsArray array;
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.IndexOf(nullptr), -1);
    TBaseElement* zero = h.make(0, "zero");
    array.SetItem(0, zero);
    EXPECT_EQ(array.Count(), 10000);
    TBaseElement* far = h.make(10000, "far");
    array.SetItem(10000, far);
    EXPECT_EQ(array.Count(), 20000);
    array.SetItem(15000, h.make(15000, "inside"));
    EXPECT_EQ(array.Count(), 20000);
    EXPECT_EQ(array.GetItem(-1), nullptr);
    EXPECT_EQ(array.GetItem(20000), nullptr);
    EXPECT_EQ(array.GetItem(10000), far);
    EXPECT_EQ(array.GetItem(9999), nullptr);

    EXPECT_EQ(array.IndexOf(far), 10000);
    EXPECT_EQ(array.IndexOf(h.make(10000, "same id, other element")), -1);
    EXPECT_EQ(array.IndexOf(h.make(99999, "beyond")), -1);
    EXPECT_EQ(array.IndexOf(nullptr), 1);
    for (int i = 1; i < 5; ++i)
        array.SetItem(i, h.make(i, "dense"));
    EXPECT_EQ(array.IndexOf(nullptr), 5);
    array.SetItem(2, nullptr);
    EXPECT_EQ(array.IndexOf(nullptr), 2);

    // An element replaced in its slot is no longer found.
    TBaseElement* replacement = h.make(0, "replacement");
    array.SetItem(0, replacement);
    EXPECT_EQ(array.IndexOf(zero), -1);
    EXPECT_EQ(array.IndexOf(replacement), 0);

    // Stored away from its id, an element is still found, at its first slot.
    array.SetItem(7, far);
    EXPECT_EQ(array.IndexOf(far), 7);
    EXPECT_EQ(array.IndexOf(zero), -1);
    EXPECT_EQ(array.IndexOf(replacement), 0);
}

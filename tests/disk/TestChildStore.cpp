#include "disk/TBaseElement.h"
#include "disk/TChildStore.h"
#include "disk/TNameArena.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

class ChildStore : public ::testing::Test
{
protected:
    TBaseElement* make(int64_t id, bool folder = false)
    {
        TBaseElement& element = m_elements.emplace_back();
        element.TrueID = id;
        element.Flags = folder ? flag_IS_DIRECTORY : 0;
        return &element;
    }
    static std::vector<int64_t> Ids(const TBaseSortedList& list)
    {
        std::vector<int64_t> ids;
        for (const TBaseElement* element : list)
            ids.push_back(element->TrueID);
        return ids;
    }

    TChildStore store;

private:
    std::deque<TBaseElement> m_elements;
};

} // namespace

TEST_F(ChildStore, BuildKeepsTheAppendOrderOfEveryList)
{
    TBaseElement* a = make(1, true);
    TBaseElement* b = make(2, true);
    TBaseElement* empty = make(3, true);
    // Appends to several lists interleave, as records of different folders do.
    for (int64_t id = 10; id < 20; ++id) {
        store.Append(id % 2 ? a : b, make(id), false);
        store.Append(a, make(100 + id, true), true);
    }
    store.Append(b, a, true); // an element listed twice is kept twice
    store.Append(b, a, true);
    // Before the build the lists know their size but show no entries yet.
    EXPECT_EQ(a->ChildrenFiles.Count(), 5);
    EXPECT_EQ(a->ChildrenFiles.begin(), a->ChildrenFiles.end());
    store.Build();

    EXPECT_EQ(Ids(a->ChildrenFiles), (std::vector<int64_t>{11, 13, 15, 17, 19}));
    EXPECT_EQ(Ids(b->ChildrenFiles), (std::vector<int64_t>{10, 12, 14, 16, 18}));
    EXPECT_EQ(a->ChildrenFolders.Count(), 10);
    EXPECT_EQ(a->ChildrenFolders[0]->TrueID, 110);
    EXPECT_EQ(a->ChildrenFolders.Last()->TrueID, 119);
    EXPECT_EQ(Ids(b->ChildrenFolders), (std::vector<int64_t>{1, 1}));
    EXPECT_TRUE(empty->ChildrenFolders.IsEmpty());
    store.Build(); // nothing pending: a second build changes nothing
    EXPECT_EQ(Ids(b->ChildrenFiles), (std::vector<int64_t>{10, 12, 14, 16, 18}));
}

TEST_F(ChildStore, RemovalTakesBackTheFirstEntryOfItsList)
{
    TBaseElement* parent = make(1, true);
    TBaseElement* other = make(2, true);
    TBaseElement* x = make(10);
    TBaseElement* y = make(11);
    store.Append(parent, x, false);
    store.Append(parent, y, false);
    store.Append(parent, x, false);
    store.Append(other, x, false);
    EXPECT_TRUE(store.Remove(parent, x, false));
    EXPECT_FALSE(store.Remove(parent, x, true)); // nothing in its folders
    store.Append(parent, x, false);
    // A removal naming an element the list never held changes nothing.
    EXPECT_TRUE(store.Remove(other, y, false));
    EXPECT_EQ(parent->ChildrenFiles.Count(), 3);
    store.Build();
    EXPECT_EQ(Ids(parent->ChildrenFiles), (std::vector<int64_t>{11, 10, 10}));
    EXPECT_EQ(Ids(other->ChildrenFiles), (std::vector<int64_t>{10}));

    // Every entry of a list taken back leaves it empty.
    TBaseElement* gone = make(3, true);
    store.Append(gone, y, false);
    EXPECT_TRUE(store.Remove(gone, y, false));
    store.Build();
    EXPECT_TRUE(gone->ChildrenFiles.IsEmpty());
    EXPECT_EQ(gone->ChildrenFiles.begin(), gone->ChildrenFiles.end());
}

TEST_F(ChildStore, BuiltListsTakeLaterChangesDirectly)
{
    TBaseElement* parent = make(1, true);
    for (int64_t id = 10; id < 14; ++id)
        store.Append(parent, make(id), false);
    store.Build();
    // A later pass appends after the built entries and removes from them in place.
    TBaseElement* late = make(20);
    store.Append(parent, late, false);
    EXPECT_TRUE(store.Remove(parent, parent->ChildrenFiles[1], false));
    store.Build();
    EXPECT_EQ(Ids(parent->ChildrenFiles), (std::vector<int64_t>{10, 12, 13, 20}));
    // Changed by hand, the list takes a copy of its own and keeps the order.
    parent->ChildrenFiles.Add(make(30));
    parent->ChildrenFiles.Remove(late);
    EXPECT_EQ(Ids(parent->ChildrenFiles), (std::vector<int64_t>{10, 12, 13, 30}));
}

TEST(ElementName, ArenaTextsAndOwnCopies)
{
    TNameArena arena;
    TElementName first;
    TElementName second;
    first.Refer(arena.Store(QStringLiteral("report.txt")));
    // Many names later, in further blocks, the first one is still intact.
    for (int i = 0; i < 20000; ++i)
        second.Refer(arena.Store(QStringLiteral("name %1").arg(i)));
    EXPECT_EQ(QString(first), "report.txt");
    EXPECT_EQ(QString(second), "name 19999");
    EXPECT_EQ(arena.Store(QStringView()), nullptr);

    // An assigned name is a copy of its own, also when it is assigned its own text.
    QString text = QStringLiteral("kept");
    second = text;
    text[0] = u'X';
    EXPECT_EQ(QString(second), "kept");
    second = second.View().mid(1);
    EXPECT_EQ(QString(second), "ept");
    second = QString();
    EXPECT_TRUE(second.isEmpty());
}

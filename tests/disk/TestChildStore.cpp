#include "disk/TBaseElement.h"
#include "disk/TChildStore.h"
#include "disk/TElementPool.h"
#include "disk/TElementsArray.h"
#include "disk/TNameArena.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

// Run with elements of a pool the store is bound to (the drive's case, lists of places)
// and with elements made elsewhere (lists of references).
class ChildStore : public ::testing::TestWithParam<bool>
{
protected:
    ChildStore()
    {
        if (GetParam())
            store.Bind(&pool);
    }
    TBaseElement* make(int64_t id, bool folder = false, TBaseElement* parent = nullptr)
    {
        TBaseElement& element = GetParam() ? *pool.Create() : m_elements.emplace_back();
        element.TrueID = id;
        element.Flags = folder ? flag_IS_DIRECTORY : 0;
        element.Parent = parent;
        return &element;
    }
    // Appends child under its Parent, as the analysis files an element it just filled.
    void append(TBaseElement* child, bool folder) { store.Append(child->Parent, child, folder); }
    static std::vector<int64_t> Ids(const TBaseSortedList& list)
    {
        std::vector<int64_t> ids;
        for (const TBaseElement* element : list)
            ids.push_back(element->TrueID);
        return ids;
    }

    // The elements end before the store that holds their lists' blocks.
    TChildStore store;
    TElementPool pool;
    std::deque<TBaseElement> m_elements;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Places, ChildStore, ::testing::Values(true));
INSTANTIATE_TEST_SUITE_P(References, ChildStore, ::testing::Values(false));

TEST_P(ChildStore, BuildKeepsTheAppendOrderOfEveryList)
{
    TBaseElement* a = make(1, true);
    TBaseElement* b = make(2, true);
    TBaseElement* empty = make(3, true);
    // Appends to several lists interleave, as records of different folders do.
    for (int64_t id = 10; id < 20; ++id) {
        append(make(id, false, id % 2 ? a : b), false);
        append(make(100 + id, true, a), true);
    }
    a->Parent = b;
    append(a, true); // an element appended twice is listed twice
    append(a, true);
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

TEST_P(ChildStore, ElementsMovingDuringThePassKeepEveryListInOrder)
{
    TBaseElement* from = make(1, true);
    TBaseElement* to = make(2, true);
    TBaseElement* x = make(10, false, from);
    append(x, false);
    append(make(11, false, from), false);
    append(make(20, false, to), false);
    // x moves as the analysis moves an entry reported again elsewhere: out of its old
    // folder while that list is still pending, then appended under its new parent.
    EXPECT_TRUE(store.Remove(from, x, false));
    EXPECT_FALSE(store.Remove(from, x, false));
    EXPECT_FALSE(store.Remove(from, x, true));
    x->Parent = to;
    append(x, false);
    append(make(12, false, from), false);
    append(make(30, false, make(3, true)), false);
    store.Build();
    EXPECT_EQ(Ids(from->ChildrenFiles), (std::vector<int64_t>{11, 12}));
    EXPECT_EQ(Ids(to->ChildrenFiles), (std::vector<int64_t>{20, 10}));

    // A later pass appends after the built entries and removes from them in place.
    TBaseElement* late = make(40, false, to);
    append(late, false);
    EXPECT_TRUE(store.Remove(to, x, false));
    store.Build();
    EXPECT_EQ(Ids(to->ChildrenFiles), (std::vector<int64_t>{20, 40}));
    // Changed by hand, a built list takes a copy of its own and keeps the order.
    from->ChildrenFiles.Add(late);
    EXPECT_TRUE(from->ChildrenFiles.Remove(from->ChildrenFiles[0]));
    EXPECT_EQ(Ids(from->ChildrenFiles), (std::vector<int64_t>{12, 40}));
}

TEST_P(ChildStore, AnElementFromElsewhereMidPassKeepsEveryList)
{
    TBaseElement* folder = make(1, true);
    append(make(10, false, folder), false);
    // A parent and a child the pool does not hold, logged after pooled entries.
    TBaseElement& stranger = m_elements.emplace_back();
    stranger.TrueID = 2;
    stranger.Flags = flag_IS_DIRECTORY;
    store.Append(&stranger, make(20), false);
    append(make(11, false, folder), false);
    TBaseElement& loner = m_elements.emplace_back();
    loner.TrueID = 12;
    store.Append(folder, &loner, false);
    store.Build();
    EXPECT_EQ(Ids(folder->ChildrenFiles), (std::vector<int64_t>{10, 11, 12}));
    EXPECT_EQ(Ids(stranger.ChildrenFiles), (std::vector<int64_t>{20}));
}

TEST(ElementPool, PlacesNameTheirElementsAcrossBlocksAndArraysKeepThem)
{
    // Enough elements for the doubling blocks and several full ones.
    TElementPool pool;
    std::vector<TBaseElement*> made;
    for (int64_t id = 0; id < 120000; ++id) {
        made.push_back(pool.Create());
        made.back()->TrueID = id;
    }
    for (size_t i = 0; i < made.size(); ++i) {
        ASSERT_EQ(pool.At(i), made[i]) << i;
        ASSERT_EQ(pool.IndexOf(made[i]), i) << i;
    }
    TBaseElement outside;
    EXPECT_EQ(pool.IndexOf(&outside), pool.Count());

    // An array of places keeps what it held when an element from elsewhere arrives.
    TElementsArray array;
    array.Bind(&pool);
    array.SetItem(3, made[3]);
    array.SetItem(100000, made[100000]);
    EXPECT_EQ(array.IndexOf(made[100000]), 100000);
    array.SetItem(50, made[9]); // not at its id: found by a scan from then on
    EXPECT_EQ(array.IndexOf(made[9]), 50);
    outside.TrueID = 7;
    array.SetItem(7, &outside);
    array.SetItem(8, made[8]);
    EXPECT_EQ(array.GetItem(3), made[3]);
    EXPECT_EQ(array.GetItem(100000), made[100000]);
    EXPECT_EQ(array.GetItem(7), &outside);
    EXPECT_EQ(array.GetItem(8), made[8]);
    EXPECT_EQ(array.GetItem(4), nullptr);
    EXPECT_EQ(array.IndexOf(made[8]), 8);
    EXPECT_EQ(array.IndexOf(made[9]), 50);
    EXPECT_EQ(array.Count(), 110000);
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
    // Units above 255 keep the text in UTF-16; those below in one byte each.
    for (const QString& text :
         {QStringLiteral("caf\u00e9 \u00ff.txt"), QStringLiteral("\u0444\u0430\u0439\u043b"),
          QStringLiteral("mixed \u00e9\u20ac")}) {
        first.Refer(arena.Store(text));
        EXPECT_EQ(QString(first), text);
        EXPECT_EQ(first.size(), text.size());
    }

    // An assigned name is a copy of its own, also when it is assigned its own text.
    QString text = QStringLiteral("kept");
    second = text;
    text[0] = u'X';
    EXPECT_EQ(QString(second), "kept");
    second = QString(second).mid(1);
    EXPECT_EQ(QString(second), "ept");
    second = QString();
    EXPECT_TRUE(second.isEmpty());
}

#include "mainwindow/ui/TFileListModel.h"

#include "support/TModelDisk.h"
#include "support/TScriptedEngine.h"
#include "support/TestApp.h"
#include "periphery/TImageLists.h"
#include "util/Utils.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLocale>

#include <gtest/gtest.h>

namespace {

class FileListModel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApp();
        TImageLists::LoadApplicationImages();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    QStringList column(const TFileListModel& model, int c) const
    {
        QStringList texts;
        for (int r = 0; r < model.rowCount(); ++r)
            texts << model.Text(r, c);
        return texts;
    }

    TModelDisk disk{0, 'C'};
};

} // namespace

TEST_F(FileListModel, RowTextsAndIcons)
{
    TBaseElement* root = disk.RootElement;
    TBaseElement* live = disk.Folder(root, QStringLiteral("Docs"));
    TBaseElement* holds = disk.Folder(root, QStringLiteral("Mixed"), flag_HAS_CHILD_DELETED);
    TBaseElement* gone = disk.Folder(root, QStringLiteral("Old"), flag_IS_DELETED);
    TBaseElement* file = disk.File(root, QStringLiteral("a.txt"), 2097152);
    file->DateCreated = 43832.0; // 2020-01-02 midnight
    TBaseElement* erased = disk.File(root, QStringLiteral("   "), 1023, flag_IS_DELETED);
    erased->Recovery = TRecoverability::Rating::Intact;

    TFileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.SetElements({live, holds, gone, file, erased});
    ASSERT_EQ(model.rowCount(), 5);
    ASSERT_EQ(model.columnCount(), 6);

    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Date Created"));
    EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Condition"));

    // A folder row: no size, "Folder", its condition.
    EXPECT_EQ(model.Text(0, 1), QString());
    EXPECT_EQ(model.Text(0, 2), QStringLiteral("Folder"));
    EXPECT_EQ(model.Text(0, 4), QStringLiteral("Live"));
    EXPECT_EQ(model.Text(1, 4), QStringLiteral("Contain Deleted"));
    EXPECT_EQ(model.Text(2, 4), QStringLiteral("Deleted"));
    // A file row: short size text, type from its name, date without the midnight time.
    EXPECT_EQ(model.Text(3, 0), QStringLiteral("a.txt"));
    EXPECT_EQ(model.Text(3, 1), QStringLiteral("2 MB"));
    EXPECT_EQ(model.Text(3, 2), file->GetFileType());
    EXPECT_FALSE(model.Text(3, 2).isEmpty());
    EXPECT_EQ(model.Text(3, 3), QStringLiteral("1/2/20"));
    // A blank name shows its id.
    EXPECT_EQ(model.Text(4, 0), QStringLiteral("lost_name_%1").arg(erased->TrueID));
    EXPECT_EQ(model.Text(4, 1), QStringLiteral("1,023"));
    // Only a rated deleted file says how intact it is.
    EXPECT_EQ(model.Text(4, TFileListModel::colRecovery), QStringLiteral("Intact"));
    EXPECT_EQ(model.Text(3, TFileListModel::colRecovery), QString());

    EXPECT_EQ(model.ImageIndex(0), 3);
    EXPECT_EQ(model.ImageIndex(1), 7);
    EXPECT_EQ(model.ImageIndex(2), 5);
    EXPECT_EQ(model.ImageIndex(3), 9);
    EXPECT_EQ(model.ImageIndex(4), 10);
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(model.data(model.index(3, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
              Qt::AlignRight);

    EXPECT_EQ(model.ElementAt(3), file);
    EXPECT_EQ(model.ElementAt(5), nullptr);
    EXPECT_EQ(model.ElementAt(-1), nullptr);
    EXPECT_EQ(model.RowOf(erased), 4);
    EXPECT_EQ(model.RowOf(root), -1);
}

TEST_F(FileListModel, TypesFollowTheWholeExtension)
{
    TBaseElement* root = disk.RootElement;
    std::vector<TBaseElement*> rows{
        disk.File(root, QStringLiteral("one.tar.gz")), disk.File(root, QStringLiteral("two.gz")),
        disk.File(root, QStringLiteral("three.tar.gz")), disk.File(root, QStringLiteral("Notes.TXT")),
        disk.File(root, QStringLiteral(".hidden")), disk.File(root, QStringLiteral("noextension")),
        // Names the type database knows whole, after names sharing their extension.
        disk.File(root, QStringLiteral("notes.txt")), disk.File(root, QStringLiteral("CMakeLists.txt")),
        disk.File(root, QStringLiteral("x.am")), disk.File(root, QStringLiteral("Makefile.am")),
        disk.File(root, QStringLiteral("core")), disk.File(root, QStringLiteral("Core"))};
    TFileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.SetElements(rows);
    // Each row's type is what the element itself reports for its name.
    for (int r = 0; r < model.rowCount(); ++r)
        EXPECT_EQ(model.Text(r, TFileListModel::colType), rows[r]->GetFileType()) << r;
    EXPECT_EQ(model.Text(0, TFileListModel::colType), model.Text(2, TFileListModel::colType));
    EXPECT_NE(model.Text(6, TFileListModel::colType), model.Text(7, TFileListModel::colType));
}

TEST_F(FileListModel, SortsByShownTextsWithLocaleCollation)
{
    TBaseElement* root = disk.RootElement;
    TBaseElement* folder = disk.Folder(root, QStringLiteral("b-folder"));
    TBaseElement* big = disk.File(root, QStringLiteral("B.dat"), 1048576); // "1,024 KB"
    TBaseElement* mid = disk.File(root, QStringLiteral("a.dat"), 2097152); // "2 MB"
    TBaseElement* small = disk.File(root, QStringLiteral("A.dat"), 512);   // "512"
    TBaseElement* kilo = disk.File(root, QStringLiteral("c.dat"), 1024);   // "1 KB"

    TFileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.SetElements({folder, big, mid, small, kilo});

    // Names differing only in case follow the collation (lower case first), not byte order.
    model.Sort(TFileListModel::colName, true);
    EXPECT_EQ(column(model, 0), (QStringList{"a.dat", "A.dat", "b-folder", "B.dat", "c.dat"}));
    model.Sort(TFileListModel::colName, false);
    EXPECT_EQ(column(model, 0), (QStringList{"c.dat", "B.dat", "b-folder", "A.dat", "a.dat"}));

    // Sizes compare as the texts shown: the folder's empty text first, "1 KB" before "512".
    model.Sort(TFileListModel::colSize, true);
    EXPECT_EQ(column(model, 1), (QStringList{"", "1 KB", "1,024 KB", "2 MB", "512"}));
    model.Sort(TFileListModel::colSize, false);
    EXPECT_EQ(column(model, 1), (QStringList{"512", "2 MB", "1,024 KB", "1 KB", ""}));

    // Every column sorts both ways and keeps each row's element with its texts.
    for (int c = 0; c < TFileListModel::ColumnCount; ++c) {
        for (bool ascending : {true, false}) {
            model.Sort(c, ascending);
            for (int r = 0; r < model.rowCount(); ++r)
                EXPECT_EQ(model.Text(r, 0), model.ElementAt(r)->GetName());
            QCollator collator{QLocale()};
            const QStringList texts = column(model, c);
            for (int r = 1; r < texts.size(); ++r) {
                const int order = collator.compare(texts[r - 1], texts[r]);
                EXPECT_TRUE(ascending ? order <= 0 : order >= 0) << "column " << c << " row " << r;
            }
        }
    }
}

TEST_F(FileListModel, EqualKeysKeepTheirOrderAndSelectionFollowsRows)
{
    TBaseElement* root = disk.RootElement;
    std::vector<TBaseElement*> elements;
    for (int i = 0; i < 6; ++i)
        elements.push_back(disk.File(root, QStringLiteral("f%1.bin").arg(5 - i), 10));

    TFileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.SetElements(elements);
    QItemSelectionModel selection(&model);
    selection.select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    // All sizes are equal: the rows keep their order in both directions.
    model.Sort(TFileListModel::colSize, true);
    EXPECT_EQ(model.ElementAt(0), elements[0]);
    model.Sort(TFileListModel::colSize, false);
    EXPECT_EQ(model.ElementAt(0), elements[0]);

    // Sorting by name moves f5.bin (selected) to the end; the selection goes with it.
    model.Sort(TFileListModel::colName, true);
    EXPECT_EQ(model.ElementAt(5), elements[0]);
    const QModelIndexList selected = selection.selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().row(), 5);
}

TEST_F(FileListModel, SortMarkShowsOnOneColumn)
{
    TFileListModel model;
    model.SetSortMark(2, true);
    EXPECT_EQ(model.SortMarkColumn(), 2);
    EXPECT_EQ(model.SortMarkImage(2), 1);
    EXPECT_EQ(model.SortMarkImage(0), -1);
    EXPECT_FALSE(model.headerData(2, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
    model.SetSortMark(4, false);
    EXPECT_EQ(model.SortMarkImage(4), 2);
    EXPECT_EQ(model.SortMarkImage(2), -1);
    model.SetSortMark(7, true);
    EXPECT_EQ(model.SortMarkColumn(), -1);
}

TEST_F(FileListModel, ARatingShownFirstHasTheFileContentChecked)
{
    TScriptedEngine engine;
    TBaseElement* photo = disk.File(disk.RootElement, QStringLiteral("photo.jpg"), 4096, flag_IS_DELETED);
    photo->Recovery = TRecoverability::Rating::Intact;
    engine.SetCopy(photo->TrueID, QByteArray(4096, '\0')); // free clusters that hold zeros, not a JPEG

    TFileListModel model;
    model.SetElements({photo});
    model.Sort(TFileListModel::colRecovery, true); // texts made before the row is shown
    EXPECT_EQ(model.Text(0, TFileListModel::colRecovery), QStringLiteral("Intact"));
    EXPECT_EQ(model.data(model.index(0, TFileListModel::colRecovery)).toString(),
              QStringLiteral("Content mismatch"));
    const int reads = engine.FileReads();
    model.data(model.index(0, TFileListModel::colRecovery));
    EXPECT_EQ(engine.FileReads(), reads) << "each file is read once";
}

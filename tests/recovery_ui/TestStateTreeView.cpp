#include "support/TestApp.h"
#include "recovery/ui/TStateTreeModel.h"
#include "recovery/ui/TStateTreeView.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

// The check tree view: the model shows the tree, presses on a state image follow the
// click rule, presses elsewhere only select.

namespace {

class StateTreeView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApp();
        view.resize(300, 300);
        // Qt's checker follows every change the model signals from here on.
        tester.emplace(view.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        TStateTree& t = view.Tree();
        view.BeginUpdate();
        folder = t.AddNode(-1, QStringLiteral("Folder"), nullptr, 2, 2);
        first = t.AddNode(folder, QStringLiteral("first.txt"), nullptr, 1, 2);
        second = t.AddNode(folder, QStringLiteral("second.txt"), nullptr, 0, 2);
        other = t.AddNode(-1, QStringLiteral("other.txt"), nullptr, 0, 2);
        view.EndUpdate();
        view.setStateRecursion(true);
        view.Tree().UncheckAll();
        view.expandAll();
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    int state(TStateTree::NodeId node) const { return view.Tree().StateIndex(node); }
    void press(TStateTree::NodeId node, bool onStateImage, Qt::MouseButton button = Qt::LeftButton)
    {
        const QModelIndex index = view.IndexOf(node);
        const QRect image = view.StateImageRect(index);
        ASSERT_FALSE(image.isEmpty());
        const QPoint at =
            onStateImage ? image.center() : QPoint(view.visualRect(index).right() - 2, image.center().y());
        QTest::mouseClick(view.viewport(), button, Qt::NoModifier, at);
    }

    TStateTreeView view;
    std::optional<QAbstractItemModelTester> tester;
    TStateTree::NodeId folder = -1, first = -1, second = -1, other = -1;
};

} // namespace

TEST_F(StateTreeView, ModelMirrorsTheTree)
{
    const TStateTreeModel& model = *view.Model();
    ASSERT_EQ(model.rowCount(), 2);
    const QModelIndex f = model.index(0, 0);
    EXPECT_EQ(f.data().toString(), QStringLiteral("Folder"));
    EXPECT_EQ(model.rowCount(f), 2);
    const QModelIndex s = model.index(1, 0, f);
    EXPECT_EQ(s.data().toString(), QStringLiteral("second.txt"));
    EXPECT_EQ(model.parent(s), f);
    EXPECT_EQ(view.NodeAt(s), second);
    EXPECT_EQ(view.IndexOf(other), model.index(1, 0));
    EXPECT_EQ(s.data(TStateTreeModel::ImageIndexRole).toInt(), 0);

    // A state change reaches the model as a change of that node.
    QSignalSpy changed(view.Model(), &QAbstractItemModel::dataChanged);
    view.Tree().SetStateIndex(other, 2);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.first().at(0).value<QModelIndex>(), view.IndexOf(other));
    EXPECT_EQ(view.IndexOf(other).data(TStateTreeModel::StateIndexRole).toInt(), 2);

    // While nodes are added the view sees no rows at all.
    view.BeginUpdate();
    EXPECT_EQ(model.rowCount(), 0);
    view.Tree().AddNode(other, QStringLiteral("late"), nullptr, 0, 2);
    view.EndUpdate();
    EXPECT_EQ(model.rowCount(model.index(1, 0)), 1);
}

TEST_F(StateTreeView, PressOnStateImageFollowsTheClickRule)
{
    press(first, true);
    EXPECT_EQ(state(first), 2);
    EXPECT_EQ(state(folder), 3) << "one of two children ticked";

    // A press on the text only selects.
    press(second, false);
    EXPECT_EQ(view.SelectedNode(), second);
    EXPECT_EQ(state(second), 1);

    // Any button selects and clicks.
    press(second, true, Qt::RightButton);
    EXPECT_EQ(state(second), 2);
    EXPECT_EQ(state(folder), 2);

    // The folder: ticked to unticked with its whole branch.
    press(folder, true);
    EXPECT_EQ(state(folder), 1);
    EXPECT_EQ(state(first), 1);
    EXPECT_EQ(state(second), 1);

    // A grey node becomes unticked with its branch.
    view.Tree().SetStateIndex(first, 2);
    ASSERT_EQ(state(folder), 3);
    press(folder, true);
    EXPECT_EQ(state(folder), 1);
    EXPECT_EQ(state(first), 1);
}

TEST_F(StateTreeView, StateImagesOnlyReactWhilePropagationIsOn)
{
    view.setStateRecursion(false);
    press(other, true);
    EXPECT_EQ(view.SelectedNode(), other);
    EXPECT_EQ(state(other), 1);

    view.setStateRecursion(true);
    // A double click on a state image counts as two presses and does not fold the node.
    const QPoint at = view.StateImageRect(view.IndexOf(folder)).center();
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(state(folder), 1);
    EXPECT_TRUE(view.isExpanded(view.IndexOf(folder)));
}

TEST_F(StateTreeView, EveryVisibleStateHasItsOwnPicture)
{
    EXPECT_TRUE(view.StateImage(0).isNull());
    EXPECT_TRUE(view.StateImage(-1).isNull());
    const QImage box = view.StateImage(1).toImage();
    const QImage tick = view.StateImage(2).toImage();
    const QImage grey = view.StateImage(3).toImage();
    ASSERT_FALSE(box.isNull());
    EXPECT_NE(box, tick);
    EXPECT_NE(tick, grey);
    EXPECT_NE(box, grey);
}
